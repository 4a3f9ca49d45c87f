#include "plano/estado.h"

#include <cstdlib>
#include <iterator>
#include <map>

#include "core/texto.h"
#include "plano/csv.h"

namespace tvx::plano {

namespace {

constexpr const char* kCabecalho[] = {"equipamento",  "linha",        "modelo",       "novo_ip",
                                      "estado",       "data",         "hora",         "duracao_s",
                                      "ip_lido",      "mascara_lida", "gateway_lido", "leitura",
                                      "ultima_linha", "conteudo"};
constexpr size_t kColunas = std::size(kCabecalho);
enum : size_t {
    kEstado = 4,
    kData,
    kHora,
    kDuracao,
    kIpLido,
    kMascaraLida,
    kGatewayLido,
    kLeitura,
    kUltimaLinha,
    kConteudo
};

constexpr EstadoLinha kEstados[] = {EstadoLinha::Pendente, EstadoLinha::EmExecucao,
                                    EstadoLinha::Feito,    EstadoLinha::Falhou,
                                    EstadoLinha::Pulado,   EstadoLinha::Interrompido};

std::string Linha(const std::vector<std::string>& campos) {
    std::string linha;
    for (size_t i = 0; i < campos.size(); ++i) {
        linha += (i > 0 ? ";" : "") + CampoCsv(campos[i]);
    }
    return linha + "\r\n";
}

}  // namespace

const char* TextoEstado(EstadoLinha estado) {
    switch (estado) {
        case EstadoLinha::Pendente:
            return "pendente";
        case EstadoLinha::EmExecucao:
            return "em execução";
        case EstadoLinha::Feito:
            return "feito";
        case EstadoLinha::Falhou:
            return "falhou";
        case EstadoLinha::Pulado:
            return "pulado";
        case EstadoLinha::Interrompido:
            return "interrompido";
    }
    return "";
}

std::string CaminhoEstado(const std::string& caminhoPlano) {
    const size_t barra = caminhoPlano.find_last_of('/');
    const size_t ponto = caminhoPlano.find_last_of('.');
    const bool temExtensao =
        ponto != std::string::npos && (barra == std::string::npos || ponto > barra + 1);
    return (temExtensao ? caminhoPlano.substr(0, ponto) : caminhoPlano) + ".estado.csv";
}

std::string TextoEstadoPlano(const Plano& plano, const EstadoPlano& estado) {
    std::string texto = Linha({std::begin(kCabecalho), std::end(kCabecalho)});
    for (size_t i = 0; i < plano.dispositivos.size(); ++i) {
        const Dispositivo& d = plano.dispositivos[i];
        const ResultadoDispositivo& r = estado.resultados.at(i);
        texto += Linha({std::to_string(d.numero), std::to_string(d.linha), d.nomeModelo,
                        d.programaIp ? d.ipNovo : "", TextoEstado(r.estado), r.data, r.hora,
                        std::to_string(r.duracao), r.ipLido, r.mascaraLida, r.gatewayLido,
                        r.leitura, r.ultimaLinha, d.conteudo});
    }
    for (const std::vector<std::string>& orfao : estado.orfaos) {
        texto += Linha(orfao);
    }
    return Utf8ParaCp1252(texto);
}

bool LerEstadoPlano(std::string_view bytes, const Plano& plano, EstadoPlano& estado,
                    std::string& erro) {
    estado.resultados.assign(plano.dispositivos.size(), ResultadoDispositivo{});
    estado.orfaos.clear();
    TabelaCsv tabela;
    if (!LerCsv(bytes, tabela, erro, Codificacao::Windows1252)) {
        return false;
    }
    if (tabela.linhas.empty() ||
        tabela.linhas.front().campos !=
            std::vector<std::string>(std::begin(kCabecalho), std::end(kCabecalho))) {
        erro = "não é um arquivo de estado de plano (o cabeçalho não é o deste programa)";
        return false;
    }
    std::map<std::string, size_t> porConteudo;
    for (size_t i = 0; i < plano.dispositivos.size(); ++i) {
        porConteudo.emplace(plano.dispositivos[i].conteudo, i);
    }
    for (size_t l = 1; l < tabela.linhas.size(); ++l) {
        std::vector<std::string> campos = tabela.linhas[l].campos;
        campos.resize(kColunas);
        const auto dispositivo = porConteudo.find(campos[kConteudo]);
        if (dispositivo == porConteudo.end()) {
            estado.orfaos.push_back(std::move(campos));
            continue;
        }
        ResultadoDispositivo r;
        bool conhecido = false;
        for (EstadoLinha e : kEstados) {
            if (campos[kEstado] == TextoEstado(e)) {
                r.estado = e;
                conhecido = true;
            }
        }
        if (!conhecido) {
            erro = "linha " + std::to_string(tabela.linhas[l].numero) +
                   ": estado desconhecido: \"" + campos[kEstado] + "\"";
            return false;
        }
        // Killed in the middle of it: whatever the device holds now is unknown.
        if (r.estado == EstadoLinha::EmExecucao) {
            r.estado = EstadoLinha::Interrompido;
        }
        r.data = campos[kData];
        r.hora = campos[kHora];
        r.duracao = std::strtol(campos[kDuracao].c_str(), nullptr, 10);
        r.ipLido = campos[kIpLido];
        r.mascaraLida = campos[kMascaraLida];
        r.gatewayLido = campos[kGatewayLido];
        r.leitura = campos[kLeitura];
        r.ultimaLinha = campos[kUltimaLinha];
        estado.resultados[dispositivo->second] = std::move(r);
    }
    return true;
}

}  // namespace tvx::plano
