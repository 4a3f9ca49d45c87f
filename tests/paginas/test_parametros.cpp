// The parameters page: the rows for every kind of model, the edits by label
// the headless front end makes, and what Next puts in the equipment object
// or refuses, also from what a configuration file held.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "avisos_gravados.h"
#include "paginas/parametros.h"

namespace tvx {
namespace {

using namespace teste;
using Rotulos = std::vector<std::string>;
using Valores = std::vector<std::pair<std::string, std::string>>;

// One line per row: "[group]", "[x] check", "label: value" followed by what
// kind of editor the row has.
std::string Descrever(const cPropertyItem& l) {
    if (l.editor == kEditorGrupo) {
        return "[" + l.name + "]";
    }
    if (l.editor == kEditorCheck) {
        return std::string(l.data ? "[x] " : "[ ] ") + l.name;
    }
    std::string s = l.name + ": " + l.value;
    if (l.editor == kEditorLista) {
        s += " {";
        for (const EntradaEscolha& e : EntradasEscolha(l)) {
            s += e.texto + "=" + std::to_string(e.valor) + "|";
        }
        return s + "}";
    }
    return s + (l.editor == kEditorIp    ? " (ip)"
                : l.kind == kTipoIpTexto ? " (ip-texto)"
                : l.kind == kTipoMascara ? " <" + l.mask + ">"
                                         : "");
}

Rotulos operator+(Rotulos a, const Rotulos& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Valores operator+(Valores a, const Valores& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Pagina {
    explicit Pagina(uint32_t modelo, std::function<void(cEquipamento&)> antes = {}) {
        eq.SetModelo(modelo);
        EXPECT_TRUE(eq.CarregaInfoModelo());
        eq.SetIpNovo("10.0.0.5");
        eq.SetMascaraNova("255.255.255.0");
        eq.SetGatewayNovo("10.0.0.1");
        if (antes) {
            antes(eq);
        }
        linhas.aoEscolher = [this](const cPropertyItem& l) { EscolhaParametro(eq, linhas, l); };
        ConstruirParametros(eq, linhas);
    }
    Rotulos Linhas() const {
        Rotulos d;
        for (const cPropertyItem& l : linhas.Linhas()) {
            d.push_back(Descrever(l));
        }
        return d;
    }
    bool Confirmar(const Valores& valores = {}) {
        for (const auto& [rotulo, valor] : valores) {
            std::string erro;
            EXPECT_TRUE(AplicarParametro(linhas, rotulo, valor, erro)) << erro;
        }
        avisos.vistos.clear();
        return ConfirmarParametros(eq, linhas, avisos);
    }
    cEquipamento eq;
    cPropertyRows linhas;
    AvisosGravados avisos;
};

const Rotulos kEnderecos{"[Configuração de IP, Máscara e Gateway]", "IP: 10.0.0.5 (ip)",
                         "Máscara: 255.255.255.0 (ip)", "Gateway: 10.0.0.1 (ip)"};

// The rows each kind of model shows, in order, with what the object holds.
// Every label is also reached by name in the tests below, so that a label
// spelled wrong fails there as it would on the command line.
TEST(ParametrosLinhas, CadaTipoDeModelo) {
    const std::string operadoras =
        "{0 - Brasil - VIVO (zap.vivo.com.br)=0|1 - Brasil - TIM=1|2 - Brasil - CLARO=2|"
        "3 - Brasil - OI=3|4 - Brasil - VIVO2 (smart.m2m.vivo.com.br)=4|"
        "5 - Brasil - VODAFONE (m2m.vodafone.com.br)=5|"
        "6 - Brasil - VODAFONE IOT4U(iot4u.vodafone.com)=6|5 - Peru - Entel (entel.pe)=5|"
        "6 - Peru - Claro (claro.pe)=6|7 - Peru - Movistar (movistar.pe)=7|AUTO (255)=255|}";
    // clang-format off
    const std::vector<std::tuple<uint32_t, std::function<void(cEquipamento&)>, Rotulos>> casos = {
        {7, {}, kEnderecos + Rotulos{"[MAC - Avançado]", "[ ] Alterar MAC?",
                                     "MAC (xx:xx:xx:xx:xx:xx):  <02:B4:6D:**:**:**>"}},
        // Family 9: the rows of the gateway's function.
        {1, [](cEquipamento& e) {
             uint8_t* r = e.registroGatewayUniversal.data();
             r[12] = 192, r[13] = 168, r[14] = 0, r[15] = 7, r[16] = 9, r[17] = 10, r[19] = 33;
         },
         kEnderecos + Rotulos{"Função Gateway Universal: Gateway TX ION {Gateway PC=255|Gateway RX=51|"
                              "Gateway TX940=85|Gateway TX ION=33|Gateway Modbus=170|}",
                              "IP do Gateway RX: 192.168.0.7 (ip-texto)", "RTU do ION Principal: 9",
                              "RTU do ION Retaguarda: 10", "[MAC - Avançado]", "[ ] Alterar MAC?",
                              "MAC (xx:xx:xx:xx:xx:xx):  <02:B4:6D:**:**:**>"}},
        // Telemetry units with their stored values.
        {23, [](cEquipamento& e) {
             e.registroRtuVelocidade[8] = 17;
             e.registroRtuVelocidade[9] = 96;
             e.registroTelemetria[8] = 3;
             e.infoModelo.passos[0].marcado = 1;
         },
         kEnderecos + Rotulos{"[RTU e Velocidade]", "[x] Alterar RTU e Velocidade?",
                              "Velocidade: 9600 {9600=96|38400=38|}", "RTU: 17",
                              "[Telemetria - Operadora e ID]", "[ ] Alterar Operadora e ID de Telemetria?",
                              "Operadora de Celular (Telemetria): 3 - Brasil - OI " + operadoras,
                              "ID (Telemetria 12 caracteres): ", "[MAC - Avançado]", "[ ] Alterar MAC?",
                              "MAC (xx:xx:xx:xx:xx:xx):  <02:B4:6D:**:**:**>",
                              "[Telemetria - URL]", "[ ] Alterar URL?", "URL (Telemetria): "}},
        {25, [](cEquipamento& e) {
             e.registroReconexao[8] = 30;
             e.medidorIon = 1;
             e.rtuMedidorIon = 7;
             e.registroTelemetria[8] = 255;
         },
         Rotulos{"[Telemetria - Operadora e ID]", "[ ] Alterar Operadora e ID de Telemetria?",
                 "Operadora de Celular (Telemetria): AUTO (255) " + operadoras,
                 "ID (Telemetria 12 caracteres): ", "[Telemetria - URL]", "[ ] Alterar URL?",
                 "URL (Telemetria): ", "[Tempo de Reconexão]", "[ ] Alterar Tempo de Reconexão",
                 "Tempo de Reconexão (1 ~ 240 min): 30",
                 "[Programação de Relógio (Enviar Relógio do Computador) ]",
                 "[ ] Alterar Relógio do Equipamento", "[Memória de Massa]",
                 "[ ] Reset da Memória de Massa", "[Medição]", "[ ] Programar Medição",
                 "Tipo de Medidor: ION (RS485) {REP (ABNT/CODI)=0|ION (RS485)=1|}",
                 "RTU Medidor ION: 7"}},
        // The advanced group: the options the model offers.
        {16, [](cEquipamento& e) { e.infoModelo.opcoes[1].valor = "+55 11 99999-0000"; },
         kEnderecos + Rotulos{"[Avançado]", "[ ] Alterar Parametros Avançados?",
                              "ID (Telemetria 12 caracteres):  <############>",
                              "MAC (xx:xx:xx:xx:xx:xx):  <02:B4:6D:**:**:**>",
                              "Celular SMS (Alarme de Conexão): +55 11 99999-0000"}},
        // Family 6 and family 15: the gateways and the meters, the first shown.
        {28, [](cEquipamento& e) { e.registroGatewayTx[15] = 3, e.registroGatewayTx[32] = 1; },
         Rotulos{"[Configuração IP dos Gateways TVX940]",
                 "Faixa de RTU: RTU06 à RTU10 {RTU01 à RTU05=0|RTU06 à RTU10=1|RTU11 à RTU15=2|"
                 "RTU16 à RTU20=3|}",
                 "TVX940 1 - IP: 0.0.0.3 (ip-texto)"}},
        {19, [](cEquipamento& e) {
             uint8_t* r = e.registroGatewayModbus.data();
             r[12] = 10, r[15] = 5, r[32] = 7, r[37] = 4, r[42] = 0x34, r[43] = 0x12, r[52] = 125;
         },
         Rotulos{"Velocidade: 1200 {1200=0|2400=1|4800=2|9600=3|19200=4|38400=5|115200=6|}",
                 "[Medidor 1]", "Medidor 1 - IP: 10.0.0.5 (ip-texto)", "Medidor 1 - RTU: 7",
                 "Medidor 1 - Função: (4) Read Input Register "
                 "{(3) Read Holding=3|(4) Read Input Register=4|}",
                 "Medidor 1 - Endereço Inicial: 4660", "Medidor 1 - Número de Registros: 125"}},
    };
    // clang-format on
    for (const auto& [modelo, antes, esperado] : casos) {
        Pagina p(modelo, antes);
        const Rotulos linhas = p.Linhas();
        const size_t inicio = modelo == 28 || modelo == 19 ? 4 : 0;
        ASSERT_GE(linhas.size(), inicio + esperado.size()) << "modelo " << modelo;
        EXPECT_EQ(Rotulos(linhas.begin() + inicio, linhas.begin() + inicio + esperado.size()),
                  esperado)
            << "modelo " << modelo;
        EXPECT_EQ(MostraCabecalhoParametros(p.eq), modelo != 25);
    }
}

TEST(ParametrosAplicar, CadaTipoDeLinha) {
    Pagina p(23);
    std::string erro;
    // Checks take 0 or 1 only; labels are found without regard to case.
    EXPECT_TRUE(AplicarParametro(p.linhas, "alterar mac?", "1", erro));
    EXPECT_FALSE(AplicarParametro(p.linhas, "Alterar MAC?", "sim", erro));
    EXPECT_EQ(erro, "\"Alterar MAC?\" aceita 0 ou 1");
    EXPECT_TRUE(p.linhas.GetCheck("Alterar MAC?"));
    // Choices: the entry text without regard to case, or the entry's code; a
    // repeated code picks its first entry.
    EXPECT_TRUE(AplicarParametro(p.linhas, "Velocidade", "38", erro));
    EXPECT_EQ(p.linhas.GetText("Velocidade"), "38400");
    const char* operadora = "Operadora de Celular (Telemetria)";
    EXPECT_TRUE(AplicarParametro(p.linhas, operadora, "5 - PERU - ENTEL (ENTEL.PE)", erro));
    EXPECT_EQ(p.linhas.GetNumber(operadora), 5);
    EXPECT_TRUE(AplicarParametro(p.linhas, operadora, "6", erro));
    EXPECT_EQ(p.linhas.GetText(operadora), "6 - Brasil - VODAFONE IOT4U(iot4u.vodafone.com)");
    EXPECT_FALSE(AplicarParametro(p.linhas, "Velocidade", "19200", erro));
    EXPECT_EQ(erro, "\"19200\" não é uma opção de \"Velocidade\":\n  9600 (96)\n  38400 (38)");
    // Address boxes hold four numbers of 0 to 255, written without leading zeros.
    EXPECT_TRUE(AplicarParametro(p.linhas, "IP", "010.000.000.020", erro));
    EXPECT_EQ(p.linhas.GetText("IP"), "10.0.0.20");
    for (const char* ruim : {"300.1.1.1", "10.0.0", "10.0.0.1.2", " 1.2.3.4"}) {
        EXPECT_FALSE(AplicarParametro(p.linhas, "IP", ruim, erro)) << ruim;
    }
    EXPECT_TRUE(AplicarParametro(p.linhas, "Gateway", "", erro));
    // Masked rows take the text through the mask.
    EXPECT_TRUE(AplicarParametro(p.linhas, "MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:01:02:0", erro));
    EXPECT_EQ(p.linhas.GetText("MAC (xx:xx:xx:xx:xx:xx)"), "02:B4:6D:01:02:0_");
    EXPECT_FALSE(AplicarParametro(p.linhas, "Telemetria - URL", "x", erro));
    EXPECT_EQ(erro, "\"Telemetria - URL\" é um título de grupo, não um parâmetro");
    EXPECT_FALSE(AplicarParametro(p.linhas, "Máscara ", "255.0.0.0", erro));
    EXPECT_EQ(erro, "Parâmetro desconhecido para este modelo: \"Máscara \"");
}

Aviso Info(const std::string& t, const std::string& rotulo) {
    return {TipoAviso::Informacao, t, rotulo};
}

// Next refuses or warns about the row it names. An address that would take
// the device off the network never goes: family 1 sends the texts as they
// are, family 21 has only the IP row and checks it only when it is to change.
TEST(ParametrosConfirmar, RecusasEAvisosNosLimites) {
    const Valores tx940{{"Função Gateway Universal", "Gateway TX940"},
                        {"IP do Gateway RX", "10.0.0.5"}};
    const Valores rtu{{"Alterar RTU e Velocidade?", "1"}};
    const Valores mac{{"Alterar MAC?", "1"}};
    const std::string id = "ID (Telemetria 12 caracteres)";
    const Valores alterarId{{"Alterar Operadora e ID de Telemetria?", "1"}};
    const std::string tempo = "Tempo de Reconexão (1 ~ 240 min)";
    const Valores reconexao{{"Alterar Tempo de Reconexão", "1"}};
    const Valores medidor{{"Medidor 1 - IP", "10.0.0.5"},
                          {"Medidor 1 - RTU", "7"},
                          {"Medidor 1 - Função", "(3) Read Holding"}};
    const std::string registros = "Medidor 1 - Número de Registros";
    const Aviso zero = Erro("Medidor 1 - Número de Registros inválido (0)", registros);
    const Aviso ip = Erro("IP inválido", "IP");
    const Aviso mascara = Erro("Máscara inválida", "Máscara");
    // clang-format off
    const std::vector<std::tuple<uint32_t, Valores, bool, Avisos>> casos{
        {3, {{"IP", ""}}, false, {ip}},
        {3, {{"IP", "0.0.0.0"}}, false, {ip}},
        {3, {{"Máscara", ""}}, false, {mascara}},
        {3, {{"Gateway", "0.0.0.0"}}, true, {}},
        {8, {{"IP", "0.0.0.0"}}, false, {ip}},
        {19, {{"Máscara", ""}}, false, {mascara}},
        {30, {{"IP", ""}}, true, {}},
        {30, {{"Alterar IP?", "1"}, {"IP", ""}}, false, {ip}},
        {27, {{"Função Gateway Universal", "85"}}, false, {Erro("IP do Gateway RX inválido", "IP do Gateway RX")}},
        {27, tx940, false, {Erro("RTU do TVX940", "RTU do TVX940")}},
        {1, tx940 + Valores{{"RTU do TVX940", "256"}}, false, {Erro("RTU do TVX940 inválido (0 a 255)", "RTU do TVX940")}},
        {1, tx940 + Valores{{"RTU do TVX940", "1"}}, true, {}},
        {6, mac + Valores{{"MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:01:02:0"}}, false,
         {Erro("MAC inválido", "MAC (xx:xx:xx:xx:xx:xx)")}},
        {23, rtu + Valores{{"RTU", "0"}}, false, {Erro("RTU não pode ser 0", "RTU")}},
        {23, rtu + Valores{{"RTU", "256"}}, false, {Erro("RTU inválido (0 a 255)", "RTU")}},
        {23, rtu + Valores{{"RTU", "255"}}, true, {}},
        {5, alterarId + Valores{{id, "12345678901"}}, false, {Erro("Tamanho do ID de Telemetria diferente de 12", id)}},
        {5, alterarId + Valores{{id, "1234567890123"}}, false, {Erro("Tamanho do ID de Telemetria diferente de 12", id)}},
        {5, alterarId + Valores{{id, "123456789012"}}, true, {}},
        {24, {{"Alterar URL?", "1"}}, true, {Info("A Telemetria será desabilitada!", "URL (Telemetria)")}},
        {25, reconexao + Valores{{tempo, "0"}}, false, {Info("O tempo de reconexão deve ser de 1 a 240min!", tempo)}},
        {25, reconexao + Valores{{tempo, "241"}}, false, {Info("O tempo de reconexão deve ser de 1 a 240min!", tempo)}},
        {25, reconexao + Valores{{tempo, "240"}}, true, {}},
        {25, {{"Programar Medição", "1"}, {"RTU Medidor ION", "300"}}, false,
         {Erro("RTU Medidor ION inválido (0 a 255)", "RTU Medidor ION")}},
        // The Modbus meters: a meter at IP 0 is not checked at all.
        {19, {{"Medidor 1 - Função", ""}}, true, {}},
        {19, {{"Medidor 1 - IP", "10.0.0.5"}}, false, {Erro("Medidor 1 - RTU inválido", "Medidor 1 - RTU")}},
        {19, medidor + Valores{{"Medidor 1 - Função", ""}, {registros, "9"}}, false,
         {Erro("Medidor 1 - Função inválida", "Medidor 1 - Função")}},
        {19, medidor, false, {zero}},
        {19, medidor + Valores{{registros, "-5"}}, false, {zero}},
        {19, medidor + Valores{{registros, "126"}}, false, {Erro("Medidor 1 - Número de Registros inválido (maior que 125)", registros)}},
        {19, medidor + Valores{{registros, "125"}}, true, {}},
        {19, {{"Medidor 3 - IP", "10.0.0.7"}, {"Medidor 3 - RTU", "2"}, {"Medidor 3 - Função", "4"},
              {"Medidor 3 - Número de Registros", "1"}, {"Medidor 3 - Endereço Inicial", "70000"}},
         false, {Erro("Medidor 3 - Endereço Inicial inválido (0 a 65535)", "Medidor 3 - Endereço Inicial")}},
    };
    // clang-format on
    for (size_t i = 0; i < casos.size(); ++i) {
        const auto& [modelo, valores, aceito, avisos] = casos[i];
        Pagina p(modelo);
        EXPECT_EQ(p.Confirmar(valores), aceito) << "caso " << i;
        EXPECT_EQ(p.avisos.vistos, avisos) << "caso " << i;
    }
}

std::vector<uint8_t> Bytes(const uint8_t* r, size_t inicio, size_t fim) {
    return std::vector<uint8_t>(r + inicio, r + fim);
}

TEST(ParametrosConfirmar, EnderecosPorFamilia) {
    Pagina p(3);
    p.eq.infoModelo.alterarIp = 1;
    EXPECT_TRUE(p.Confirmar({{"IP", "10.0.0.5"}, {"Máscara", "255.255.0.0"}, {"Gateway", ""}}));
    EXPECT_EQ(p.eq.GetIpNovo() + " " + p.eq.GetMascaraNova() + " " + p.eq.GetGatewayNovo(),
              "10.0.0.5 255.255.0.0 ");
    EXPECT_EQ(p.eq.infoModelo.alterarIp, 0);  // only family 21 has the check row
    // Family 21 has no mask or gateway rows: both end up empty.
    Pagina k42(30);
    EXPECT_TRUE(k42.Confirmar({{"Alterar IP?", "1"}, {"IP", "10.1.2.3"}}));
    EXPECT_EQ(k42.eq.infoModelo.alterarIp, 1);
    EXPECT_EQ(k42.eq.GetIpNovo() + "|" + k42.eq.GetMascaraNova() + "|" + k42.eq.GetGatewayNovo(),
              "10.1.2.3||");
    // Family 0: the addresses are not this model's, not even an empty one,
    // and stay as they were.
    Pagina web(25, [](cEquipamento& e) { e.SetIpNovo(""); });
    EXPECT_TRUE(web.Confirmar());
    EXPECT_EQ(web.eq.GetIpNovo() + "|" + web.eq.GetMascaraNova() + "|" + web.eq.GetGatewayNovo(),
              "|255.255.255.0|10.0.0.1");
}

TEST(ParametrosConfirmar, RegistrosDosGatewaysEDaTelemetria) {
    Pagina u(1);
    EXPECT_TRUE(u.Confirmar({{"Função Gateway Universal", "33"},
                             {"IP do Gateway RX", "192.168.0.300"},  // counts as 255
                             {"RTU do ION Principal", "3"},
                             {"RTU do ION Retaguarda", "4"}}));
    EXPECT_EQ(Bytes(u.eq.registroGatewayUniversal.data(), 12, 20),
              (std::vector<uint8_t>{192, 168, 0, 255, 3, 4, 0, 0x21}));
    EXPECT_TRUE(
        u.Confirmar({{"Função Gateway Universal", "Gateway Modbus"}, {"Velocidade", "19200"}}));
    EXPECT_EQ(Bytes(u.eq.registroGatewayUniversal.data(), 18, 20), (std::vector<uint8_t>{4, 0xAA}));
    Pagina tx(21);
    EXPECT_TRUE(tx.Confirmar({{"Faixa de RTU", "RTU16 à RTU20"}, {"TVX940 5 - IP", "10.0.0.9"}}));
    EXPECT_EQ(Bytes(tx.eq.registroGatewayTx.data(), 28, 33),
              (std::vector<uint8_t>{10, 0, 0, 9, 3}));
    Pagina m(19);
    EXPECT_TRUE(m.Confirmar({{"Medidor 1 - IP", "10.0.0.5"},
                             {"Medidor 1 - RTU", "7"},
                             {"Medidor 1 - Função", "(3) Read Holding"},
                             {"Velocidade", "38400"},
                             {"Medidor 1 - Número de Registros", "125"},
                             {"Medidor 1 - Endereço Inicial", "4660"}}));
    EXPECT_EQ(Bytes(m.eq.registroGatewayModbus.data(), 12, 16),
              (std::vector<uint8_t>{10, 0, 0, 5}));
    const uint8_t* r = m.eq.registroGatewayModbus.data();
    EXPECT_EQ((std::vector<int>{r[32], r[37], r[42], r[43], r[52], r[59]}),
              (std::vector<int>{7, 3, 0x34, 0x12, 125, 5}));  // start register low byte first
    EXPECT_EQ(m.eq.infoModelo.passos[0].marcado, 1);          // the table has no tick of its own

    // The telemetry records are cleared before the values go in; what was
    // read before a refusal stays.
    Pagina p(24);
    p.eq.registroTelemetria.fill(0xEE);
    p.eq.registroUrl.fill(0xEE);
    const std::string k25 = "1234567890123456789012345";
    EXPECT_FALSE(p.Confirmar({{"Alterar RTU e Velocidade?", "1"},
                              {"RTU", "17"},
                              {"Alterar Operadora e ID de Telemetria?", "1"},
                              {"Operadora de Celular (Telemetria)", "5 - Peru - Entel (entel.pe)"},
                              {"ID (Telemetria 12 caracteres)", k25},
                              {"Alterar URL?", "1"},
                              {"URL (Telemetria)", std::string(90, 'u')}}));
    // A blank rate entry carries 0: the row shows 38400 for it, and that goes.
    EXPECT_EQ(Bytes(p.eq.registroRtuVelocidade.data(), 8, 10), (std::vector<uint8_t>{17, 38}));
    const uint8_t* t = p.eq.registroTelemetria.data();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(t + 9)), k25.substr(0, 20));
    EXPECT_EQ(Bytes(t, 0, 9), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 5}));
    EXPECT_EQ(p.eq.registroUrl[0], 0xEE);  // the URL slot was not reached
    // 81 characters fill the URL field without a terminator; Latin-1 in records.
    EXPECT_TRUE(p.Confirmar({{"ID (Telemetria 12 caracteres)", "ação12345678"}}));
    EXPECT_EQ(Bytes(t, 9, 14), (std::vector<uint8_t>{'a', 0xE7, 0xE3, 'o', '1'}));
    const uint8_t* u8 = p.eq.registroUrl.data();
    EXPECT_EQ(std::string(u8 + 8, u8 + 89), std::string(81, 'u'));
    EXPECT_EQ(Bytes(u8, 0, 8), std::vector<uint8_t>(8, 0));
}

