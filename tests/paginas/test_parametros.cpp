// The rows of the parameters page for every kind of model, and the edits by
// label that the headless front end makes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "paginas/parametros.h"

namespace tvx {
namespace {

// One line per row: "[group]", "[x] check", "label: value" followed by what
// kind of editor the row has.
std::string Descrever(const cPropertyItem& l) {
    switch (l.editor) {
        case kEditorGrupo:
            return "[" + l.name + "]";
        case kEditorCheck:
            return std::string(l.data ? "[x] " : "[ ] ") + l.name;
        case kEditorIp:
            return l.name + ": " + l.value + " (ip)";
        case kEditorLista: {
            std::string s = l.name + ": " + l.value + " {";
            for (const EntradaEscolha& e : EntradasEscolha(l)) {
                s += e.texto + "=" + std::to_string(e.valor) + "|";
            }
            return s + "}";
        }
        default:
            if (l.kind == kTipoIpTexto) {
                return l.name + ": " + l.value + " (ip-texto)";
            }
            if (l.kind == kTipoMascara) {
                return l.name + ": " + l.value + " <" + l.mask + ">";
            }
            return l.name + ": " + l.value;
    }
}

std::vector<std::string> Linhas(const cPropertyRows& linhas) {
    std::vector<std::string> d;
    for (const cPropertyItem& l : linhas.Linhas()) {
        d.push_back(Descrever(l));
    }
    return d;
}

using Rotulos = std::vector<std::string>;

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Pagina {
    explicit Pagina(uint32_t modelo) {
        eq.SetModelo(modelo);
        EXPECT_TRUE(eq.CarregaInfoModelo());
        eq.SetIpNovo("10.0.0.5");
        eq.SetMascaraNova("255.255.255.0");
        eq.SetGatewayNovo("10.0.0.1");
        linhas.aoEscolher = [this](const cPropertyItem& l) { EscolhaParametro(eq, linhas, l); };
    }
    std::vector<std::string> Construir() {
        ConstruirParametros(eq, linhas);
        return Linhas(linhas);
    }
    cEquipamento eq;
    cPropertyRows linhas;
};

const std::vector<std::string> kEnderecos{"[Configuração de IP, Máscara e Gateway]",
                                          "IP: 10.0.0.5 (ip)", "Máscara: 255.255.255.0 (ip)",
                                          "Gateway: 10.0.0.1 (ip)"};
const std::vector<std::string> kGrupoMac{"[MAC - Avançado]", "[ ] Alterar MAC?",
                                         "MAC (xx:xx:xx:xx:xx:xx):  <02:B4:6D:**:**:**>"};
const std::string kVelocidadesGateway = "{1200=0|2400=1|4800=2|9600=3|19200=4|38400=5|115200=6|}";
const std::string kOperadoras =
    "{0 - Brasil - VIVO (zap.vivo.com.br)=0|1 - Brasil - TIM=1|2 - Brasil - CLARO=2|"
    "3 - Brasil - OI=3|4 - Brasil - VIVO2 (smart.m2m.vivo.com.br)=4|"
    "5 - Brasil - VODAFONE (m2m.vodafone.com.br)=5|"
    "6 - Brasil - VODAFONE IOT4U(iot4u.vodafone.com)=6|5 - Peru - Entel (entel.pe)=5|"
    "6 - Peru - Claro (claro.pe)=6|7 - Peru - Movistar (movistar.pe)=7|AUTO (255)=255|}";

TEST(ParametrosLinhas, SoEnderecosNasFamilias1e10) {
    for (uint32_t modelo : {2u, 3u, 4u, 8u, 9u, 14u, 15u, 18u, 20u, 29u, 31u, 33u}) {
        Pagina p(modelo);
        EXPECT_EQ(p.Construir(), kEnderecos) << "modelo " << modelo;
        EXPECT_TRUE(MostraCabecalhoParametros(p.eq));
    }
    for (uint32_t modelo : {6u, 7u, 17u, 22u, 26u, 34u}) {
        Pagina p(modelo);
        EXPECT_EQ(p.Construir(), kEnderecos + kGrupoMac) << "modelo " << modelo;
    }
}

TEST(ParametrosLinhas, GatewayUniversalPorFuncao) {
    const std::string funcoes =
        "{Gateway PC=255|Gateway RX=51|Gateway TX940=85|Gateway TX ION=33|Gateway Modbus=170|}";
    struct Caso {
        uint8_t codigo;
        std::vector<std::string> linhas;
    };
    const std::vector<Caso> casos{
        {0, {"Função Gateway Universal:  " + funcoes}},
        {255, {"Função Gateway Universal: Gateway PC " + funcoes}},
        {51, {"Função Gateway Universal: Gateway RX " + funcoes}},
        {85,
         {"Função Gateway Universal: Gateway TX940 " + funcoes,
          "IP do Gateway RX: 192.168.0.7 (ip-texto)", "RTU do TVX940: 9"}},
        {33,
         {"Função Gateway Universal: Gateway TX ION " + funcoes,
          "IP do Gateway RX: 192.168.0.7 (ip-texto)", "RTU do ION Principal: 9",
          "RTU do ION Retaguarda: 10"}},
        {170,
         {"Função Gateway Universal: Gateway Modbus " + funcoes,
          "Velocidade: 115200 " + kVelocidadesGateway}},
    };
    for (uint32_t modelo : {1u, 27u}) {
        for (const Caso& c : casos) {
            Pagina p(modelo);
            uint8_t* r = p.eq.registroGatewayUniversal.data();
            r[12] = 192, r[13] = 168, r[14] = 0, r[15] = 7;
            r[16] = 9, r[17] = 10, r[18] = 6, r[19] = c.codigo;
            EXPECT_EQ(p.Construir(), kEnderecos + c.linhas + kGrupoMac)
                << "modelo " << modelo << " função " << int(c.codigo);
        }
    }
}

TEST(ParametrosLinhas, TrocaDeFuncaoGuardaOCodigoEReconstroi) {
    Pagina p(1);
    p.Construir();
    EXPECT_FALSE(p.linhas.Procurar("IP do Gateway RX"));
    std::string erro;
    ASSERT_TRUE(AplicarParametro(p.linhas, "Função Gateway Universal", "Gateway TX940", erro));
    EXPECT_EQ(p.eq.registroGatewayUniversal[19], 85);
    EXPECT_TRUE(p.linhas.Procurar("IP do Gateway RX"));
    EXPECT_TRUE(p.linhas.Procurar("RTU do TVX940"));
}

TEST(ParametrosLinhas, TabelaModbusDaFamilia15) {
    Pagina p(19);
    uint8_t* r = p.eq.registroGatewayModbus.data();
    r[12] = 10, r[15] = 5;       // meter 1 at 10.0.0.5
    r[32] = 7, r[37] = 4;        // RTU 7, function 4
    r[42] = 0x34, r[43] = 0x12;  // start register 0x1234, low byte first
    r[52] = 125, r[59] = 3;
    std::vector<std::string> esperado =
        kEnderecos + Rotulos{"Velocidade: 9600 " + kVelocidadesGateway};
    const std::string funcoes = "{(3) Read Holding=3|(4) Read Input Register=4|}";
    for (int n = 1; n <= 5; ++n) {
        const std::string m = "Medidor " + std::to_string(n);
        const bool primeiro = n == 1;
        esperado =
            esperado +
            Rotulos{"[" + m + "]",
                    m + " - IP: " + (primeiro ? "10.0.0.5" : "0.0.0.0") + " (ip-texto)",
                    m + " - RTU: " + (primeiro ? "7" : "0"),
                    m + " - Função: " + (primeiro ? "(4) Read Input Register " : " ") + funcoes,
                    m + " - Endereço Inicial: " + (primeiro ? "4660" : "0"),
                    m + " - Número de Registros: " + (primeiro ? "125" : "0")};
    }
    EXPECT_EQ(p.Construir(), esperado);
    EXPECT_EQ(p.eq.infoModelo.passos[0].id, 15);
}

TEST(ParametrosLinhas, TabelaDeCincoGateways) {
    const std::vector<std::string> tabela{
        "[Configuração IP dos Gateways TVX940]",
        "Faixa de RTU: RTU06 à RTU10 {RTU01 à RTU05=0|RTU06 à RTU10=1|RTU11 à RTU15=2|"
        "RTU16 à RTU20=3|}",
        "TVX940 1 - IP: 0.0.0.0 (ip-texto)",
        "TVX940 2 - IP: 10.1.2.3 (ip-texto)",
        "TVX940 3 - IP: 0.0.0.0 (ip-texto)",
        "TVX940 4 - IP: 0.0.0.0 (ip-texto)",
        "TVX940 5 - IP: 0.0.0.0 (ip-texto)"};
    for (uint32_t modelo : {21u, 28u}) {
        Pagina p(modelo);
        uint8_t* r = p.eq.registroGatewayTx.data();
        r[16] = 10, r[17] = 1, r[18] = 2, r[19] = 3, r[32] = 1;
        EXPECT_EQ(p.Construir(), kEnderecos + tabela + (modelo == 28 ? kGrupoMac : Rotulos{}))
            << "modelo " << modelo;
    }
}

const std::vector<std::string> kTelemetria{
    "[Telemetria - Operadora e ID]", "[ ] Alterar Operadora e ID de Telemetria?",
    "Operadora de Celular (Telemetria): 0 - Brasil - VIVO (zap.vivo.com.br) " + kOperadoras,
    "ID (Telemetria 12 caracteres): "};
const std::vector<std::string> kUrl{"[Telemetria - URL]", "[ ] Alterar URL?", "URL (Telemetria): "};

TEST(ParametrosLinhas, TelemetriaDos23e24) {
    const std::vector<std::string> rtu{"[RTU e Velocidade]", "[ ] Alterar RTU e Velocidade?",
                                       "Velocidade: 38400 {9600=96|38400=38|}", "RTU: 1"};
    for (uint32_t modelo : {23u, 24u}) {
        Pagina p(modelo);
        EXPECT_EQ(p.Construir(), kEnderecos + rtu + kTelemetria + kGrupoMac + kUrl);
    }
    // Stored values show; ticks show in the check rows.
    Pagina p(23);
    p.eq.registroRtuVelocidade[8] = 17;
    p.eq.registroRtuVelocidade[9] = 96;
    p.eq.registroTelemetria[8] = 3;
    const std::string id = "012345678901";
    std::copy(id.begin(), id.end(), p.eq.registroTelemetria.begin() + 9);
    const std::string url = "telemetria.exemplo.com.br:5000";
    std::copy(url.begin(), url.end(), p.eq.registroUrl.begin() + 8);
    p.eq.infoModelo.passos[0].marcado = 1;
    p.eq.infoModelo.opcoes[0].valor = "02:B4:6D:0A:0B:0C";
    const std::vector<std::string> d = p.Construir();
    EXPECT_EQ(d[5], "[x] Alterar RTU e Velocidade?");
    EXPECT_EQ(d[6], "Velocidade: 9600 {9600=96|38400=38|}");
    EXPECT_EQ(d[7], "RTU: 17");
    EXPECT_EQ(d[10].rfind("Operadora de Celular (Telemetria): 3 - Brasil - OI {", 0), 0u);
    EXPECT_EQ(d[11], "ID (Telemetria 12 caracteres): 012345678901");
    EXPECT_EQ(d[14], "MAC (xx:xx:xx:xx:xx:xx): 02:B4:6D:0A:0B:0C <02:B4:6D:**:**:**>");
    EXPECT_EQ(d[17], "URL (Telemetria): telemetria.exemplo.com.br:5000");
}

TEST(ParametrosLinhas, OperadoraDeCodigoRepetidoMostraAPrimeira) {
    Pagina p(5);
    const std::vector<std::pair<uint8_t, std::string>> casos{
        {5, "5 - Brasil - VODAFONE (m2m.vodafone.com.br)"},
        {6, "6 - Brasil - VODAFONE IOT4U(iot4u.vodafone.com)"},
        {7, "7 - Peru - Movistar (movistar.pe)"},
        {255, "AUTO (255)"},
        {8, ""}};
    for (const auto& [codigo, texto] : casos) {
        p.eq.registroTelemetria[8] = codigo;
        p.Construir();
        EXPECT_EQ(p.linhas.GetText("Operadora de Celular (Telemetria)"), texto);
        EXPECT_EQ(p.linhas.GetNumber("Operadora de Celular (Telemetria)"), codigo);
    }
}

TEST(ParametrosLinhas, Modelo25SemEnderecosESeisGrupos) {
    Pagina p(25);
    p.eq.registroReconexao[8] = 30;
    p.eq.medidorIon = 1;
    p.eq.rtuMedidorIon = 7;
    const Rotulos esperado =
        kTelemetria + kUrl +
        Rotulos{"[Tempo de Reconexão]",
                "[ ] Alterar Tempo de Reconexão",
                "Tempo de Reconexão (1 ~ 240 min): 30",
                "[Programação de Relógio (Enviar Relógio do Computador) ]",
                "[ ] Alterar Relógio do Equipamento",
                "[Memória de Massa]",
                "[ ] Reset da Memória de Massa",
                "[Medição]",
                "[ ] Programar Medição",
                "Tipo de Medidor: ION (RS485) {REP (ABNT/CODI)=0|ION (RS485)=1|}",
                "RTU Medidor ION: 7"};
    EXPECT_EQ(p.Construir(), esperado);
    EXPECT_FALSE(MostraCabecalhoParametros(p.eq));
}

TEST(ParametrosLinhas, Modelo30AlterarIpEEntradasESaidas) {
    Pagina p(30);
    p.eq.infoModelo.alterarIp = 1;
    p.eq.entradasDigitais = 0xFFFE;
    std::vector<std::string> esperado{"[Configuração de IP, Máscara e Gateway]", "[x] Alterar IP?",
                                      "IP: 10.0.0.5 (ip)", "[Entradas Digitais]",
                                      "[ ] Enviar Programação de Entrada Digital"};
    for (int n = 1; n <= 16; ++n) {
        esperado.push_back("Entrada " + std::to_string(n) + ": " +
                           (n == 1 ? "(0) Ativa em 0" : "(1) Ativa em 1") +
                           " {(0) Ativa em 0=0|(1) Ativa em 1=1|}");
    }
    esperado.push_back("[Saídas Digitais]");
    esperado.push_back("[ ] Enviar Programação de Saída Digital");
    for (int n = 1; n <= 4; ++n) {  // the default word 3: outputs 1 and 2 bistable
        esperado.push_back("Saída " + std::to_string(n) + ": " +
                           (n <= 2 ? "(1) Biestável" : "(0) Monoestável") +
                           " {(0) Monoestável=0|(1) Biestável=1|}");
    }
    EXPECT_EQ(p.Construir(), esperado);
}

TEST(ParametrosLinhas, GrupoAvancadoEOpcoes) {
    Pagina p5(5);
    EXPECT_EQ(p5.Construir(), kEnderecos + kTelemetria);

    Pagina p16(16);
    p16.eq.infoModelo.opcoes[2].valor = "123456789012";
    p16.eq.infoModelo.opcoes[1].valor = "+55 11 99999-0000";
    p16.eq.infoModelo.passos[0].marcado = 1;
    const Rotulos avancado =
        kEnderecos + Rotulos{"[Avançado]", "[x] Alterar Parametros Avançados?",
                             "ID (Telemetria 12 caracteres): 123456789012 <############>",
                             "MAC (xx:xx:xx:xx:xx:xx):  <02:B4:6D:**:**:**>",
                             "Celular SMS (Alarme de Conexão): +55 11 99999-0000"};
    EXPECT_EQ(p16.Construir(), avancado);
    // The group's tick is the tick of the three options.
    for (const OpcaoModelo& o : p16.eq.infoModelo.opcoes) {
        EXPECT_EQ(o.marcada, o.oferecida ? 1 : 0);
    }

    Pagina p32(32);
    const Rotulos mac = kEnderecos + Rotulos{"[Avançado]", "[ ] Alterar Parametros Avançados?",
                                             "MAC (xx:xx:xx:xx:xx:xx):  <02:B4:6D:**:**:**>"};
    EXPECT_EQ(p32.Construir(), mac);
}

TEST(ParametrosAplicar, CadaTipoDeLinha) {
    Pagina p(23);
    p.Construir();
    std::string erro;
    // Checks take 0 or 1 only.
    EXPECT_TRUE(AplicarParametro(p.linhas, "alterar mac?", "1", erro));
    EXPECT_TRUE(p.linhas.GetCheck("Alterar MAC?"));
    EXPECT_FALSE(AplicarParametro(p.linhas, "Alterar MAC?", "sim", erro));
    EXPECT_EQ(erro, "\"Alterar MAC?\" aceita 0 ou 1");
    EXPECT_TRUE(p.linhas.GetCheck("Alterar MAC?"));

    // Choices: the entry text without regard to case, or the entry's code; a
    // repeated code picks its first entry.
    EXPECT_TRUE(AplicarParametro(p.linhas, "Velocidade", "9600", erro));
    EXPECT_EQ(p.linhas.GetNumber("Velocidade"), 96);
    EXPECT_TRUE(AplicarParametro(p.linhas, "Velocidade", "38", erro));
    EXPECT_EQ(p.linhas.GetText("Velocidade"), "38400");
    const char* operadora = "Operadora de Celular (Telemetria)";
    EXPECT_TRUE(AplicarParametro(p.linhas, operadora, "5 - PERU - ENTEL (ENTEL.PE)", erro));
    EXPECT_EQ(p.linhas.GetText(operadora), "5 - Peru - Entel (entel.pe)");
    EXPECT_EQ(p.linhas.GetNumber(operadora), 5);
    EXPECT_TRUE(AplicarParametro(p.linhas, operadora, "6", erro));
    EXPECT_EQ(p.linhas.GetText(operadora), "6 - Brasil - VODAFONE IOT4U(iot4u.vodafone.com)");
    EXPECT_FALSE(AplicarParametro(p.linhas, "Velocidade", "19200", erro));
    EXPECT_EQ(erro, "\"19200\" não é uma opção de \"Velocidade\":\n  9600 (96)\n  38400 (38)");
    EXPECT_EQ(p.linhas.GetNumber("Velocidade"), 38);

    // Address boxes hold four numbers of 0 to 255, written without leading zeros.
    EXPECT_TRUE(AplicarParametro(p.linhas, "IP", "010.000.000.020", erro));
    EXPECT_EQ(p.linhas.GetText("IP"), "10.0.0.20");
    for (const char* ruim : {"300.1.1.1", "10.0.0", "10.0.0.1.2", " 1.2.3.4"}) {
        EXPECT_FALSE(AplicarParametro(p.linhas, "IP", ruim, erro)) << ruim;
    }
    EXPECT_EQ(p.linhas.GetText("IP"), "10.0.0.20");
    EXPECT_TRUE(AplicarParametro(p.linhas, "Gateway", "", erro));
    EXPECT_EQ(p.linhas.GetText("Gateway"), "");

    // Masked rows take the text through the mask.
    EXPECT_TRUE(AplicarParametro(p.linhas, "MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:01:02:0", erro));
    EXPECT_EQ(p.linhas.GetText("MAC (xx:xx:xx:xx:xx:xx)"), "02:B4:6D:01:02:0_");

    EXPECT_FALSE(AplicarParametro(p.linhas, "Telemetria - URL", "x", erro));
    EXPECT_EQ(erro, "\"Telemetria - URL\" é um título de grupo, não um parâmetro");
    EXPECT_FALSE(AplicarParametro(p.linhas, "Máscara ", "255.0.0.0", erro));
    EXPECT_EQ(erro, "Parâmetro desconhecido para este modelo: \"Máscara \"");
}

}  // namespace
}  // namespace tvx
