// Next on the parameters page: what lands in the equipment object, every
// refusal at its boundary, and what stays after a refusal.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "avisos_gravados.h"
#include "paginas/parametros.h"

namespace tvx {
namespace {

using namespace teste;
using Valores = std::vector<std::pair<std::string, std::string>>;

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
    void Definir(const Valores& valores) {
        for (const auto& [rotulo, valor] : valores) {
            std::string erro;
            ASSERT_TRUE(AplicarParametro(linhas, rotulo, valor, erro)) << erro;
        }
    }
    bool Confirmar(const Valores& valores = {}) {
        Definir(valores);
        avisos.vistos.clear();
        return ConfirmarParametros(eq, linhas, avisos);
    }
    cEquipamento eq;
    cPropertyRows linhas;
    AvisosGravados avisos;
};

const std::string k25 = "1234567890123456789012345";
const Valores kMedidor1{{"Medidor 1 - IP", "10.0.0.5"},
                        {"Medidor 1 - RTU", "7"},
                        {"Medidor 1 - Função", "(3) Read Holding"}};

Valores Mais(Valores a, const Valores& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ParametrosConfirmar, RecusasEAvisosNosLimites) {
    struct Caso {
        uint32_t modelo;
        Valores valores;
        bool aceito;
        Avisos avisos;
    };
    const Valores tx940{{"Função Gateway Universal", "Gateway TX940"},
                        {"IP do Gateway RX", "10.0.0.5"}};
    const Valores rtu{{"Alterar RTU e Velocidade?", "1"}};
    const Valores id{{"Alterar Operadora e ID de Telemetria?", "1"}};
    const Valores tempo{{"Alterar Tempo de Reconexão", "1"}};
    const Valores mac{{"Alterar MAC?", "1"}};
    const std::string tamanhoId = "Tamanho do ID de Telemetria diferente de 12";
    const std::string reconexao = "O tempo de reconexão deve ser de 1 a 240min!";
    const std::string maior = "Medidor 1 - Número de Registros inválido (maior que 125)";
    const auto registros = [&](const char* n) {
        return Mais(kMedidor1, {{"Medidor 1 - Número de Registros", n}});
    };
    // clang-format off
    const std::vector<Caso> casos{
        {27, {{"Função Gateway Universal", "85"}}, false, {Erro("IP do Gateway RX inválido")}},
        {27, tx940, false, {Erro("RTU do TVX940")}},
        {1, Mais(tx940, {{"RTU do TVX940", "256"}}),
         false, {Erro("RTU do TVX940 inválido (0 a 255)")}},
        {1, Mais(tx940, {{"RTU do TVX940", "1"}}), true, {}},
        {6,
         Mais(mac, {{"MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:01:02:0"}}), false,
         {Erro("MAC inválido")}},
        {6, Mais(mac, {{"MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:01:02:03"}}), true, {}},
        {23, Mais(rtu, {{"RTU", "0"}}), false, {Erro("RTU não pode ser 0")}},
        {23, Mais(rtu, {{"RTU", "256"}}), false, {Erro("RTU inválido (0 a 255)")}},
        {23, Mais(rtu, {{"RTU", "255"}}), true, {}},
        {5,
         Mais(id, {{"ID (Telemetria 12 caracteres)", k25.substr(0, 11)}}), false,
         {Erro(tamanhoId)}}, {5, Mais(id, {{"ID (Telemetria 12 caracteres)", k25.substr(0, 13)}}),
         false, {Erro(tamanhoId)}},
        {5, Mais(id, {{"ID (Telemetria 12 caracteres)", k25}}), false, {Erro(tamanhoId)}},
        {5, Mais(id, {{"ID (Telemetria 12 caracteres)", k25.substr(0, 12)}}), true, {}},
        {24, {{"Alterar URL?", "1"}}, true, {Info("A Telemetria será desabilitada!")}},
        {24, {{"Alterar URL?", "0"}}, true, {}},
        {25, Mais(tempo, {{"Tempo de Reconexão (1 ~ 240 min)", "0"}}), false, {Info(reconexao)}},
        {25, Mais(tempo, {{"Tempo de Reconexão (1 ~ 240 min)", "241"}}), false, {Info(reconexao)}},
        {25, Mais(tempo, {{"Tempo de Reconexão (1 ~ 240 min)", "300"}}), false, {Info(reconexao)}},
        {25, Mais(tempo, {{"Tempo de Reconexão (1 ~ 240 min)", "240"}}), true, {}},
        {25, Mais(tempo, {{"Tempo de Reconexão (1 ~ 240 min)", "1"}}), true, {}},
        {25,
         {{"Programar Medição", "1"}, {"RTU Medidor ION", "300"}}, false,
         {Erro("RTU Medidor ION inválido (0 a 255)")}},
        // The Modbus meters: a meter at IP 0 is not checked at all.
        {19, {{"Medidor 1 - Função", ""}}, true, {}},
        {19, {{"Medidor 1 - IP", "10.0.0.5"}}, false, {Erro("Medidor 1 - RTU inválido")}},
        {19,
         Mais(kMedidor1, {{"Medidor 1 - Função", ""}, {"Medidor 1 - Número de Registros", "9"}}),
         false, {Erro("Medidor 1 - Função inválida")}},
        {19, kMedidor1, false, {Erro("Medidor 1 - Número de Registros inválido (0)")}},
        {19, registros("-5"), false, {Erro("Medidor 1 - Número de Registros inválido (0)")}},
        {19, registros("126"), false, {Erro(maior)}},
        {19, registros("300"), false, {Erro(maior)}},
        {19, registros("125"), true, {}},
        {19, {{"Medidor 3 - IP", "10.0.0.7"},
          {"Medidor 3 - RTU", "2"},
          {"Medidor 3 - Função", "4"},
          {"Medidor 3 - Número de Registros", "1"},
          {"Medidor 3 - Endereço Inicial", "70000"}}, false,
         {Erro("Medidor 3 - Endereço Inicial inválido (0 a 65535)")}},
    };
    // clang-format on
    for (size_t i = 0; i < casos.size(); ++i) {
        Pagina p(casos[i].modelo);
        EXPECT_EQ(p.Confirmar(casos[i].valores), casos[i].aceito) << "caso " << i;
        EXPECT_EQ(p.avisos.vistos, casos[i].avisos) << "caso " << i;
    }
}

TEST(ParametrosConfirmar, EnderecosPorFamilia) {
    Pagina p(3);
    p.eq.infoModelo.alterarIp = 1;
    EXPECT_TRUE(p.Confirmar({{"IP", "10.0.0.5"}, {"Máscara", "255.255.0.0"}}));
    EXPECT_EQ(p.eq.GetIpNovo() + " " + p.eq.GetMascaraNova() + " " + p.eq.GetGatewayNovo(),
              "10.0.0.5 255.255.0.0 ");
    EXPECT_EQ(p.eq.infoModelo.alterarIp, 0);  // only family 21 has the check row

    // Family 21 has no mask or gateway rows: both end up empty.
    Pagina k42(30);
    k42.eq.SetMascaraNova("255.255.255.0");
    k42.eq.SetGatewayNovo("10.0.0.1");
    EXPECT_TRUE(k42.Confirmar({{"Alterar IP?", "1"}, {"IP", "10.1.2.3"}}));
    EXPECT_EQ(k42.eq.infoModelo.alterarIp, 1);
    EXPECT_EQ(k42.eq.GetIpNovo() + "|" + k42.eq.GetMascaraNova() + "|" + k42.eq.GetGatewayNovo(),
              "10.1.2.3||");

    // Family 0: the addresses are not this model's and stay as they were.
    Pagina web(25);
    web.eq.SetIpNovo("10.9.9.9");
    web.eq.SetMascaraNova("255.0.0.0");
    web.eq.SetGatewayNovo("10.0.0.254");
    EXPECT_TRUE(web.Confirmar());
    EXPECT_EQ(web.eq.GetIpNovo() + " " + web.eq.GetMascaraNova() + " " + web.eq.GetGatewayNovo(),
              "10.9.9.9 255.0.0.0 10.0.0.254");
}

std::vector<uint8_t> Bytes(const uint8_t* r, size_t inicio, size_t fim) {
    return std::vector<uint8_t>(r + inicio, r + fim);
}

TEST(ParametrosConfirmar, RegistrosDosGateways) {
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
    EXPECT_TRUE(m.Confirmar(Mais(kMedidor1, {{"Velocidade", "38400"},
                                             {"Medidor 1 - Número de Registros", "125"},
                                             {"Medidor 1 - Endereço Inicial", "4660"}})));
    const uint8_t* r = m.eq.registroGatewayModbus.data();
    EXPECT_EQ(Bytes(r, 12, 16), (std::vector<uint8_t>{10, 0, 0, 5}));
    EXPECT_EQ(r[32], 7);
    EXPECT_EQ(r[37], 3);
    EXPECT_EQ(Bytes(r, 42, 44), (std::vector<uint8_t>{0x34, 0x12}));  // low byte first
    EXPECT_EQ(r[52], 125);
    EXPECT_EQ(r[59], 5);
    EXPECT_EQ(m.eq.infoModelo.passos[0].marcado, 1);  // the table has no tick of its own
}

TEST(ParametrosConfirmar, RegistrosDeTelemetria) {
    Pagina p(24);
    p.eq.registroTelemetria.fill(0xEE);  // every byte is cleared before the values go in
    p.eq.registroUrl.fill(0xEE);
    const std::string url(90, 'u');
    EXPECT_FALSE(p.Confirmar({{"Alterar RTU e Velocidade?", "1"},
                              {"Velocidade", "9600"},
                              {"RTU", "17"},
                              {"Alterar Operadora e ID de Telemetria?", "1"},
                              {"Operadora de Celular (Telemetria)", "5 - Peru - Entel (entel.pe)"},
                              {"ID (Telemetria 12 caracteres)", k25},
                              {"Alterar URL?", "1"},
                              {"URL (Telemetria)", url}}));
    EXPECT_EQ(Bytes(p.eq.registroRtuVelocidade.data(), 8, 10), (std::vector<uint8_t>{17, 96}));
    // Read before the refusal and kept: the ID cut to 20 characters.
    const uint8_t* t = p.eq.registroTelemetria.data();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(t + 9)), k25.substr(0, 20));
    EXPECT_EQ(t[8], 5);
    EXPECT_EQ(Bytes(t, 0, 8), std::vector<uint8_t>(8, 0));
    EXPECT_EQ(p.eq.infoModelo.passos[3].marcado, 0);  // the URL slot was not reached
    EXPECT_EQ(p.eq.registroUrl[0], 0xEE);

    // 81 characters fill the URL field without a terminator; Latin-1 in records.
    EXPECT_TRUE(p.Confirmar({{"ID (Telemetria 12 caracteres)", "ação12345678"}}));
    EXPECT_EQ(Bytes(t, 9, 14), (std::vector<uint8_t>{'a', 0xE7, 0xE3, 'o', '1'}));
    const uint8_t* u = p.eq.registroUrl.data();
    EXPECT_EQ(std::string(u + 8, u + 89), url.substr(0, 81));
    EXPECT_EQ(Bytes(u, 0, 8), std::vector<uint8_t>(8, 0));
}

