#include "paginas/pagina_meio.h"

#include <algorithm>
#include <cctype>

#include "paginas/arquivo_configuracao.h"
#include "paginas/pagina_modelo.h"
#include "transport/descoberta_portas.h"
#include "transport/serial.h"

namespace tvx {

namespace {

// "%03d" without the printf family: the list must not follow the user's locale.
std::string TresDigitos(unsigned numero) {
    std::string texto(3, '0');
    for (int i = 2; i >= 0; --i) {
        texto[static_cast<size_t>(i)] = static_cast<char>('0' + numero % 10);
        numero /= 10;
    }
    return texto;
}

bool ComecaCom(std::string_view texto, std::string_view prefixo) {
    if (prefixo.size() > texto.size()) {
        return false;
    }
    for (size_t i = 0; i < prefixo.size(); ++i) {
        const auto a = static_cast<unsigned char>(texto[i]);
        const auto b = static_cast<unsigned char>(prefixo[i]);
        const int la = (a < 0x80) ? std::tolower(a) : a;
        const int lb = (b < 0x80) ? std::tolower(b) : b;
        if (la != lb) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<EntradaLista> ListaVelocidades() {
    return {{"4800", 5}, {"9600", 6}, {"19200", 8}, {"38400", 9}};
}

std::vector<EntradaLista> ListaRtus() {
    std::vector<EntradaLista> lista;
    lista.reserve(256);
    for (unsigned n = 0; n < 256; ++n) {
        lista.push_back({TresDigitos(n), n});
    }
    return lista;
}

std::vector<std::string> ListaPortas(cAvisos& avisos, const std::string& raizSysfs) {
    std::vector<std::string> nomes;
    std::vector<InfoPortaSerial> portas;
    try {
        EnumerarPortas(portas, raizSysfs);
    } catch (const ErroDescobertaPortas& erro) {
        avisos.Mostrar(TipoAviso::Erro, erro.what());
        return nomes;
    }
    for (const InfoPortaSerial& porta : portas) {
        nomes.push_back(porta.nomePorta);
    }
    std::stable_sort(nomes.begin(), nomes.end(), AntesNaLista);
    return nomes;
}

std::optional<size_t> PrimeiraComPrefixo(const std::vector<std::string>& textos,
                                         std::string_view prefixo) {
    for (size_t i = 0; i < textos.size(); ++i) {
        if (ComecaCom(textos[i], prefixo)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<size_t> PosicaoDaPorta(const std::vector<std::string>& portas,
                                     const std::string& armazenada) {
    if (armazenada.empty()) {
        return PrimeiraComPrefixo(portas, armazenada);
    }
    const std::string dispositivo = CaminhoDaPorta(armazenada);
    for (size_t i = 0; i < portas.size(); ++i) {
        if (CaminhoDaPorta(portas[i]) == dispositivo) {
            return i;
        }
    }
    // Only the whole name: a prefix would take ttyS10 for a missing ttyS1.
    for (size_t i = 0; i < portas.size(); ++i) {
        if (portas[i].size() == armazenada.size() && ComecaCom(portas[i], armazenada)) {
            return i;
        }
    }
    return std::nullopt;
}

std::string PortaConfirmada(const std::optional<std::string>& entrada,
                            const std::string& armazenada) {
    if (!entrada || CaminhoDaPorta(*entrada) == CaminhoDaPorta(armazenada)) {
        return armazenada;
    }
    return *entrada;
}

std::optional<size_t> PosicaoVelocidade(uint8_t codigo) {
    const char* texto = TextoVelocidade(codigo);
    if (texto == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> textos;
    for (const EntradaLista& entrada : ListaVelocidades()) {
        textos.push_back(entrada.texto);
    }
    return PrimeiraComPrefixo(textos, texto);
}

VisibilidadeMeio AtualizarMeio(cEquipamento& equipamento, uint32_t& estado) {
    VisibilidadeMeio v;
    equipamento.SetMeio(estado);
    v.ipPadrao = equipamento.PermiteIpDefault();
    if (equipamento.PermiteSerial()) {
        v.serial = true;
    } else if (equipamento.GetMeio() == kMeioSerial) {
        equipamento.SetMeio(kMeioIpPadrao);
        estado = kMeioIpPadrao;
    }
    if (equipamento.PermiteEsteIp()) {
        v.esteIp = true;
        v.campoIp = equipamento.GetMeio() == kMeioEsteIp;
    }
    if (equipamento.GetMeio() == kMeioSerial) {
        v.porta = true;
        v.velocidadeRtu = equipamento.PermiteRtuVelocidade();
    }
    return v;
}

bool ConfirmarMeio(cEquipamento& equipamento, const EscolhaMeio& escolha, uint32_t& estado,
                   cAvisos& avisos) {
    if (!escolha.marcado) {
        avisos.Mostrar(TipoAviso::Erro, kAvisoSelecioneMeio);
        return false;
    }
    estado = *escolha.marcado;
    equipamento.SetMeio(estado);
    equipamento.SetIpProgramacao(escolha.ipCampo);
    if (equipamento.GetMeio() == kMeioIpPadrao) {
        equipamento.SetIpProgramacao(kIpFabrica);
    }
    const std::string porta = PortaConfirmada(escolha.porta, equipamento.GetPorta());
    equipamento.PadraoSerial();
    equipamento.SetPorta(porta);
    // Without a selected entry there is no rate or RTU to commit: the channel
    // keeps its rate and the object its RTU.
    if (escolha.velocidade) {
        equipamento.SetVelocidade(*escolha.velocidade);
    }
    if (escolha.rtu) {
        equipamento.SetRtu(*escolha.rtu);
    }
    GravarConfiguracao(equipamento, avisos);
    return true;
}

}  // namespace tvx