TEST(ParametrosConfirmar, TempoMedicaoOpcoesEntradasESaidas) {
    Pagina p(25);
    p.eq.registroReconexao.fill(0xEE);
    EXPECT_TRUE(p.Confirmar({{"Alterar Tempo de Reconexão", "1"},
                             {"Tempo de Reconexão (1 ~ 240 min)", "240"},
                             {"Tipo de Medidor", "ION (RS485)"},
                             {"RTU Medidor ION", "9"}}));
    EXPECT_EQ(p.eq.registroReconexao, (std::array<uint8_t, 9>{0, 0, 0, 0, 0, 0, 0, 0, 240}));
    // The meter is read whether its group is ticked or not; an unticked
    // group is not read.
    EXPECT_EQ(p.eq.medidorIon * 100 + p.eq.rtuMedidorIon, 109);
    EXPECT_TRUE(p.Confirmar(
        {{"Alterar Tempo de Reconexão", "0"}, {"Tempo de Reconexão (1 ~ 240 min)", "999"}}));
    EXPECT_EQ(p.eq.registroReconexao[8], 240);

    // Model 16: the group's tick becomes the tick of its three options, read
    // in the order ID, MAC, SMS; the masked ID keeps twelve positions.
    Pagina g(16);
    EXPECT_FALSE(g.Confirmar({{"Alterar Parametros Avançados?", "1"},
                              {"ID (Telemetria 12 caracteres)", "12345678901"},
                              {"MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:AA:BB:C"}}));
    EXPECT_EQ(g.avisos.vistos, Avisos{Erro("Tamanho do ID de Telemetria diferente de 12",
                                           "ID (Telemetria 12 caracteres)")});
    EXPECT_EQ(g.eq.infoModelo.opcoes[2].valor, "12345678901_");
    EXPECT_EQ(g.eq.infoModelo.opcoes[0].valor, "");
    EXPECT_FALSE(g.Confirmar({{"ID (Telemetria 12 caracteres)", "123456789012"}}));
    EXPECT_EQ(g.avisos.vistos, Avisos{Erro("MAC inválido", "MAC (xx:xx:xx:xx:xx:xx)")});
    EXPECT_TRUE(g.Confirmar({{"MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:AA:BB:CC"},
                             {"Celular SMS (Alarme de Conexão)", "+55 11 99999-0000"}}));
    EXPECT_TRUE(g.eq.AlterarIdTelemetria() && g.eq.AlterarMac() && g.eq.AlterarCelularSms());
    EXPECT_EQ(g.eq.infoModelo.opcoes[1].valor, "+55 11 99999-0000");
    // Unticked: the options are neither read nor checked.
    EXPECT_TRUE(
        g.Confirmar({{"Alterar Parametros Avançados?", "0"}, {"MAC (xx:xx:xx:xx:xx:xx)", ""}}));
    EXPECT_FALSE(g.eq.AlterarMac());
    EXPECT_EQ(g.eq.infoModelo.opcoes[0].valor, "02:B4:6D:AA:BB:CC");

    Pagina k42(30, [](cEquipamento& e) { e.entradasDigitais = 0; });
    const Valores escolhas{
        {"Entrada 3", "(1) Ativa em 1"}, {"Saída 1", "(0) Monoestável"}, {"Saída 4", "1"}};
    EXPECT_TRUE(k42.Confirmar(escolhas));  // not ticked: the words stay
    EXPECT_EQ(k42.eq.entradasDigitais, 0);
    EXPECT_EQ(k42.eq.saidasDigitais, 3);
    EXPECT_TRUE(k42.Confirmar({{"Enviar Programação de Entrada Digital", "1"},
                               {"Enviar Programação de Saída Digital", "1"}}));
    EXPECT_EQ(k42.eq.entradasDigitais, 0x0004);
    EXPECT_EQ(k42.eq.saidasDigitais, 0x000A);
}

