#include "plano/plano.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "core/catalogo.h"
#include "core/thread_programar.h"
#include "core/utilitarios.h"
#include "paginas/parametros.h"
#include "paginas/propriedades.h"
#include "persistence/os/arquivos.h"
#include "plano/csv.h"
#include "transport/serial.h"

namespace tvx::plano {

namespace {

constexpr size_t kMaiorPlano = 16 * 1024 * 1024;
constexpr uint32_t kUltimoModelo = kQuantidadeModelos - 1;

enum class Coluna {
    Modelo,
    Meio,
    Endereco,
    Porta,
    Velocidade,
    Rtu,
    Ip,
    Mascara,
    Gateway,
    Acoes,
    Parametro,
    Vazia,  // no name and nothing under it: a spreadsheet's trailing separator
};

struct ColunaPlano {
    Coluna tipo = Coluna::Vazia;
    std::string cabecalho;  // as the header has it
    std::string rotulo;     // Parametro: the page's label
};

constexpr std::pair<const char*, Coluna> kColunasProprias[] = {
    {"modelo", Coluna::Modelo},     {"meio", Coluna::Meio},
    {"endereco", Coluna::Endereco}, {"endereço", Coluna::Endereco},
    {"porta", Coluna::Porta},       {"velocidade", Coluna::Velocidade},
    {"rtu", Coluna::Rtu},           {"ip", Coluna::Ip},
    {"mascara", Coluna::Mascara},   {"máscara", Coluna::Mascara},
    {"gateway", Coluna::Gateway},   {"acoes", Coluna::Acoes},
    {"ações", Coluna::Acoes},
};

Coluna ColunaPropria(const std::string& nome, bool semCaixa) {
    for (const auto& [proprio, tipo] : kColunasProprias) {
        if (semCaixa ? MesmoRotulo(nome, proprio) : nome == proprio) {
            return tipo;
        }
    }
    return Coluna::Vazia;
}

const char* NomeDaColuna(Coluna c) {
    switch (c) {
        case Coluna::Modelo:
            return "modelo";
        case Coluna::Meio:
            return "meio";
        case Coluna::Endereco:
            return "endereco";
        case Coluna::Porta:
            return "porta";
        case Coluna::Velocidade:
            return "velocidade";
        case Coluna::Rtu:
            return "rtu";
        case Coluna::Ip:
            return "ip";
        case Coluna::Mascara:
            return "mascara";
        case Coluna::Gateway:
            return "gateway";
        case Coluna::Acoes:
            return "acoes";
        default:
            return "";
    }
}

// Every label a row of the parameters page can have, over every model and
// every function of the universal gateways.
const std::vector<std::string>& RotulosConhecidos() {
    static const std::vector<std::string> rotulos = [] {
        std::vector<std::string> todos;
        const auto juntar = [&todos](const cPropertyRows& linhas) {
            for (const cPropertyItem& l : linhas.Linhas()) {
                if (l.editor != kEditorGrupo &&
                    std::find(todos.begin(), todos.end(), l.name) == todos.end()) {
                    todos.push_back(l.name);
                }
            }
        };
        for (uint32_t modelo = 1; modelo <= kUltimoModelo; ++modelo) {
            cEquipamento eq;
            eq.SetModelo(modelo);
            eq.CarregaInfoModelo();
            cPropertyRows linhas;
            linhas.aoEscolher = [&](const cPropertyItem& l) { EscolhaParametro(eq, linhas, l); };
            ConstruirParametros(eq, linhas);
            juntar(linhas);
            if (const std::optional<size_t> funcao = linhas.Procurar(kRotuloFuncaoGateway)) {
                const size_t entradas = EntradasEscolha(*linhas.Linha(*funcao)).size();
                for (size_t e = 1; e <= entradas; ++e) {
                    linhas.Escolher(*linhas.Procurar(kRotuloFuncaoGateway), e);
                    juntar(linhas);
                }
            }
        }
        return todos;
    }();
    return rotulos;
}

// The column as the header names it, or the plan's own name when the plan
// has no such column.
std::string CabecalhoDe(const std::vector<ColunaPlano>& colunas, Coluna tipo) {
    for (const ColunaPlano& c : colunas) {
        if (c.tipo == tipo) {
            return c.cabecalho;
        }
    }
    return NomeDaColuna(tipo);
}

std::string Erro(size_t linha, const std::string& coluna, const std::string& texto) {
    return "linha " + std::to_string(linha) + ", coluna \"" + coluna + "\": " + texto;
}

std::optional<uint32_t> ModeloDoTexto(const std::string& texto) {
    uint32_t n = 0;
    if (NumeroEstrito(texto, kUltimoModelo, n)) {
        return n >= 1 ? std::optional<uint32_t>(n) : std::nullopt;
    }
    for (uint32_t m = 1; m <= kUltimoModelo; ++m) {
        std::string nome;
        if (ObtemNomeModelo(m, nome) && nome == texto) {
            return m;
        }
    }
    return std::nullopt;
}

// "program read", "program+test", "ler, testar": any of the three, run in the
// order program, test, read.
bool LerAcoes(const std::string& texto, std::vector<uint32_t>& acoes, std::string& erro) {
    bool programar = false;
    bool testar = false;
    bool ler = false;
    size_t i = 0;
    while (i < texto.size()) {
        const size_t fim = texto.find_first_of(" \t,;+/", i);
        const std::string palavra = texto.substr(i, fim == std::string::npos ? fim : fim - i);
        i = fim == std::string::npos ? texto.size() : fim + 1;
        if (palavra.empty()) {
            continue;
        }
        if (palavra == "program" || palavra == "programar") {
            programar = true;
        } else if (palavra == "test" || palavra == "testar") {
            testar = true;
        } else if (palavra == "read" || palavra == "ler") {
            ler = true;
        } else {
            erro = "ação desconhecida: \"" + palavra + "\" (use program, test ou read)";
            return false;
        }
    }
    acoes.clear();
    if (programar) {
        acoes.push_back(kAcaoProgramar);
    }
    if (testar) {
        acoes.push_back(kAcaoTestar);
    }
    if (ler) {
        acoes.push_back(kAcaoLer);
    }
    return true;
}

// A row's refusals and notices, each named with its column.
class RecusasDaLinha : public cRecusasValores {
  public:
    RecusasDaLinha(size_t linha, const std::vector<ColunaPlano>& colunas,
                   const std::vector<size_t>& colunaDoParametro)
        : linha_(linha), colunas_(colunas), colunaDoParametro_(colunaDoParametro) {}

