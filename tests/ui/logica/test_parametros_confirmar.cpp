// Next on the parameters page: what lands in the equipment object, every
// refusal at its boundary, and what stays after a refusal.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ui/logica/parametros.h"

namespace tvx {
namespace {

struct AvisosGravados : cAvisos {
    void Mostrar(TipoAviso tipo, const std::string& texto) override {
        vistos.emplace_back(tipo, texto);
    }
    bool Perguntar(const std::string&) override { return false; }
    std::vector<std::pair<TipoAviso, std::string>> vistos;
};

using Aviso = std::pair<TipoAviso, std::string>;
using Avisos = std::vector<Aviso>;

Aviso Erro(const std::string& t) {
    return {TipoAviso::Erro, t};
}
Aviso Info(const std::string& t) {
    return {TipoAviso::Informacao, t};
}

struct Pagina {
    explicit Pagina(uint32_t modelo) {
        eq.SetModelo(modelo);
        EXPECT_TRUE(eq.CarregaInfoModelo());
        linhas.aoEscolher = [this](const cPropertyItem& l) { EscolhaParametro(eq, linhas, l); };
        ConstruirParametros(eq, linhas);
    }
    void Definir(const std::string& rotulo, const std::string& valor) {
        std::string erro;
        ASSERT_TRUE(AplicarParametro(linhas, rotulo, valor, erro)) << erro;
    }
    // Next with a fresh list of notices; the rows stay as they are.
    bool Confirmar() {
        avisos.vistos.clear();
        return ConfirmarParametros(eq, linhas, avisos);
    }
    cEquipamento eq;
    cPropertyRows linhas;
    AvisosGravados avisos;
};

TEST(ParametrosConfirmar, EnderecosPorFamilia) {
    Pagina p(3);
    p.eq.infoModelo.alterarIp = 1;
    p.Definir("IP", "10.0.0.5");
    p.Definir("Máscara", "255.255.0.0");
    EXPECT_TRUE(p.Confirmar());
    EXPECT_EQ(p.eq.GetIpNovo(), "10.0.0.5");
    EXPECT_EQ(p.eq.GetMascaraNova(), "255.255.0.0");
    EXPECT_EQ(p.eq.GetGatewayNovo(), "");
    EXPECT_EQ(p.eq.infoModelo.alterarIp, 0);  // only family 21 has the check row

    // Family 21: no mask or gateway rows, so both end up empty.
    Pagina k42(30);
    k42.eq.SetMascaraNova("255.255.255.0");
    k42.eq.SetGatewayNovo("10.0.0.1");
    ConstruirParametros(k42.eq, k42.linhas);
    k42.Definir("Alterar IP?", "1");
    k42.Definir("IP", "10.1.2.3");
    EXPECT_TRUE(k42.Confirmar());
    EXPECT_EQ(k42.eq.infoModelo.alterarIp, 1);
    EXPECT_EQ(k42.eq.GetIpNovo(), "10.1.2.3");
    EXPECT_EQ(k42.eq.GetMascaraNova(), "");
    EXPECT_EQ(k42.eq.GetGatewayNovo(), "");

    // Family 0: the addresses are not this model's, and stay as they were.
    Pagina web(25);
    web.eq.SetIpNovo("10.9.9.9");
    web.eq.SetMascaraNova("255.0.0.0");
    web.eq.SetGatewayNovo("10.0.0.254");
    EXPECT_TRUE(web.Confirmar());
    EXPECT_EQ(web.eq.GetIpNovo(), "10.9.9.9");
    EXPECT_EQ(web.eq.GetMascaraNova(), "255.0.0.0");
    EXPECT_EQ(web.eq.GetGatewayNovo(), "10.0.0.254");
    EXPECT_TRUE(web.avisos.vistos.empty());
}

TEST(ParametrosConfirmar, GatewayUniversalTx940) {
    Pagina p(27);
    p.Definir("Função Gateway Universal", "Gateway TX940");
    EXPECT_FALSE(p.Confirmar());
    EXPECT_EQ(p.avisos.vistos, Avisos{Erro("IP do Gateway RX inválido")});

    p.Definir("IP do Gateway RX", "10.0.0.5");
    EXPECT_FALSE(p.Confirmar());
    EXPECT_EQ(p.avisos.vistos, Avisos{Erro("RTU do TVX940")});
    p.Definir("RTU do TVX940", "256");  // would be stored as 0
    EXPECT_FALSE(p.Confirmar());
    EXPECT_EQ(p.avisos.vistos, Avisos{Erro("RTU do TVX940 inválido (0 a 255)")});

    p.Definir("RTU do TVX940", "7");
    EXPECT_TRUE(p.Confirmar());
    const uint8_t* r = p.eq.registroGatewayUniversal.data();
    EXPECT_EQ(std::vector<uint8_t>(r + 12, r + 20),
              (std::vector<uint8_t>{10, 0, 0, 5, 7, 0, 0, 0x55}));
}

TEST(ParametrosConfirmar, GatewayUniversalIonEModbus) {
    Pagina p(1);
    p.Definir("Função Gateway Universal", "33");
    p.Definir("IP do Gateway RX", "192.168.0.300");  // a plain text row: 300 counts as 255
    p.Definir("RTU do ION Principal", "3");
    p.Definir("RTU do ION Retaguarda", "4");
    EXPECT_TRUE(p.Confirmar());
    const uint8_t* r = p.eq.registroGatewayUniversal.data();
    EXPECT_EQ(std::vector<uint8_t>(r + 12, r + 20),
              (std::vector<uint8_t>{192, 168, 0, 255, 3, 4, 0, 0x21}));

    p.Definir("Função Gateway Universal", "Gateway Modbus");
    p.Definir("Velocidade", "19200");
    EXPECT_TRUE(p.Confirmar());
    EXPECT_EQ(r[18], 4);
    EXPECT_EQ(r[19], 0xAA);
}

TEST(ParametrosConfirmar, TabelaDeCincoGateways) {
    Pagina p(21);
    p.Definir("Faixa de RTU", "RTU16 à RTU20");
    p.Definir("TVX940 5 - IP", "10.0.0.9");
    EXPECT_TRUE(p.Confirmar());
    const uint8_t* r = p.eq.registroGatewayTx.data();
    EXPECT_EQ(r[32], 3);
    EXPECT_EQ(std::vector<uint8_t>(r + 28, r + 32), (std::vector<uint8_t>{10, 0, 0, 9}));
}

TEST(ParametrosConfirmar, MedidoresModbus) {
    Pagina p(19);
    // Meters at IP 0 are stored without checks.
    EXPECT_TRUE(p.Confirmar());
    EXPECT_EQ(p.eq.infoModelo.passos[0].marcado, 1);

    p.Definir("Velocidade", "38400");
    p.Definir("Medidor 1 - IP", "10.0.0.5");
    EXPECT_FALSE(p.Confirmar());
    EXPECT_EQ(p.avisos.vistos, Avisos{Erro("Medidor 1 - RTU inválido")});
    p.Definir("Medidor 1 - RTU", "7");
    EXPECT_FALSE(p.Confirmar());
    EXPECT_EQ(p.avisos.vistos, Avisos{Erro("Medidor 1 - Função inválida")});
    p.Definir("Medidor 1 - Função", "(3) Read Holding");
    EXPECT_FALSE(p.Confirmar());
    EXPECT_EQ(p.avisos.vistos, Avisos{Erro("Medidor 1 - Número de Registros inválido (0)")});

    const std::vector<std::pair<std::string, std::string>> contagens{
        {"126", "Medidor 1 - Número de Registros inválido (maior que 125)"},
        {"300", "Medidor 1 - Número de Registros inválido (maior que 125)"},
        {"-5", "Medidor 1 - Número de Registros inválido (0)"},
        {"125", ""}};
    for (const auto& [contagem, erro] : contagens) {
        p.Definir("Medidor 1 - Número de Registros", contagem);
        EXPECT_EQ(p.Confirmar(), erro.empty()) << contagem;
        EXPECT_EQ(p.avisos.vistos, erro.empty() ? Avisos{} : Avisos{Erro(erro)}) << contagem;
    }

    p.Definir("Medidor 1 - Endereço Inicial", "4660");
    p.Definir("Medidor 3 - IP", "10.0.0.7");
    p.Definir("Medidor 3 - RTU", "2");
    p.Definir("Medidor 3 - Função", "4");
    p.Definir("Medidor 3 - Número de Registros", "0");
    EXPECT_FALSE(p.Confirmar());
    EXPECT_EQ(p.avisos.vistos, Avisos{Erro("Medidor 3 - Número de Registros inválido (0)")});
    p.Definir("Medidor 3 - Número de Registros", "1");
    p.Definir("Medidor 3 - Endereço Inicial", "70000");
    EXPECT_FALSE(p.Confirmar());
    EXPECT_EQ(p.avisos.vistos, Avisos{Erro("Medidor 3 - Endereço Inicial inválido (0 a 65535)")});
    p.Definir("Medidor 3 - Endereço Inicial", "65535");
    EXPECT_TRUE(p.Confirmar());

    const uint8_t* r = p.eq.registroGatewayModbus.data();
    EXPECT_EQ(r[59], 5);
    EXPECT_EQ(std::vector<uint8_t>(r + 12, r + 16), (std::vector<uint8_t>{10, 0, 0, 5}));
    EXPECT_EQ(r[32], 7);
    EXPECT_EQ(r[37], 3);
    EXPECT_EQ(r[42], 0x34);  // low byte first in the object
    EXPECT_EQ(r[43], 0x12);
    EXPECT_EQ(r[52], 125);
    EXPECT_EQ(r[34], 2);
    EXPECT_EQ(r[39], 4);
    EXPECT_EQ(r[46], 0xFF);
    EXPECT_EQ(r[47], 0xFF);
}

TEST(ParametrosConfirmar, MedidorSemIpEFuncaoZeroPassa) {
    Pagina p(19);
    p.Definir("Medidor 1 - Função", "");  // the editor's empty entry
    ASSERT_EQ(p.linhas.GetNumber("Medidor 1 - Função"), 0);
    EXPECT_TRUE(p.Confirmar());
    p.Definir("Medidor 1 - IP", "10.0.0.5");
    p.Definir("Medidor 1 - RTU", "1");
    p.Definir("Medidor 1 - Número de Registros", "10");
    EXPECT_FALSE(p.Confirmar());
    EXPECT_EQ(p.avisos.vistos, Avisos{Erro("Medidor 1 - Função inválida")});
}

TEST(ParametrosConfirmar, RtuEVelocidade) {
    Pagina p(23);
    p.Definir("Alterar RTU e Velocidade?", "1");
    p.Definir("Velocidade", "9600");
    for (const auto& [rtu, erro] :
         std::vector<std::pair<std::string, std::string>>{{"0", "RTU não pode ser 0"},
                                                          {"256", "RTU inválido (0 a 255)"},
                                                          {"-1", "RTU inválido (0 a 255)"}}) {
        p.Definir("RTU", rtu);
        EXPECT_FALSE(p.Confirmar()) << rtu;
        EXPECT_EQ(p.avisos.vistos, Avisos{Erro(erro)}) << rtu;
    }
    p.Definir("RTU", "255");
    EXPECT_TRUE(p.Confirmar());
    EXPECT_EQ(p.eq.registroRtuVelocidade[8], 255);
    EXPECT_EQ(p.eq.registroRtuVelocidade[9], 96);
    EXPECT_EQ(p.eq.infoModelo.passos[0].marcado, 1);
}

TEST(ParametrosConfirmar, OperadoraEIdDeTelemetria) {
    Pagina p(5);
    p.eq.registroTelemetria.fill(0xEE);  // every byte is cleared before the values go in
    ConstruirParametros(p.eq, p.linhas);
    p.Definir("Alterar Operadora e ID de Telemetria?", "1");
    p.Definir("Operadora de Celular (Telemetria)", "5 - Peru - Entel (entel.pe)");
    const std::string id25 = "1234567890123456789012345";
    for (const std::string& id : {id25.substr(0, 11), id25.substr(0, 13), id25}) {
        p.Definir("ID (Telemetria 12 caracteres)", id);
        EXPECT_FALSE(p.Confirmar()) << id;
        EXPECT_EQ(p.avisos.vistos, Avisos{Erro("Tamanho do ID de Telemetria diferente de 12")});
    }
    // What was read before the refusal stays: the ID cut to 20 characters.
    const uint8_t* r = p.eq.registroTelemetria.data();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 9)), id25.substr(0, 20));
    EXPECT_EQ(r[8], 5);
    EXPECT_EQ(r[0], 0);

    p.Definir("ID (Telemetria 12 caracteres)", "123456789012");
    EXPECT_TRUE(p.Confirmar());
    EXPECT_EQ(std::vector<uint8_t>(r + 9, r + 49), [] {
        std::vector<uint8_t> v(40, 0);
        for (int i = 0; i < 12; ++i) {
            v[i] = static_cast<uint8_t>('0' + (i + 1) % 10);
        }
        return v;
    }());
    EXPECT_EQ(p.eq.infoModelo.passos[1].marcado, 1);
    EXPECT_EQ(p.eq.infoModelo.passos[0].id, 0);
}