// What a configuration file hands the page must not reach the device behind
// the technician's back: control bytes and characters the Latin-1 records
// cannot hold are refused on Next (and saved back as the file held them), and
// a drop-down that shows blank does not send the code the file held.
TEST(ParametrosDoArquivo, OQueOArquivoMandaAoEquipamento) {
    struct Caso {
        std::string perfil;  // Windows-1252; its last line is the key at stake
        const char* marca;   // the step's tick
        const char* recusa;  // "" when Next goes through
    } casos[] = {
        {"modelo=23\r\nip=10.0.0.5\r\n[ESPECIAL]\r\nurl=a\x1B[2J\x7F", "Alterar URL?",
         "URL (Telemetria) contém um caractere de controle (\\x1B)"},
        {"modelo=23\r\nip=10.0.0.5\r\n[ESPECIAL]\r\nid=12345678901\x80",
         "Alterar Operadora e ID de Telemetria?",
         "ID (Telemetria 12 caracteres) contém \"€\", que o equipamento não aceita"},
        {"modelo=3\r\nip=10.0.0.1\x01", nullptr, "IP contém um caractere de controle (\\x01)"},
        // The row shows blank: the range the row shows for nothing stored goes.
        {"modelo=21\r\nip=10.0.0.5\r\n[LINKORA_940_5]\r\nfaixartu=9", nullptr, ""},
    };
    const std::string ini = std::filesystem::temp_directory_path() / "tvx-parametros-arquivo.ini";
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.perfil);
        std::ofstream(ini, std::ios::binary) << "[CONFIG]\r\nmask=255.0.0.0\r\n"
                                             << c.perfil << "\r\n";
        cEquipamento eq;
        eq.caminhoConfiguracao = ini;
        ASSERT_TRUE(eq.Configuracao(false) && eq.CarregaInfoModelo());
        cPropertyRows linhas;
        ConstruirParametros(eq, linhas);
        std::string erro;
        ASSERT_TRUE(c.marca == nullptr || AplicarParametro(linhas, c.marca, "1", erro));
        AvisosGravados avisos;
        EXPECT_EQ(ConfirmarParametros(eq, linhas, avisos), *c.recusa == '\0');
        EXPECT_EQ(avisos.vistos.empty() ? "" : std::get<1>(avisos.vistos[0]), c.recusa);
        EXPECT_EQ(eq.registroGatewayTx[kGtFaixaRtu], 0);
        ASSERT_TRUE(eq.Configuracao(true));
        std::ifstream arquivo(ini, std::ios::binary);
        const std::string depois{std::istreambuf_iterator<char>(arquivo), {}};
        const std::string chave = c.perfil.substr(c.perfil.rfind('\n') + 1) + "\r\n";
        EXPECT_EQ(depois.find(chave) != std::string::npos, *c.recusa != '\0') << depois;
    }
    std::filesystem::remove(ini);
}

}  // namespace
}  // namespace tvx