    void Recusar(const Recusa& r) override {
        std::string coluna;
        switch (r.campo) {
            case CampoValor::Modelo:
                coluna = Cabecalho(Coluna::Modelo);
                break;
            case CampoValor::Meio:
                coluna = Cabecalho(Coluna::Meio);
                break;
            case CampoValor::Endereco:
                coluna = Cabecalho(Coluna::Endereco);
                break;
            case CampoValor::Ip:
                coluna = Cabecalho(Coluna::Ip);
                break;
            case CampoValor::Mascara:
                coluna = Cabecalho(Coluna::Mascara);
                break;
            case CampoValor::Gateway:
                coluna = Cabecalho(Coluna::Gateway);
                break;
            case CampoValor::Parametro:
                coluna = colunas_[colunaDoParametro_.at(r.parametro)].cabecalho;
                break;
        }
        erro = Erro(linha_, coluna, r.texto);
    }
    // The page's boxes name their row; the column is the one that sets it.
    void MostrarSobre(TipoAviso, const std::string& texto, const std::string& rotulo) override {
        mostrados.push_back(Erro(linha_, ColunaDoRotulo(rotulo), texto));
    }
    void Mostrar(TipoAviso, const std::string& texto) override {
        mostrados.push_back("linha " + std::to_string(linha_) + ": " + texto);
    }
    void Avisar(const std::string& texto) override {
        mostrados.push_back(Erro(linha_, Cabecalho(Coluna::Meio), texto));
    }