TEST(ParametrosConfirmar, TempoEMedicao) {
    Pagina p(25);
    p.eq.registroReconexao.fill(0xEE);
    EXPECT_TRUE(p.Confirmar({{"Alterar Tempo de Reconexão", "1"},
                             {"Tempo de Reconexão (1 ~ 240 min)", "240"},
                             {"Tipo de Medidor", "ION (RS485)"},
                             {"RTU Medidor ION", "9"}}));
    EXPECT_EQ(p.eq.registroReconexao, (std::array<uint8_t, 9>{0, 0, 0, 0, 0, 0, 0, 0, 240}));
    // The meter is read whether its group is ticked or not.
    EXPECT_EQ(p.eq.medidorIon, 1);
    EXPECT_EQ(p.eq.rtuMedidorIon, 9);
    // An unticked group is not read.
    EXPECT_TRUE(p.Confirmar(
        {{"Alterar Tempo de Reconexão", "0"}, {"Tempo de Reconexão (1 ~ 240 min)", "999"}}));
    EXPECT_EQ(p.eq.registroReconexao[8], 240);
    EXPECT_EQ(p.eq.infoModelo.passos[2].marcado, 0);
}

TEST(ParametrosConfirmar, OpcoesDoGrupoAvancado) {
    // Model 16: the group's tick becomes the tick of its three options, which
    // are read in the order ID, MAC, SMS.
    Pagina g(16);
    g.Definir({{"Alterar Parametros Avançados?", "1"},
               {"ID (Telemetria 12 caracteres)", "12345678901"},
               {"MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:AA:BB:C"}});
    // The masked ID keeps twelve positions; the unfilled one does not count.
    EXPECT_FALSE(g.Confirmar());
    EXPECT_EQ(g.avisos.vistos, Avisos{Erro("Tamanho do ID de Telemetria diferente de 12")});
    EXPECT_EQ(g.eq.infoModelo.opcoes[2].valor, "12345678901_");
    EXPECT_EQ(g.eq.infoModelo.opcoes[0].valor, "");
    EXPECT_FALSE(g.Confirmar({{"ID (Telemetria 12 caracteres)", "123456789012"}}));
    EXPECT_EQ(g.avisos.vistos, Avisos{Erro("MAC inválido")});
    EXPECT_TRUE(g.Confirmar({{"MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:AA:BB:CC"},
                             {"Celular SMS (Alarme de Conexão)", "+55 11 99999-0000"}}));
    EXPECT_TRUE(g.eq.AlterarIdTelemetria() && g.eq.AlterarMac() && g.eq.AlterarCelularSms());
    EXPECT_EQ(g.eq.infoModelo.opcoes[1].valor, "+55 11 99999-0000");

    // Unticked: the options are neither read nor checked.
    EXPECT_TRUE(
        g.Confirmar({{"Alterar Parametros Avançados?", "0"}, {"MAC (xx:xx:xx:xx:xx:xx)", ""}}));
    EXPECT_FALSE(g.eq.AlterarMac());
    EXPECT_EQ(g.eq.infoModelo.opcoes[0].valor, "02:B4:6D:AA:BB:CC");
}

