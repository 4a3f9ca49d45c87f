#include "paginas/parametros.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "core/catalogo.h"
#include "core/registros.h"
#include "core/texto.h"
#include "core/utilitarios.h"
#include "paginas/mascara_edicao.h"

namespace tvx {

namespace {

struct Escolha {
    const char* texto;
    uint32_t codigo;
};

// The serial side of the universal and Modbus gateways: rate = 1200 * 2^code.
constexpr std::array<Escolha, 7> kVelocidadesGateway{{{"1200", 0},
                                                      {"2400", 1},
                                                      {"4800", 2},
                                                      {"9600", 3},
                                                      {"19200", 4},
                                                      {"38400", 5},
                                                      {"115200", 6}}};

// The telemetry unit's own rate codes.
constexpr std::array<Escolha, 2> kVelocidadesTelemetria{{{"9600", 96}, {"38400", 38}}};
constexpr uint8_t kVelocidadeTelemetriaPadrao = 38;
constexpr uint8_t kRtuTelemetriaPadrao = 1;

// Codes 5 and 6 stand for one operator in Brazil and another in Peru: the
// unit tells them apart by its firmware's country. The APN host names are the
// ones each operator publishes for machine-to-machine lines.
constexpr std::array<Escolha, 11> kOperadoras{{
    {"0 - Brasil - VIVO (zap.vivo.com.br)", 0},
    {"1 - Brasil - TIM", 1},
    {"2 - Brasil - CLARO", 2},
    {"3 - Brasil - OI", 3},
    {"4 - Brasil - VIVO2 (smart.m2m.vivo.com.br)", 4},
    {"5 - Brasil - VODAFONE (m2m.vodafone.com.br)", 5},
    {"6 - Brasil - VODAFONE IOT4U(iot4u.vodafone.com)", 6},
    {"5 - Peru - Entel (entel.pe)", 5},
    {"6 - Peru - Claro (claro.pe)", 6},
    {"7 - Peru - Movistar (movistar.pe)", 7},
    {"AUTO (255)", 255},
}};

constexpr std::array<uint8_t, 5> kFuncoesGateway{0xFF, 0x33, 0x55, 0x21, 0xAA};
constexpr uint8_t kFuncaoTxIon = 0x21;
constexpr uint8_t kFuncaoTx940 = 0x55;
constexpr uint8_t kFuncaoModbus = 0xAA;

constexpr std::array<Escolha, 4> kFaixasRtu{
    {{"RTU01 à RTU05", 0}, {"RTU06 à RTU10", 1}, {"RTU11 à RTU15", 2}, {"RTU16 à RTU20", 3}}};
constexpr std::array<Escolha, 2> kFuncoesModbus{
    {{"(3) Read Holding", 3}, {"(4) Read Input Register", 4}}};
constexpr std::array<Escolha, 2> kTiposMedidor{{{"REP (ABNT/CODI)", 0}, {"ION (RS485)", 1}}};
constexpr std::array<Escolha, 2> kNiveisEntrada{{{"(0) Ativa em 0", 0}, {"(1) Ativa em 1", 1}}};
constexpr std::array<Escolha, 2> kModosSaida{{{"(0) Monoestável", 0}, {"(1) Biestável", 1}}};

constexpr int kEntradasDigitais = 16;
constexpr int kSaidasDigitais = 4;
constexpr int32_t kMaximoRegistros = 125;
constexpr int32_t kTempoReconexaoMinimo = 1;
constexpr int32_t kTempoReconexaoMaximo = 240;
constexpr size_t kMaximoIdTelemetria = 20;
constexpr size_t kIdTelemetriaValido = 12;
constexpr uint32_t kModeloGatewayUniversal = 1;
constexpr uint32_t kModeloGatewayUniversalS = 27;

// Group title and check label of each extra step that has them.
struct GrupoPasso {
    uint8_t id;
    const char* grupo;
    const char* check;
};

constexpr std::array<GrupoPasso, 12> kGruposPassos{{
    {kPassoMacIdSms, "Avançado", "Alterar Parametros Avançados?"},
    {kPassoMacComando, "MAC - Avançado", "Alterar MAC?"},
    {kPassoMac, "MAC - Avançado", "Alterar MAC?"},
    {kPassoRtuVelocidade, "RTU e Velocidade", "Alterar RTU e Velocidade?"},
    {kPassoTelemetria, "Telemetria - Operadora e ID", "Alterar Operadora e ID de Telemetria?"},
    {kPassoUrl, "Telemetria - URL", "Alterar URL?"},
    {kPassoReconexao, "Tempo de Reconexão", "Alterar Tempo de Reconexão"},
    {kPassoRelogio, "Programação de Relógio (Enviar Relógio do Computador) ",
     "Alterar Relógio do Equipamento"},
    {kPassoMemoriaMassa, "Memória de Massa", "Reset da Memória de Massa"},
    {kPassoCamposMemoria, "Medição", "Programar Medição"},
    {kPassoEntradasDigitais, "Entradas Digitais", "Enviar Programação de Entrada Digital"},
    {kPassoSaidasDigitais, "Saídas Digitais", "Enviar Programação de Saída Digital"},
}};

const GrupoPasso* GrupoDoPasso(uint8_t id) {
    for (const GrupoPasso& g : kGruposPassos) {
        if (g.id == id) {
            return &g;
        }
    }
    return nullptr;
}

std::string Numerado(const char* prefixo, int n, const char* sufixo) {
    return prefixo + std::to_string(n) + sufixo;
}

std::string RotuloMedidor(int n, const char* campo) {
    return Numerado("Medidor ", n, campo);
}

template <size_t N>
void AdicionarEscolha(cPropertyRows& linhas, std::string_view nome, uint32_t selecionado,
                      const std::array<Escolha, N>& escolhas) {
    linhas.BeginChoices(N);
    for (const Escolha& e : escolhas) {
        linhas.AppendChoice(e.texto, e.codigo);
    }
    linhas.AddChoice(nome, selecionado);
}

// ---- rebuild

void ConstruirEnderecos(const cEquipamento& eq, cPropertyRows& linhas) {
    linhas.AddGroup("Configuração de IP, Máscara e Gateway");
    if (eq.Familia() == kFamiliaRegistros) {
        linhas.AddCheck(kRotuloAlterarIp, eq.infoModelo.alterarIp != 0);
        linhas.AddIpControl(kRotuloIp, eq.GetIpNovo());
        return;
    }
    linhas.AddIpControl(kRotuloIp, eq.GetIpNovo());
    linhas.AddIpControl(kRotuloMascara, eq.GetMascaraNova());
    linhas.AddIpControl(kRotuloGateway, eq.GetGatewayNovo());
}

void ConstruirGatewayTx(const cEquipamento& eq, cPropertyRows& linhas) {
    const uint8_t* r = eq.registroGatewayTx.data();
    linhas.AddGroup("Configuração IP dos Gateways TVX940");
    AdicionarEscolha(linhas, kRotuloFaixaRtu, r[kGtFaixaRtu], kFaixasRtu);
    for (int n = 1; n <= static_cast<int>(kQuantidadeMedidores); ++n) {
        linhas.AddIpText(Numerado("TVX940 ", n, " - IP"),
                         LerIpRegistro(r, kGtIpGateway + 4 * static_cast<size_t>(n - 1)));
    }
}

void ConstruirGatewayUniversal(const cEquipamento& eq, cPropertyRows& linhas) {
    const uint8_t* r = eq.registroGatewayUniversal.data();
    const uint8_t funcao = r[kGuFuncao];
    linhas.BeginChoices(kFuncoesGateway.size());
    for (uint8_t codigo : kFuncoesGateway) {
        linhas.AppendChoice(NomeFuncaoGateway(codigo), codigo);
    }
    linhas.AddChoice(kRotuloFuncaoGateway, funcao);
    switch (funcao) {
        case kFuncaoTxIon:
            linhas.AddIpText(kRotuloIpGatewayRx, LerIpRegistro(r, kGuIpGatewayRx));
            linhas.AddNumber(kRotuloRtuIonPrincipal, r[kGuRtu1]);
            linhas.AddNumber(kRotuloRtuIonRetaguarda, r[kGuRtu2]);
            break;
        case kFuncaoTx940:
            linhas.AddIpText(kRotuloIpGatewayRx, LerIpRegistro(r, kGuIpGatewayRx));
            linhas.AddNumber(kRotuloRtuTvx940, r[kGuRtu1]);
            break;
        case kFuncaoModbus:
            AdicionarEscolha(linhas, kRotuloVelocidade, r[kGuVelocidade], kVelocidadesGateway);
            break;
        default:
            break;
    }
}

void ConstruirTabelaModbus(const cEquipamento& eq, cPropertyRows& linhas) {
    const uint8_t* r = eq.registroGatewayModbus.data();
    AdicionarEscolha(linhas, kRotuloVelocidade, r[kGmVelocidade], kVelocidadesGateway);
    for (int n = 1; n <= static_cast<int>(kQuantidadeMedidores); ++n) {
        const size_t i = static_cast<size_t>(n - 1);
        linhas.AddGroup(Numerado("Medidor ", n, ""));
        linhas.AddIpText(RotuloMedidor(n, " - IP"), LerIpRegistro(r, kGmIpMedidor + 4 * i));
        linhas.AddNumber(RotuloMedidor(n, " - RTU"), r[kGmRtuMedidor + i]);
        AdicionarEscolha(linhas, RotuloMedidor(n, " - Função"), r[kGmFuncaoMedidor + i],
                         kFuncoesModbus);
        linhas.AddNumber(RotuloMedidor(n, " - Endereço Inicial"),
                         LerU16Le(r + kGmRegistroInicial + 2 * i));
        linhas.AddNumber(RotuloMedidor(n, " - Número de Registros"), r[kGmQuantidadeRegistros + i]);
    }
}

void ConstruirPasso(cEquipamento& eq, cPropertyRows& linhas, const PassoModelo& passo) {
    const GrupoPasso* grupo = GrupoDoPasso(passo.id);
    if (grupo != nullptr) {
        linhas.AddGroup(grupo->grupo);
        linhas.AddCheck(grupo->check, passo.marcado != 0);
    }
    switch (passo.id) {
        case kPassoMacIdSms:
            // The option rows of this group come at the end of the list.
            for (int opcao : {kOpcaoMac, kOpcaoCelularSms, kOpcaoIdTelemetria}) {
                eq.infoModelo.opcoes[opcao].marcada = passo.marcado;
            }
            break;
        case kPassoMacComando:
        case kPassoMac:
            linhas.AddMaskedText(kRotuloMac, eq.infoModelo.opcoes[kOpcaoMac].valor, kMascaraMac);
            break;
        case kPassoRtuVelocidade: {
            const uint8_t* r = eq.registroRtuVelocidade.data();
            const uint8_t velocidade = r[kRvVelocidade];
            const uint8_t rtu = r[kRvRtu];
            AdicionarEscolha(linhas, kRotuloVelocidade,
                             velocidade != 0 ? velocidade : kVelocidadeTelemetriaPadrao,
                             kVelocidadesTelemetria);
            linhas.AddNumber(kRotuloRtu, rtu != 0 ? rtu : kRtuTelemetriaPadrao);
            break;
        }
        case kPassoTelemetria: {
            const uint8_t* r = eq.registroTelemetria.data();
            AdicionarEscolha(linhas, kRotuloOperadora, r[kTelOperadora], kOperadoras);
            linhas.AddText(kRotuloIdTelemetria, eq.TextoIdTelemetria());
            break;
        }
        case kPassoUrl:
            linhas.AddText(kRotuloUrl, eq.TextoUrl());
            break;
        case kPassoTabelaModbus:
            ConstruirTabelaModbus(eq, linhas);
            break;
        case kPassoReconexao:
            linhas.AddNumber(kRotuloTempoReconexao, eq.registroReconexao[kRecTempo]);
            break;
        case kPassoCamposMemoria:
            AdicionarEscolha(linhas, kRotuloTipoMedidor, eq.medidorIon, kTiposMedidor);
            linhas.AddNumber(kRotuloRtuMedidorIon, eq.rtuMedidorIon);
            break;
        case kPassoEntradasDigitais:
            for (int n = 1; n <= kEntradasDigitais; ++n) {
                AdicionarEscolha(linhas, Numerado("Entrada ", n, ""),
                                 (eq.entradasDigitais >> (n - 1)) & 1u, kNiveisEntrada);
            }
            break;
        case kPassoSaidasDigitais:
            for (int n = 1; n <= kSaidasDigitais; ++n) {
                AdicionarEscolha(linhas, Numerado("Saída ", n, ""),
                                 (eq.saidasDigitais >> (n - 1)) & 1u, kModosSaida);
            }
            break;
        default:
            break;
    }
}

void ConstruirOpcoes(const cEquipamento& eq, cPropertyRows& linhas) {
    const auto& opcoes = eq.infoModelo.opcoes;
    if (opcoes[kOpcaoIdTelemetria].oferecida) {
        linhas.AddMaskedText(kRotuloIdTelemetria, opcoes[kOpcaoIdTelemetria].valor,
                             kMascaraIdTelemetria);
    }
    if (opcoes[kOpcaoMac].oferecida) {
        linhas.AddMaskedText(kRotuloMac, opcoes[kOpcaoMac].valor, kMascaraMac);
    }
    if (opcoes[kOpcaoCelularSms].oferecida) {
        linhas.AddText(kRotuloCelularSms, opcoes[kOpcaoCelularSms].valor);
    }
}

// ---- commit

// The rows being read back and where a refusal goes.
struct Leitor {
    const cPropertyRows& linhas;
    cAvisos& avisos;