    std::string erro;
    std::vector<std::string> mostrados;

  private:
    std::string Cabecalho(Coluna tipo) const { return CabecalhoDe(colunas_, tipo); }
    // The plan's column that sets the page's row; a row without one is named
    // as the page names it.
    std::string ColunaDoRotulo(const std::string& rotulo) const {
        const std::pair<const char*, Coluna> enderecos[] = {{kRotuloIp, Coluna::Ip},
                                                            {kRotuloMascara, Coluna::Mascara},
                                                            {kRotuloGateway, Coluna::Gateway}};
        for (const auto& [endereco, tipo] : enderecos) {
            if (MesmoRotulo(rotulo, endereco)) {
                return Cabecalho(tipo);
            }
        }
        for (const ColunaPlano& c : colunas_) {
            if (c.tipo == Coluna::Parametro && MesmoRotulo(c.rotulo, rotulo)) {
                return c.cabecalho;
            }
        }
        return rotulo;
    }

    size_t linha_;
    const std::vector<ColunaPlano>& colunas_;
    const std::vector<size_t>& colunaDoParametro_;
};

std::string Conexao(const cEquipamento& eq) {
    if (eq.UsaTcp()) {
        return "TCP " + eq.GetIpProgramacao() + ":" + std::to_string(eq.PortaTcp());
    }
    const char* velocidade = TextoVelocidade(eq.GetVelocidade());
    return "Serial " + eq.GetPorta() + ", " + (velocidade ? velocidade : "?") + ", RTU " +
           std::to_string(eq.GetRtu());
}

// FNV-1a over the row's columns and values, whatever the columns' order.
std::string Impressao(std::vector<std::string> pares) {
    std::sort(pares.begin(), pares.end());
    uint64_t h = 0xcbf29ce484222325ull;
    for (const std::string& par : pares) {
        for (unsigned char c : par + '\x1f') {
            h = (h ^ c) * 0x100000001b3ull;
        }
    }
    char texto[17];
    std::snprintf(texto, sizeof texto, "%016llx", static_cast<unsigned long long>(h));
    return texto;
}

class Verificacao {
  public:
    Verificacao(Plano& plano, std::vector<std::string>& erros) : plano_(plano), erros_(erros) {}

    bool Executar(const TabelaCsv& tabela) {
        if (tabela.linhas.empty()) {
            return Falhar(
                "o plano está vazio: falta a linha de cabeçalho com os nomes das colunas");
        }
        if (!LerCabecalho(tabela)) {
            return false;
        }
        for (size_t i = 1; i < tabela.linhas.size(); ++i) {
            LerLinha(tabela.linhas[i]);
        }
        if (plano_.dispositivos.empty() && erros_.empty()) {
            return Falhar("o plano não tem equipamentos: só a linha de cabeçalho");
        }
        ConferirEnderecosRepetidos();
        if (descartados_ > 0) {
            erros_.push_back("e mais " + std::to_string(descartados_) + " erros");
        }
        return erros_.empty();
    }

  private:
    bool Falhar(std::string texto) {
        if (erros_.size() < kMaximoErros) {
            erros_.push_back(std::move(texto));
        } else {
            ++descartados_;
        }
        return false;
    }