TEST(ParametrosConfirmar, EntradasESaidasDigitais) {
    Pagina p(30);
    p.eq.entradasDigitais = 0;
    ConstruirParametros(p.eq, p.linhas);
    const Valores escolhas{
        {"Entrada 3", "(1) Ativa em 1"}, {"Saída 1", "(0) Monoestável"}, {"Saída 4", "1"}};
    EXPECT_TRUE(p.Confirmar(escolhas));  // not ticked: the words stay
    EXPECT_EQ(p.eq.entradasDigitais, 0);
    EXPECT_EQ(p.eq.saidasDigitais, 3);
    EXPECT_TRUE(p.Confirmar({{"Enviar Programação de Entrada Digital", "1"},
                             {"Enviar Programação de Saída Digital", "1"}}));
    EXPECT_EQ(p.eq.entradasDigitais, 0x0004);
    EXPECT_EQ(p.eq.saidasDigitais, 0x000A);
}

TEST(ParametrosConfirmar, VelocidadeEmBrancoNaoVaiComoCodigoZero) {
    // The drop-down's blank first entry carries 0; the row shows 38400 for
    // a stored 0, so 38400 is what the device gets.
    Pagina p(23);
    const auto linha = p.linhas.Procurar("Velocidade");
    ASSERT_TRUE(linha.has_value());
    ASSERT_TRUE(p.linhas.Escolher(*linha, 0));
    EXPECT_TRUE(p.Confirmar({{"Alterar RTU e Velocidade?", "1"}, {"RTU", "5"}}));
    EXPECT_EQ(Bytes(p.eq.registroRtuVelocidade.data(), 8, 10), (std::vector<uint8_t>{5, 38}));
}

}  // namespace
}  // namespace tvx