    // rotulo: the row the refusal is about.
    bool Recusar(const std::string& rotulo, const std::string& texto,
                 TipoAviso tipo = TipoAviso::Erro) {
        avisos.MostrarSobre(tipo, texto, rotulo);
        return false;
    }

    // A text that goes to the device as Latin-1 bytes: a control character
    // would reach it as it is, and one outside Latin-1 as "?".
    bool TextoParaEquipamento(const std::string& rotulo, const std::string& texto) {
        const std::optional<char32_t> c = CaractereImproprio(texto);
        if (!c) {
            return true;
        }
        if (*c < 0x20 || (*c >= 0x7F && *c <= 0x9F)) {
            return Recusar(rotulo, rotulo + " contém um caractere de controle (" +
                                       DescreverCaractere(*c) + ")");
        }
        return Recusar(rotulo, rotulo + " contém " + DescreverCaractere(*c) +
                                   ", que o equipamento não aceita");
    }

    // The code of a choice row as the row shows it. A row that shows none of
    // its entries (a code from the file outside the list, or the empty entry
    // picked) sends the entry it shows when nothing is stored, never the
    // code it happens to hold.
    uint32_t Codigo(const std::string& rotulo, uint32_t padrao) const {
        const std::optional<size_t> i = linhas.Procurar(rotulo);
        if (!i) {
            return padrao;
        }
        const cPropertyItem& linha = *linhas.Linha(*i);
        for (const EntradaEscolha& e : EntradasEscolha(linha)) {
            if (!linha.value.empty() && e.texto == linha.value && e.valor == linha.data) {
                return linha.data;
            }
        }
        return padrao;
    }