    bool LerCabecalho(const TabelaCsv& tabela) {
        const LinhaCsv& cabecalho = tabela.linhas.front();
        bool ok = true;
        for (size_t i = 0; i < cabecalho.campos.size(); ++i) {
            const std::string& nome = cabecalho.campos[i];
            ColunaPlano coluna{Coluna::Vazia, nome, {}};
            if (nome.empty()) {
                for (size_t l = 1; l < tabela.linhas.size(); ++l) {
                    const auto& campos = tabela.linhas[l].campos;
                    if (i < campos.size() && !campos[i].empty()) {
                        ok = Falhar("linha " + std::to_string(cabecalho.numero) + ", coluna " +
                                    std::to_string(i + 1) +
                                    ": coluna sem nome, com valores na linha " +
                                    std::to_string(tabela.linhas[l].numero));
                        break;
                    }
                }
                colunas_.push_back(coluna);
                continue;
            }
            // The plan's own names first as written in the help; then the
            // page's labels; then the own names in any case ("Modelo").
            coluna.tipo = ColunaPropria(nome, false);
            if (coluna.tipo == Coluna::Vazia) {
                const std::pair<const char*, Coluna> enderecos[] = {
                    {kRotuloIp, Coluna::Ip},
                    {kRotuloMascara, Coluna::Mascara},
                    {kRotuloGateway, Coluna::Gateway}};
                for (const auto& [rotulo, tipo] : enderecos) {
                    if (MesmoRotulo(nome, rotulo)) {
                        coluna.tipo = tipo;
                    }
                }
            }
            if (coluna.tipo == Coluna::Vazia) {
                for (const std::string& rotulo : RotulosConhecidos()) {
                    if (MesmoRotulo(nome, rotulo)) {
                        coluna.tipo = Coluna::Parametro;
                        coluna.rotulo = rotulo;
                    }
                }
            }
            if (coluna.tipo == Coluna::Vazia) {
                coluna.tipo = ColunaPropria(nome, true);
            }
            if (coluna.tipo == Coluna::Vazia) {
                ok = Falhar(Erro(cabecalho.numero, nome, "coluna desconhecida"));
            }
            for (const ColunaPlano& antes : colunas_) {
                if (coluna.tipo != Coluna::Vazia && antes.tipo == coluna.tipo &&
                    MesmoRotulo(antes.rotulo, coluna.rotulo)) {
                    ok = Falhar(Erro(cabecalho.numero, nome,
                                     "coluna repetida (\"" + antes.cabecalho + "\")"));
                }
            }
            colunas_.push_back(coluna);
        }
        if (std::none_of(colunas_.begin(), colunas_.end(),
                         [](const ColunaPlano& c) { return c.tipo == Coluna::Modelo; })) {
            ok =
                Falhar("linha " + std::to_string(cabecalho.numero) + ": falta a coluna \"modelo\"");
        }
        return ok;
    }