TEST(ParametrosConfirmar, UrlVaziaAvisaESegue) {
    Pagina p(24);
    p.Definir("Alterar URL?", "1");
    p.eq.registroUrl.fill(0xEE);
    EXPECT_TRUE(p.Confirmar());
    EXPECT_EQ(p.avisos.vistos, Avisos{Info("A Telemetria será desabilitada!")});
    EXPECT_EQ(p.eq.registroUrl, decltype(p.eq.registroUrl){});

    // 81 characters fill the field without a terminator; more are cut.
    const std::string url(90, 'u');
    p.Definir("URL (Telemetria)", url);
    EXPECT_TRUE(p.Confirmar());
    EXPECT_TRUE(p.avisos.vistos.empty());
    const uint8_t* r = p.eq.registroUrl.data();
    EXPECT_EQ(std::string(r + 8, r + 89), url.substr(0, 81));
    // Latin-1 in the record.
    p.Definir("URL (Telemetria)", "ação");
    EXPECT_TRUE(p.Confirmar());
    EXPECT_EQ(std::vector<uint8_t>(r + 8, r + 13), (std::vector<uint8_t>{'a', 0xE7, 0xE3, 'o', 0}));
}

TEST(ParametrosConfirmar, TempoDeReconexao) {
    Pagina p(25);
    p.Definir("Alterar Tempo de Reconexão", "1");
    for (const char* tempo : {"0", "241", "300", "-1"}) {
        p.Definir("Tempo de Reconexão (1 ~ 240 min)", tempo);
        EXPECT_FALSE(p.Confirmar()) << tempo;
        EXPECT_EQ(p.avisos.vistos, Avisos{Info("O tempo de reconexão deve ser de 1 a 240min!")});
    }
    for (const char* tempo : {"1", "240"}) {
        p.Definir("Tempo de Reconexão (1 ~ 240 min)", tempo);
        EXPECT_TRUE(p.Confirmar()) << tempo;
        EXPECT_EQ(p.eq.registroReconexao[8], std::stoi(tempo));
    }
    // An unticked group is not read.
    p.Definir("Alterar Tempo de Reconexão", "0");
    p.Definir("Tempo de Reconexão (1 ~ 240 min)", "999");
    EXPECT_TRUE(p.Confirmar());
    EXPECT_EQ(p.eq.registroReconexao[8], 240);
    EXPECT_EQ(p.eq.infoModelo.passos[2].marcado, 0);
}