    // An 8-bit field keeps the low bits of the number typed; a number outside
    // 0..255 would reach the device as some other value, so it is refused
    // where the field is sent (verificar).
    bool Byte(const std::string& rotulo, uint8_t& destino, bool verificar) {
        const int32_t n = linhas.GetNumber(rotulo);
        destino = static_cast<uint8_t>(n);
        if (verificar && (n < 0 || n > 0xFF)) {
            return Recusar(rotulo, rotulo + " inválido (0 a 255)");
        }
        return true;
    }
};

bool ConfirmarGatewayUniversal(cEquipamento& eq, Leitor& l) {
    uint8_t* r = eq.registroGatewayUniversal.data();
    const cPropertyRows& linhas = l.linhas;
    switch (r[kGuFuncao]) {
        case kFuncaoTxIon:
            EscreverIpRegistro(r, kGuIpGatewayRx, linhas.GetUnsigned(kRotuloIpGatewayRx));
            return l.Byte(kRotuloRtuIonPrincipal, r[kGuRtu1], true) &&
                   l.Byte(kRotuloRtuIonRetaguarda, r[kGuRtu2], true);
        case kFuncaoTx940: {
            const uint32_t ip = linhas.GetUnsigned(kRotuloIpGatewayRx);
            EscreverIpRegistro(r, kGuIpGatewayRx, ip);
            const int32_t rtu = linhas.GetNumber(kRotuloRtuTvx940);
            r[kGuRtu1] = static_cast<uint8_t>(rtu);
            if (ip == 0) {
                return l.Recusar(kRotuloIpGatewayRx, kErroIpGatewayRx);
            }
            if (rtu < 0 || rtu > 0xFF) {
                return l.Recusar(kRotuloRtuTvx940,
                                 std::string(kRotuloRtuTvx940) + " inválido (0 a 255)");
            }
            if (r[kGuRtu1] == 0) {
                return l.Recusar(kRotuloRtuTvx940, kErroRtuTvx940);
            }
            return true;
        }
        case kFuncaoModbus:
            r[kGuVelocidade] = static_cast<uint8_t>(l.Codigo(kRotuloVelocidade, 0));
            return true;
        default:
            return true;
    }
}

void ConfirmarGatewayTx(cEquipamento& eq, const Leitor& l) {
    const cPropertyRows& linhas = l.linhas;
    uint8_t* r = eq.registroGatewayTx.data();
    r[kGtFaixaRtu] = static_cast<uint8_t>(l.Codigo(kRotuloFaixaRtu, 0));
    for (int n = 1; n <= static_cast<int>(kQuantidadeMedidores); ++n) {
        EscreverIpRegistro(r, kGtIpGateway + 4 * static_cast<size_t>(n - 1),
                           linhas.GetUnsigned(Numerado("TVX940 ", n, " - IP")));
    }
}

bool ConfirmarTabelaModbus(cEquipamento& eq, Leitor& l) {
    uint8_t* r = eq.registroGatewayModbus.data();
    const cPropertyRows& linhas = l.linhas;
    r[kGmVelocidade] = static_cast<uint8_t>(l.Codigo(kRotuloVelocidade, 0));
    for (int n = 1; n <= static_cast<int>(kQuantidadeMedidores); ++n) {
        const size_t i = static_cast<size_t>(n - 1);
        const uint32_t ip = linhas.GetUnsigned(RotuloMedidor(n, " - IP"));
        const int32_t rtu = linhas.GetNumber(RotuloMedidor(n, " - RTU"));
        const uint32_t funcao = l.Codigo(RotuloMedidor(n, " - Função"), 0);
        const int32_t inicial = linhas.GetNumber(RotuloMedidor(n, " - Endereço Inicial"));
        const int32_t registros = linhas.GetNumber(RotuloMedidor(n, " - Número de Registros"));
        EscreverIpRegistro(r, kGmIpMedidor + 4 * i, ip);
        r[kGmRtuMedidor + i] = static_cast<uint8_t>(rtu);
        r[kGmFuncaoMedidor + i] = static_cast<uint8_t>(funcao);
        EscreverU16Le(r + kGmRegistroInicial + 2 * i, static_cast<uint16_t>(inicial));
        r[kGmQuantidadeRegistros + i] = static_cast<uint8_t>(registros);
        if (ip == 0) {
            continue;  // an unused meter: the gateway does not poll it
        }
        const std::string medidor = RotuloMedidor(n, "");
        if (rtu < 0 || rtu > 0xFF) {
            return l.Recusar(medidor + " - RTU", medidor + " - RTU inválido (0 a 255)");
        }
        if (r[kGmRtuMedidor + i] == 0) {
            return l.Recusar(medidor + " - RTU", medidor + " - RTU inválido");
        }
        const uint8_t funcaoGravada = r[kGmFuncaoMedidor + i];
        if (funcaoGravada != 3 && funcaoGravada != 4) {
            return l.Recusar(medidor + " - Função", medidor + " - Função inválida");
        }
        // A negative count would reach the device as a count near 256.
        if (registros <= 0) {
            return l.Recusar(medidor + " - Número de Registros",
                             medidor + " - Número de Registros inválido (0)");
        }
        if (registros > kMaximoRegistros) {
            return l.Recusar(medidor + " - Número de Registros",
                             medidor + " - Número de Registros inválido (maior que 125)");
        }
        if (inicial < 0 || inicial > 0xFFFF) {
            return l.Recusar(medidor + " - Endereço Inicial",
                             medidor + " - Endereço Inicial inválido (0 a 65535)");
        }
    }
    return true;
}

bool LerCheckDoPasso(const cPropertyRows& linhas, uint8_t id) {
    if (id == kPassoTabelaModbus) {
        return true;
    }
    const GrupoPasso* grupo = GrupoDoPasso(id);
    return grupo != nullptr && linhas.GetCheck(grupo->check);
}

size_t TamanhoLatin1(std::string_view texto) {
    return Utf8ParaLatin1(texto).size();
}

bool ConfirmarPasso(cEquipamento& eq, Leitor& l, PassoModelo& passo) {
    const cPropertyRows& linhas = l.linhas;
    const bool marcado = LerCheckDoPasso(linhas, passo.id);
    passo.marcado = marcado ? 1 : 0;
    if (passo.id == kPassoMacIdSms) {
        for (int opcao : {kOpcaoMac, kOpcaoCelularSms, kOpcaoIdTelemetria}) {
            eq.infoModelo.opcoes[opcao].marcada = passo.marcado;
        }
    }
    if (passo.id == kPassoCamposMemoria) {
        eq.medidorIon = l.Codigo(kRotuloTipoMedidor, 0) != 0 ? 1 : 0;
        // Sent only when the group is ticked: only then is a wrong number refused.
        if (!l.Byte(kRotuloRtuMedidorIon, eq.rtuMedidorIon, marcado)) {
            return false;
        }
    }
    if (!marcado) {
        return true;
    }
    switch (passo.id) {
        case kPassoMacComando:
        case kPassoMac: {
            std::string& mac = eq.infoModelo.opcoes[kOpcaoMac].valor;
            mac = linhas.GetText(kRotuloMac);
            return MacValido(mac) || l.Recusar(kRotuloMac, kErroMac);
        }
        case kPassoRtuVelocidade: {
            uint8_t* r = eq.registroRtuVelocidade.data();
            // Nothing stored shows 38400 in this row: a blank row sends that.
            r[kRvVelocidade] =
                static_cast<uint8_t>(l.Codigo(kRotuloVelocidade, kVelocidadeTelemetriaPadrao));
            if (!l.Byte(kRotuloRtu, r[kRvRtu], true)) {
                return false;
            }
            return r[kRvRtu] != 0 || l.Recusar(kRotuloRtu, kErroRtuZero);
        }
        case kPassoTelemetria: {
            // Refused before the record changes: the file's text stays on
            // the page for the technician to correct.
            const std::string id = linhas.GetText(kRotuloIdTelemetria);
            if (!l.TextoParaEquipamento(kRotuloIdTelemetria, id)) {
                return false;
            }
            uint8_t* r = eq.registroTelemetria.data();
            std::memset(r, 0, kTamanhoRegistroTelemetria);
            r[kTelOperadora] = static_cast<uint8_t>(l.Codigo(kRotuloOperadora, 0));
            GravarTextoNoCampo(r + kTelId, kTamanhoIdTelemetria, id, kMaximoIdTelemetria);
            eq.idTelemetriaArquivo.clear();
            const size_t tamanho = std::min(TamanhoLatin1(id), kMaximoIdTelemetria);
            return tamanho == kIdTelemetriaValido || l.Recusar(kRotuloIdTelemetria, kErroTamanhoId);
        }
        case kPassoUrl: {
            const std::string url = linhas.GetText(kRotuloUrl);
            if (!l.TextoParaEquipamento(kRotuloUrl, url)) {
                return false;
            }
            uint8_t* r = eq.registroUrl.data();
            std::memset(r, 0, kTamanhoRegistroUrl);
            GravarTextoNoCampo(r + kUrlTexto, kTamanhoUrl, url, kTamanhoUrl);
            eq.urlArquivo.clear();
            if (url.empty()) {
                l.avisos.MostrarSobre(TipoAviso::Informacao, kAvisoTelemetriaDesabilitada,
                                      kRotuloUrl);
            }
            return true;
        }
        case kPassoTabelaModbus:
            return ConfirmarTabelaModbus(eq, l);
        case kPassoReconexao: {
            std::memset(eq.registroReconexao.data(), 0, kTamanhoRegistroReconexao);
            const int32_t tempo = linhas.GetNumber(kRotuloTempoReconexao);
            eq.registroReconexao[kRecTempo] = static_cast<uint8_t>(tempo);
            if (tempo < kTempoReconexaoMinimo || tempo > kTempoReconexaoMaximo) {
                return l.Recusar(kRotuloTempoReconexao, kErroTempoReconexao, TipoAviso::Informacao);
            }
            return true;
        }
        case kPassoEntradasDigitais:
            for (int n = 1; n <= kEntradasDigitais; ++n) {
                const uint16_t bit = static_cast<uint16_t>(1u << (n - 1));
                if (l.Codigo(Numerado("Entrada ", n, ""), 0) == 1) {
                    eq.entradasDigitais |= bit;
                } else {
                    eq.entradasDigitais &= static_cast<uint16_t>(~bit);
                }
            }
            return true;
        case kPassoSaidasDigitais:
            for (int n = 1; n <= kSaidasDigitais; ++n) {
                const uint16_t bit = static_cast<uint16_t>(1u << (n - 1));
                if (l.Codigo(Numerado("Saída ", n, ""), 0) == 1) {
                    eq.saidasDigitais |= bit;
                } else {
                    eq.saidasDigitais &= static_cast<uint16_t>(~bit);
                }
            }
            return true;
        default:
            return true;
    }
}

bool ConfirmarOpcoes(cEquipamento& eq, Leitor& l) {
    auto& opcoes = eq.infoModelo.opcoes;
    const cPropertyRows& linhas = l.linhas;
    if (eq.AlterarIdTelemetria()) {
        std::string& id = opcoes[kOpcaoIdTelemetria].valor;
        id = linhas.GetText(kRotuloIdTelemetria);
        if (!l.TextoParaEquipamento(kRotuloIdTelemetria, id)) {
            return false;
        }
        // The masked row keeps its twelve positions when some were left
        // unfilled: they hold the placeholder, which counts as missing.
        if (TamanhoLatin1(id) != kIdTelemetriaValido ||
            id.find(static_cast<char>(MascaraEdicao::kMarcadorPadrao)) != std::string::npos) {
            return l.Recusar(kRotuloIdTelemetria, kErroTamanhoId);
        }
    }
    if (eq.AlterarMac()) {
        std::string& mac = opcoes[kOpcaoMac].valor;
        mac = linhas.GetText(kRotuloMac);
        if (!MacValido(mac)) {
            return l.Recusar(kRotuloMac, kErroMac);
        }
    }
    if (eq.AlterarCelularSms()) {
        opcoes[kOpcaoCelularSms].valor = linhas.GetText(kRotuloCelularSms);
        return l.TextoParaEquipamento(kRotuloCelularSms, opcoes[kOpcaoCelularSms].valor);
    }
    return true;
}

// ---- one row from a text

bool Numero(std::string_view texto, uint32_t& valor) {
    if (texto.empty() || texto.size() > 9) {
        return false;
    }
    valor = 0;
    for (char c : texto) {
        if (c < '0' || c > '9') {
            return false;
        }
        valor = valor * 10 + static_cast<uint32_t>(c - '0');
    }
    return true;
}

}  // namespace

std::optional<std::string> TextoDoCampoIp(std::string_view texto) {
    if (texto.empty()) {
        return std::string();
    }
    std::string resultado;
    size_t inicio = 0;
    for (int parte = 0; parte < 4; ++parte) {
        const size_t fim = parte < 3 ? texto.find('.', inicio) : texto.size();
        if (fim == std::string_view::npos || fim == inicio || fim - inicio > 3) {
            return std::nullopt;
        }
        uint32_t octeto = 0;
        if (!Numero(texto.substr(inicio, fim - inicio), octeto) || octeto > 255) {
            return std::nullopt;
        }
        if (parte > 0) {
            resultado.push_back('.');
        }
        resultado += std::to_string(octeto);
        inicio = fim + 1;
    }
    return resultado;
}

const char* RotuloDoPasso(uint8_t id) {
    const GrupoPasso* grupo = GrupoDoPasso(id);
    return grupo != nullptr ? grupo->check : nullptr;
}

bool LinhaNumerica(std::string_view rotulo) {
    for (const char* numerica : {kRotuloRtuIonPrincipal, kRotuloRtuIonRetaguarda, kRotuloRtuTvx940,
                                 kRotuloRtu, kRotuloTempoReconexao, kRotuloRtuMedidorIon}) {
        if (MesmoRotulo(rotulo, numerica)) {
            return true;
        }
    }
    for (int n = 1; n <= static_cast<int>(kQuantidadeMedidores); ++n) {
        for (const char* campo : {" - RTU", " - Endereço Inicial", " - Número de Registros"}) {
            if (MesmoRotulo(rotulo, RotuloMedidor(n, campo))) {
                return true;
            }
        }
    }
    return false;
}

bool MostraCabecalhoParametros(const cEquipamento& equipamento) {
    return equipamento.Familia() != kFamiliaNenhuma;
}

void ConstruirParametros(cEquipamento& equipamento, cPropertyRows& linhas) {
    linhas.ResetContent();
    const uint8_t familia = equipamento.Familia();
    if (familia != kFamiliaNenhuma) {
        ConstruirEnderecos(equipamento, linhas);
    }
    switch (familia) {
        case kFamiliaGatewayTx:
            ConstruirGatewayTx(equipamento, linhas);
            break;
        case kFamiliaGatewayUniversal:
            ConstruirGatewayUniversal(equipamento, linhas);
            break;
        case kFamiliaGatewayModbus:
            equipamento.infoModelo.passos[0].id = kPassoTabelaModbus;
            break;
        default:
            break;
    }
    for (const PassoModelo& passo : equipamento.infoModelo.passos) {
        if (passo.id != 0) {
            ConstruirPasso(equipamento, linhas, passo);
        }
    }
    ConstruirOpcoes(equipamento, linhas);
}

bool EscolhaParametro(cEquipamento& equipamento, cPropertyRows& linhas,
                      const cPropertyItem& linha) {
    if (!MesmoRotulo(linha.name, kRotuloFuncaoGateway)) {
        return false;
    }
    equipamento.registroGatewayUniversal[kGuFuncao] = static_cast<uint8_t>(linha.data);
    ConstruirParametros(equipamento, linhas);
    return true;
}

bool ConfirmarParametros(cEquipamento& equipamento, const cPropertyRows& linhas, cAvisos& avisos,
                         bool enderecoNovoUsado) {
    Leitor leitor{linhas, avisos};
    const uint8_t familia = equipamento.Familia();
    if (familia != kFamiliaNenhuma) {
        // Taken as typed: a row that is not there reads empty or unticked.
        equipamento.SetIpNovo(linhas.GetText(kRotuloIp));
        equipamento.SetMascaraNova(linhas.GetText(kRotuloMascara));
        equipamento.SetGatewayNovo(linhas.GetText(kRotuloGateway));
        equipamento.infoModelo.alterarIp = linhas.GetCheck(kRotuloAlterarIp) ? 1 : 0;
        // Families 1 and 10 send the addresses as text.
        if (!leitor.TextoParaEquipamento(kRotuloIp, equipamento.GetIpNovo()) ||
            !leitor.TextoParaEquipamento(kRotuloMascara, equipamento.GetMascaraNova()) ||
            !leitor.TextoParaEquipamento(kRotuloGateway, equipamento.GetGatewayNovo())) {
            return false;
        }
        // The device answers on the address it is sent, and only there: a
        // blank or 0.0.0.0 address, or no mask, would take it off the
        // network. A gateway of 0 is a network without one.
        if (enderecoNovoUsado && equipamento.ProgramaIp()) {
            if (TextoParaIp(equipamento.GetIpNovo()) == 0) {
                return leitor.Recusar(kRotuloIp, kErroIp);
            }
            if (linhas.Procurar(kRotuloMascara) && equipamento.GetMascaraNova().empty()) {
                return leitor.Recusar(kRotuloMascara, kErroMascara);
            }
        }
    }
    const uint32_t modelo = equipamento.GetModelo();
    if ((modelo == kModeloGatewayUniversal || modelo == kModeloGatewayUniversalS) &&
        !ConfirmarGatewayUniversal(equipamento, leitor)) {
        return false;
    }
    if (familia == kFamiliaGatewayTx) {
        ConfirmarGatewayTx(equipamento, leitor);
    }
    for (PassoModelo& passo : equipamento.infoModelo.passos) {
        if (passo.id != 0 && !ConfirmarPasso(equipamento, leitor, passo)) {
            return false;
        }
    }
    return ConfirmarOpcoes(equipamento, leitor);
}

bool AplicarParametro(cPropertyRows& linhas, std::string_view rotulo, std::string_view valor,
                      std::string& erro) {
    const std::optional<size_t> indice = linhas.Procurar(rotulo);
    if (!indice) {
        erro = "Parâmetro desconhecido para este modelo: \"" + std::string(rotulo) + "\"";
        return false;
    }
    const cPropertyItem& linha = *linhas.Linha(*indice);
    const std::string nome = linha.name;
    switch (linha.editor) {
        case kEditorCheck:
            if (valor != "0" && valor != "1") {
                erro = "\"" + nome + "\" aceita 0 ou 1";
                return false;
            }
            return linhas.DefinirCheck(*indice, valor == "1");
        case kEditorLista: {
            // An empty text is the editor's empty first entry.
            if (valor.empty()) {
                return linhas.Escolher(*indice, 0);
            }
            const std::vector<EntradaEscolha> entradas = EntradasEscolha(linha);
            std::optional<size_t> escolhida;
            for (size_t i = 0; i < entradas.size() && !escolhida; ++i) {
                if (MesmoRotulo(entradas[i].texto, valor)) {
                    escolhida = i;
                }
            }
            uint32_t codigo = 0;
            if (!escolhida && linha.kind == kTipoComValores && Numero(valor, codigo)) {
                for (size_t i = 0; i < entradas.size() && !escolhida; ++i) {
                    if (entradas[i].valor == codigo) {
                        escolhida = i;
                    }
                }
            }
            if (!escolhida) {
                erro = "\"" + std::string(valor) + "\" não é uma opção de \"" + nome + "\":";
                for (const EntradaEscolha& e : entradas) {
                    erro += "\n  " + e.texto;
                    if (linha.kind == kTipoComValores) {
                        erro += " (" + std::to_string(e.valor) + ")";
                    }
                }
                return false;
            }
            return linhas.Escolher(*indice, *escolhida + 1);
        }
        case kEditorIp: {
            const std::optional<std::string> endereco = TextoDoCampoIp(valor);
            if (!endereco) {
                erro = "\"" + nome + "\" aceita um endereço a.b.c.d (0 a 255): \"" +
                       std::string(valor) + "\"";
                return false;
            }
            return linhas.EditarEndereco(*indice, *endereco);
        }
        case kEditorTexto:
            return linhas.EditarTexto(*indice, valor);
        default:
            erro = "\"" + nome + "\" é um título de grupo, não um parâmetro";
            return false;
    }
}

}  // namespace tvx