    void LerLinha(const LinhaCsv& linha) {
        const size_t n = linha.numero;
        for (size_t i = colunas_.size(); i < linha.campos.size(); ++i) {
            if (!linha.campos[i].empty()) {
                Falhar("linha " + std::to_string(n) + ": mais campos que colunas no cabeçalho");
                return;
            }
        }
        Dispositivo d;
        d.linha = n;
        bool ok = true;
        std::optional<std::vector<uint32_t>> acoes;
        std::vector<size_t> colunaDoParametro;
        std::vector<std::string> pares;
        const auto recusar = [&](const ColunaPlano& c, const std::string& texto) {
            ok = Falhar(Erro(n, c.cabecalho, texto));
        };
        const auto endereco = [&](const ColunaPlano& c, const std::string& valor,
                                  std::optional<std::string>& destino) {
            const std::optional<std::string> texto = TextoDoCampoIp(valor);
            if (!texto || texto->empty()) {
                recusar(c,
                        "precisa de um endereço a.b.c.d com números de 0 a 255: \"" + valor + "\"");
            } else {
                destino = *texto;
            }
        };
        for (size_t i = 0; i < colunas_.size(); ++i) {
            const ColunaPlano& c = colunas_[i];
            const std::string valor = i < linha.campos.size() ? linha.campos[i] : std::string();
            if (valor.empty() || c.tipo == Coluna::Vazia) {
                continue;
            }
            pares.push_back((c.tipo == Coluna::Parametro ? c.rotulo : NomeDaColuna(c.tipo)) +
                            std::string("=") + valor);
            uint32_t numero = 0;
            ValoresEquipamento& v = d.valores;
            switch (c.tipo) {
                case Coluna::Modelo:
                    if (const std::optional<uint32_t> m = ModeloDoTexto(valor)) {
                        v.modelo = *m;
                    } else {
                        recusar(c, "modelo desconhecido: \"" + valor +
                                       "\" (use o número do catálogo, 1 a 34, ou o nome exato)");
                    }
                    break;
                case Coluna::Meio:
                    if (NumeroEstrito(valor, kMeioSerial, numero)) {
                        v.meio = numero;
                    } else {
                        recusar(c, "precisa de 0 (IP Default), 1 (Este IP) ou 2 (Serial): \"" +
                                       valor + "\"");
                    }
                    break;
                case Coluna::Endereco:
                    endereco(c, valor, v.endereco);
                    break;
                case Coluna::Porta:
                    v.porta = valor;
                    break;
                case Coluna::Velocidade:
                    if (const uint8_t codigo = IndiceDaVelocidade(valor); codigo != 255) {
                        v.velocidade = codigo;
                    } else {
                        recusar(c,
                                "precisa de uma velocidade da tabela (110, 300, 600, 1200, 2400, "
                                "4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, "
                                "256000): \"" +
                                    valor + "\"");
                    }
                    break;
                case Coluna::Rtu:
                    if (NumeroEstrito(valor, 255, numero)) {
                        v.rtu = static_cast<uint8_t>(numero);
                    } else {
                        recusar(c, "precisa de um número de 0 a 255: \"" + valor + "\"");
                    }
                    break;
                case Coluna::Ip:
                    endereco(c, valor, v.ip);
                    break;
                case Coluna::Mascara:
                    endereco(c, valor, v.mascara);
                    break;
                case Coluna::Gateway:
                    endereco(c, valor, v.gateway);
                    break;
                case Coluna::Acoes: {
                    std::string erro;
                    acoes.emplace();
                    if (!LerAcoes(valor, *acoes, erro)) {
                        recusar(c, erro);
                    }
                    break;
                }
                case Coluna::Parametro:
                    v.parametros.push_back({c.rotulo, valor});
                    colunaDoParametro.push_back(i);
                    break;
                case Coluna::Vazia:
                    break;
            }
        }
        if (!ok) {
            return;
        }
        if (!d.valores.modelo) {
            Falhar(Erro(n, Cabecalho(Coluna::Modelo), "falta o modelo"));
            return;
        }

        // A row that only reads sends no address: a blank one is no reason to
        // refuse it.
        if (acoes) {
            d.valores.enderecoNovoUsado =
                std::find_if(acoes->begin(), acoes->end(),
                             [](uint32_t a) { return a != kAcaoLer; }) != acoes->end();
        }
        cEquipamento eq;
        eq.ConfiguracaoPadrao();
        RecusasDaLinha recusas(n, colunas_, colunaDoParametro);
        if (!AplicarValores(d.valores, eq, recusas)) {
            if (recusas.erro.empty() && !recusas.mostrados.empty()) {
                recusas.erro = recusas.mostrados.back();
            }
            Falhar(recusas.erro);
            return;
        }
        d.avisos = recusas.mostrados;
        d.modelo = eq.GetModelo();
        ObtemNomeModelo(d.modelo, d.nomeModelo);
        if (!ConferirAcoes(d, eq, acoes)) {
            return;
        }
        d.ipNovo = eq.GetIpNovo();
        d.mascaraNova = eq.GetMascaraNova();
        d.gatewayNova = eq.GetGatewayNovo();
        d.conexao = Conexao(eq);
        d.conteudo = Impressao(std::move(pares));
        const size_t repeticao = ++impressoes_[d.conteudo];
        if (repeticao > 1) {
            d.conteudo += "-" + std::to_string(repeticao);
        }
        d.numero = plano_.dispositivos.size() + 1;
        plano_.dispositivos.push_back(std::move(d));
    }