TEST(ParametrosConfirmar, MedicaoLidaMesmoSemMarca) {
    Pagina p(25);
    p.Definir("Tipo de Medidor", "ION (RS485)");
    p.Definir("RTU Medidor ION", "9");
    EXPECT_TRUE(p.Confirmar());
    EXPECT_EQ(p.eq.medidorIon, 1);
    EXPECT_EQ(p.eq.rtuMedidorIon, 9);
    p.Definir("Programar Medição", "1");
    p.Definir("RTU Medidor ION", "300");
    EXPECT_FALSE(p.Confirmar());
    EXPECT_EQ(p.avisos.vistos, Avisos{Erro("RTU Medidor ION inválido (0 a 255)")});
}

TEST(ParametrosConfirmar, MacDoPassoEDasOpcoes) {
    Pagina p(6);
    p.Definir("Alterar MAC?", "1");
    p.Definir("MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:01:02:0");  // last position left empty
    EXPECT_FALSE(p.Confirmar());
    EXPECT_EQ(p.avisos.vistos, Avisos{Erro("MAC inválido")});
    p.Definir("MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:01:02:03");
    EXPECT_TRUE(p.Confirmar());
    EXPECT_EQ(p.eq.infoModelo.opcoes[0].valor, "02:B4:6D:01:02:03");

    // Model 16: the group's tick becomes the tick of its three options, which
    // are then read in the order ID, MAC, SMS.
    Pagina g(16);
    g.Definir("Alterar Parametros Avançados?", "1");
    g.Definir("ID (Telemetria 12 caracteres)", "12345678901");
    g.Definir("MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:AA:BB:C");
    EXPECT_FALSE(g.Confirmar());
    // The mask keeps twelve positions; the unfilled one does not count.
    EXPECT_EQ(g.avisos.vistos, Avisos{Erro("Tamanho do ID de Telemetria diferente de 12")});
    EXPECT_EQ(g.eq.infoModelo.opcoes[2].valor, "12345678901_");
    EXPECT_EQ(g.eq.infoModelo.opcoes[0].valor, "");
    g.Definir("ID (Telemetria 12 caracteres)", "1234567890123");
    EXPECT_EQ(g.linhas.GetText("ID (Telemetria 12 caracteres)"), "123456789012");
    g.Definir("ID (Telemetria 12 caracteres)", "123456789012");
    EXPECT_FALSE(g.Confirmar());
    EXPECT_EQ(g.avisos.vistos, Avisos{Erro("MAC inválido")});
    g.Definir("MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:AA:BB:CC");
    g.Definir("Celular SMS (Alarme de Conexão)", "+55 11 99999-0000");
    EXPECT_TRUE(g.Confirmar());
    EXPECT_TRUE(g.eq.AlterarIdTelemetria() && g.eq.AlterarMac() && g.eq.AlterarCelularSms());
    EXPECT_EQ(g.eq.infoModelo.opcoes[2].valor, "123456789012");
    EXPECT_EQ(g.eq.infoModelo.opcoes[1].valor, "+55 11 99999-0000");

    // Unticked: the options are neither read nor checked.
    g.Definir("Alterar Parametros Avançados?", "0");
    g.Definir("MAC (xx:xx:xx:xx:xx:xx)", "");
    EXPECT_TRUE(g.Confirmar());
    EXPECT_FALSE(g.eq.AlterarMac());
    EXPECT_EQ(g.eq.infoModelo.opcoes[0].valor, "02:B4:6D:AA:BB:CC");
}