    // What only a plan can ask for: an action the model has not got, or a run
    // without the address it needs.
    bool ConferirAcoes(Dispositivo& d, const cEquipamento& eq,
                       const std::optional<std::vector<uint32_t>>& acoes) {
        const bool temIp = eq.Familia() != kFamiliaNenhuma;
        if (acoes) {
            d.acoes = *acoes;
        } else {
            d.acoes = {kAcaoProgramar};
            if (eq.PodeLer()) {
                d.acoes.push_back(kAcaoLer);
            }
        }
        const auto pede = [&d](uint32_t acao) {
            return std::find(d.acoes.begin(), d.acoes.end(), acao) != d.acoes.end();
        };
        const std::string colunaAcoes = Cabecalho(Coluna::Acoes);
        if (d.acoes.empty()) {
            return Falhar(Erro(d.linha, colunaAcoes, "nenhuma ação (use program, test ou read)"));
        }
        if (pede(kAcaoLer) && !eq.PodeLer()) {
            return Falhar(Erro(
                d.linha, colunaAcoes,
                "o modelo " + NomeDoModelo(d.modelo) + " não tem leitura da programação (read)"));
        }
        if (pede(kAcaoTestar) && !temIp) {
            return Falhar(Erro(d.linha, colunaAcoes,
                               "o modelo " + NomeDoModelo(d.modelo) +
                                   " não tem programação de IP para testar (test)"));
        }
        d.programaIp = pede(kAcaoProgramar) && temIp && eq.ProgramaIp();
        const std::string colunaIp = Cabecalho(Coluna::Ip);
        if ((d.programaIp || pede(kAcaoTestar)) && eq.GetIpNovo().empty()) {
            return Falhar(Erro(d.linha, colunaIp, "falta o novo IP"));
        }
        if (d.programaIp && eq.GetIpNovo() == kIpFabrica) {
            return Falhar(Erro(d.linha, colunaIp,
                               std::string("o novo IP é o endereço de fábrica ") + kIpFabrica +
                                   ", em que chega o próximo equipamento"));
        }
        return true;
    }

    void ConferirEnderecosRepetidos() {
        std::map<std::string, size_t> primeiro;
        for (const Dispositivo& d : plano_.dispositivos) {
            if (!d.programaIp) {
                continue;
            }
            const auto [lugar, novo] = primeiro.emplace(d.ipNovo, d.linha);
            if (!novo) {
                Falhar(Erro(
                    d.linha, Cabecalho(Coluna::Ip),
                    "o novo IP " + d.ipNovo + " já é o da linha " + std::to_string(lugar->second)));
            }
        }
    }

    std::string Cabecalho(Coluna tipo) const { return CabecalhoDe(colunas_, tipo); }

    Plano& plano_;
    std::vector<std::string>& erros_;
    std::vector<ColunaPlano> colunas_;
    std::map<std::string, size_t> impressoes_;
    size_t descartados_ = 0;
};

}  // namespace

bool VerificarPlano(std::string_view bytes, Plano& plano, std::vector<std::string>& erros) {
    plano.dispositivos.clear();
    erros.clear();
    TabelaCsv tabela;
    std::string erro;
    if (!LerCsv(bytes, tabela, erro)) {
        erros.push_back(erro);
        return false;
    }
    Verificacao verificacao(plano, erros);
    if (!verificacao.Executar(tabela)) {
        plano.dispositivos.clear();
        return false;
    }
    return true;
}

bool LerPlano(const std::string& caminho, Plano& plano, std::vector<std::string>& erros) {
    plano.caminho = caminho;
    std::string bytes;
    const os::ResultadoArquivo r = os::LerArquivoInteiro(caminho, bytes, kMaiorPlano);
    if (!r.Ok()) {
        erros = {"não foi possível ler o plano: " + os::MotivoFalha(r)};
        return false;
    }
    return VerificarPlano(bytes, plano, erros);
}

}  // namespace tvx::plano