TEST(ParametrosConfirmar, EntradasESaidasDigitais) {
    Pagina p(30);
    p.eq.entradasDigitais = 0;
    ConstruirParametros(p.eq, p.linhas);
    p.Definir("Entrada 3", "(1) Ativa em 1");
    p.Definir("Saída 1", "(0) Monoestável");
    p.Definir("Saída 4", "1");
    // Not ticked: the words stay.
    EXPECT_TRUE(p.Confirmar());
    EXPECT_EQ(p.eq.entradasDigitais, 0);
    EXPECT_EQ(p.eq.saidasDigitais, 3);
    p.Definir("Enviar Programação de Entrada Digital", "1");
    p.Definir("Enviar Programação de Saída Digital", "1");
    EXPECT_TRUE(p.Confirmar());
    EXPECT_EQ(p.eq.entradasDigitais, 0x0004);
    EXPECT_EQ(p.eq.saidasDigitais, 0x000A);
}

TEST(ParametrosConfirmar, ValoresLidosAntesDaRecusaFicam) {
    Pagina p(23);
    p.Definir("IP", "10.0.0.8");
    p.Definir("Alterar RTU e Velocidade?", "1");
    p.Definir("RTU", "0");
    p.Definir("Alterar Operadora e ID de Telemetria?", "1");
    p.Definir("Operadora de Celular (Telemetria)", "3");
    EXPECT_FALSE(p.Confirmar());
    EXPECT_EQ(p.eq.GetIpNovo(), "10.0.0.8");
    EXPECT_EQ(p.eq.infoModelo.passos[0].marcado, 1);
    EXPECT_EQ(p.eq.infoModelo.passos[1].marcado, 0);  // the slot after the refusal is not read
    EXPECT_EQ(p.eq.registroTelemetria[8], 0);
}

}  // namespace
}  // namespace tvx
