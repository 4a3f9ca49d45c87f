// The extra steps and the restart command: the payload of every step on the
// wire, the progress lines of the sequence, how each kind of step ends the
// sequence when it fails, and the state of the link afterwards.
#include <gtest/gtest.h>

#include "bancada.h"

namespace tvx {
namespace {

using namespace teste;

const char* const kMac = "00 1A 2B 3C 4D 5E";

const char* Anuncio(uint8_t id) {
    switch (id) {
        case 2:
            return "Enviando programação de MAC, ID Telemetria e Celular SMS...";
        case 11:
        case 16:
            return "Enviando programação de MAC...";
        case 12:
            return "Enviando programação de RTU e Velocidade...";
        case 13:
            return "Enviando programação de ID e Operadora...";
        case 14:
            return "Enviando programação de URL...";
        case 17:
            return "Enviando programação do tempo de reconexão...";
        case 18:
            return "Enviando programação de relógio...";
        case 19:
            return "Reset da Memória de Massa...";
        case 20:
            return "Campos de Memória...";
        case 22:
            return "Enviando programação de Entrada Digital...";
        case 23:
            return "Enviando programação de Saída Digital...";
        default:
            return "";
    }
}

using Linhas = std::vector<std::string>;

// ---- the sequence itself

TEST(ProgramacaoEstendida, NenhumPassoMarcado) {
    ParTcp par("127.6.3.1", 5003);
    for (uint32_t modelo : {3u, 23u}) {
        Bancada b(modelo);
        ASSERT_TRUE(b.ConectarTcp("127.6.3.1"));
        bool reconectar = false;
        EXPECT_TRUE(b.e.ProgramacaoEstendida(reconectar));
        EXPECT_FALSE(reconectar);
        EXPECT_TRUE(b.Linhas().empty());
    }
    EXPECT_TRUE(par.Recebido(1, 200ms).empty());
}

TEST(ProgramacaoEstendida, PassoSemRotinaContaComoFeito) {
    Bancada b(3);
    b.e.infoModelo.passos[0] = {kPassoTabelaModbus, 1};
    bool reconectar = false;
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_TRUE(b.e.ProgramacaoEstendida(reconectar));
    EXPECT_GE(std::chrono::steady_clock::now() - inicio, 1000ms);
    EXPECT_TRUE(reconectar);
    EXPECT_EQ(Linhas{"OK."}, b.Linhas());
}

TEST(ProgramacaoEstendida, TextoDoPassoAnteriorPassaAoSeguinte) {
    ParTcp par("127.6.3.2", 5003);
    Bancada b(26);
    b.e.infoModelo.opcoes[kOpcaoMac].valor = "00-1A-2B-3C-4D-5E";
    b.Marcar({kPassoMac});
    b.e.infoModelo.passos[1] = {kPassoTabelaModbus, 1};
    ASSERT_TRUE(b.ConectarTcp("127.6.3.2"));
    par.Responder(Juntar({Bytes("MAC="), Hex(kMac)}));
    bool reconectar = false;
    EXPECT_TRUE(b.e.ProgramacaoEstendida(reconectar));
    EXPECT_TRUE(reconectar);
    EXPECT_EQ(ParaHex(Juntar({Bytes("MAC="), Hex(kMac), std::vector<uint8_t>(50, 0)})),
              ParaHex(par.Recebido(60)));
    const std::string recebida = "Programação recebida:\r\nMAC=00:1A:2B:3C:4D:5E\r\n";
    EXPECT_EQ((Linhas{"Enviando programação de MAC...", recebida, "OK.", recebida, "OK."}),
              b.Linhas());
}

TEST(ProgramacaoEstendida, FalhaEncerraASequencia) {
    ParTcp par("127.6.3.3", 5003);
    Bancada b(23);
    b.Marcar({12, 13, 11, 14});
    ASSERT_TRUE(b.ConectarTcp("127.6.3.3"));
    par.Responder(Ack(kQuadroDleCurto, true, false));
    bool reconectar = false;
    EXPECT_FALSE(b.e.ProgramacaoEstendida(reconectar));
    EXPECT_FALSE(reconectar);
    EXPECT_EQ((Linhas{Anuncio(12), "Falha na programação."}), b.Linhas());
    EXPECT_EQ(31u, par.Recebido(32, 300ms).size());  // the step-12 frame only
    EXPECT_TRUE(b.TcpAberto());
}

// Each kind on a link that can no longer send: its send-failure text is
// posted or not, and the link is closed or left, as the kind prescribes.
TEST(ProgramacaoEstendida, FalhaDeEnvioDeCadaTipo) {
    struct Caso {
        uint32_t modelo;
        uint8_t id;
        const char* texto;  // nullptr: nothing posted after the announcement
    };
    const Caso casos[] = {
        {16, 2, "Programação de MAC, ID e Celular SMS falhou."},
        {6, 11, nullptr},
        {23, 12, "Programação de RTU/Velocidade."},
        {23, 13, nullptr},
        {23, 14, nullptr},
        {26, 16, "Programação de MAC falhou."},
        {25, 17, nullptr},
        {25, 18, "Programação de relógio"},
        {25, 19, "Reset da memória de massa"},
        {25, 20, "Programação dos campos de memória"},
        {30, 22, "Falha ao programar Entrada Digital"},
        {30, 23, "Falha ao programar Saída Digital"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(static_cast<int>(c.id));
        Bancada b(c.modelo);
        b.Marcar({c.id});
        bool reconectar = false;
        EXPECT_FALSE(b.e.ProgramacaoEstendida(reconectar));
        EXPECT_FALSE(reconectar);
        Linhas esperadas{Anuncio(c.id)};
        if (c.texto) {
            esperadas.push_back(c.texto);
        }
        EXPECT_EQ(esperadas, b.Linhas());
    }
}

// Each kind refused by the device (a NAK, a Modbus exception, or no reply
// for the raw blocks).
TEST(ProgramacaoEstendida, RecusaDeCadaTipo) {
    struct Caso {
        uint32_t modelo;
        uint16_t porta;
        uint8_t id;
        std::vector<uint8_t> resposta;  // empty: silence
        const char* texto;
        bool ligacaoAberta;
    };
    const Caso casos[] = {
        {16, 5003, 2, {}, "Falha na recepção (recv).", false},
        {6, 5006, 11, Ack(kQuadroSimples, true, false), nullptr, true},
        {23, 5003, 12, Ack(kQuadroDleCurto, true, false), "Falha na programação.", true},
        {5, 5003, 13, Ack(kQuadroDle, true, false), nullptr, true},
        {24, 5003, 14, Ack(kQuadroDleCurto, true, false), nullptr, true},
        {26, 5003, 16, {}, "Falha na recepção (recv).", false},
        {26, 5003, 16, Bytes("NAK\x01\x02\x03\x04\x05\x06\xFF"),
         "Programação do MAC inválido.Cabeçalho desconhecido:4E 41 4B 01 02 03 04 05 06 FF", false},
        {26, 5003, 16, Bytes("MA"),
         "Programação do MAC inválido.Cabeçalho desconhecido:4D 41 00 00 00 00 00 00 00 00", false},
        {25, 5003, 17, Ack(kQuadroDleCurto, true, false), nullptr, true},
        {25, 5003, 18, Ack(kQuadroDle, true, false), "Falha na programação.", false},
        {25, 5003, 19, Ack(kQuadroDle, true, false), "Falha no reset da memória.", false},
        {25, 5003, 20, Ack(kQuadroDle, true, false), "Falha programação dos campos de memória.",
         false},
        {30, 502, 22, ExcecaoModbus(0x10), "Falha ao programar Entrada Digital", false},
        {30, 502, 23, ExcecaoModbus(0x10), "Falha ao programar Saída Digital", false},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(static_cast<int>(c.id));
        ParTcp par("127.6.3.4", c.porta);
        Bancada b(c.modelo);
        b.Marcar({c.id});
        ASSERT_TRUE(b.ConectarTcp("127.6.3.4"));
        if (c.resposta.empty()) {
            par.Calar();
        } else {
            par.Responder(c.resposta);
        }
        bool reconectar = false;
        EXPECT_FALSE(b.e.ProgramacaoEstendida(reconectar));
        EXPECT_FALSE(reconectar);
        Linhas esperadas{Anuncio(c.id)};
        if (c.texto) {
            esperadas.push_back(c.texto);
        }
        EXPECT_EQ(esperadas, b.Linhas());
        EXPECT_EQ(c.ligacaoAberta, b.TcpAberto());
        if (!c.ligacaoAberta) {
            EXPECT_EQ(nullptr, b.e.canal.Socket());
        }
    }
}

// ---- the payload of every step

TEST(ProgramaMacIdSms, BlocoComMacIdECelularETextoRecebido) {
    ParTcp par("127.6.3.5", 5003);
    Bancada b(16);
    b.Marcar({kPassoMacIdSms});
    auto& o = b.e.infoModelo.opcoes;
    o[kOpcaoMac].valor = "00:1A:2B:3C:4D:5E";
    o[kOpcaoIdTelemetria].valor = "TELEMETRIA-0001-XYZ";  // 19 characters: 17 go
    o[kOpcaoCelularSms].valor = "5511987654321";
    ASSERT_TRUE(b.ConectarTcp("127.6.3.5"));
    // The echo fills both text slots to the last byte.
    par.Responder(
        Juntar({Bytes("MAC="), Hex("02 00 00 AA BB CC"), std::vector<uint8_t>(10, 0), Bytes("ID="),
                Bytes("ABCDEFGHIJKLMNOP\xE7"), Bytes("S="), Bytes("551199887766554433")}));
    bool reconectar = false;
    EXPECT_TRUE(b.e.ProgramacaoEstendida(reconectar));
    EXPECT_TRUE(reconectar);
    EXPECT_EQ(ParaHex(Juntar({Bytes("MAC="), Hex(kMac), std::vector<uint8_t>(10, 0), Bytes("ID="),
                              Bytes("TELEMETRIA-0001-X"), Bytes("S="), Slot("5511987654321", 18)})),
              ParaHex(par.Recebido(60)));
    EXPECT_EQ((Linhas{Anuncio(2),
                      "Programação recebida:\r\nMAC=02:00:00:AA:BB:CC\r\n"
                      "ID=ABCDEFGHIJKLMNOPç\r\nCelular SMS=551199887766554433\r\n",
                      "OK."}),
              b.Linhas());
}

TEST(ProgramaMacComando, QuadroComTagEMacPorTcpESerial) {
    {
        ParTcp par("127.6.3.6", 5006);
        Bancada b(6);
        b.Marcar({kPassoMacComando});
        b.e.infoModelo.opcoes[kOpcaoMac].valor = "00:1A:2B:3C:4D:5E";
        ASSERT_TRUE(b.ConectarTcp("127.6.3.6"));
        par.Responder(Ack(kQuadroSimples, true));
        bool reconectar = false;
        EXPECT_TRUE(b.e.ProgramacaoEstendida(reconectar));
        EXPECT_EQ(ParaHex(Juntar({Hex("4C 14"), Bytes("TVX5150SMAC="), Hex(kMac)})),
                  ParaHex(par.Recebido(20)));
        EXPECT_EQ((Linhas{Anuncio(11), "OK."}), b.Linhas());
        EXPECT_TRUE(b.TcpAberto());
    }
    {
        PtyTeste pty;
        Bancada b(22);
        b.Marcar({kPassoMacComando});
        b.e.infoModelo.opcoes[kOpcaoMac].valor = "00:1A:2B:3C:4D:5E";
        ASSERT_TRUE(b.ConectarSerial(pty));
        bool reconectar = false;
        auto passos = EmParalelo([&] { return b.e.ProgramacaoEstendida(reconectar); });
        EXPECT_EQ(ParaHex(Juntar({Hex("10 02 01 4C 14"), Bytes("TVX5150SMAC="), Hex(kMac),
                                  Hex("10 03 45 EA")})),
                  ParaHex(Atender(pty, 27, Ack(kQuadroDleCurto, false))));
        EXPECT_TRUE(passos.get());
        EXPECT_EQ((Linhas{Anuncio(11), "OK."}), b.Linhas());
    }
}

TEST(ProgramaRtuVelocidade, TagTvx3000aComRtuEVelocidade) {
    const std::vector<uint8_t> quadro =
        Hex("10 02 01 4C 02 54 56 58 33 30 30 30 41 07 09 10 03 B6 24");  // "TVX3000A", 7, 9
    {
        ParTcp par("127.6.3.7", 5003);
        Bancada b(24);
        b.e.SetRtu(1);
        b.Marcar({kPassoRtuVelocidade});
        b.e.registroRtuVelocidade[8] = 7;
        b.e.registroRtuVelocidade[9] = 9;
        ASSERT_TRUE(b.ConectarTcp("127.6.3.7"));
        par.Responder(Ack(kQuadroDleCurto, true));
        bool reconectar = false;
        EXPECT_TRUE(b.e.ProgramacaoEstendida(reconectar));
        // Model 24 addresses every frame to 0xFE.
        const std::vector<uint8_t> enviado = par.Recebido(31);
        EXPECT_EQ(
            "00 00 03 00 00 00 00 05 FE FF 00 13 10 02 FE 4C 02 54 56 58 33 30 30 30 41 "
            "07 09 10 03",
            ParaHex(enviado.data(), std::min<size_t>(enviado.size(), 29)));
        EXPECT_EQ((Linhas{Anuncio(12), "OK."}), b.Linhas());
        // The stored record keeps its unused bytes: the tag is put in a copy.
        EXPECT_EQ(0, b.e.registroRtuVelocidade[0]);
    }
    {
        PtyTeste pty;
        Bancada b(23);
        b.Marcar({kPassoRtuVelocidade});
        b.e.registroRtuVelocidade[8] = 7;
        b.e.registroRtuVelocidade[9] = 9;
        ASSERT_TRUE(b.ConectarSerial(pty));
        bool reconectar = false;
        auto passos = EmParalelo([&] { return b.e.ProgramacaoEstendida(reconectar); });
        EXPECT_EQ(ParaHex(quadro),
                  ParaHex(Atender(pty, quadro.size(), Ack(kQuadroDleCurto, false))));
        EXPECT_TRUE(passos.get());
        EXPECT_EQ((Linhas{Anuncio(12), "OK."}), b.Linhas());
    }
}

TEST(ProgramaTelemetria, GravaATagNoRegistroEEnviaOs49Bytes) {
    ParTcp par("127.6.3.8", 5003);
    Bancada b(5);
    b.Marcar({kPassoTelemetria});
    b.e.registroTelemetria[8] = 2;
    const std::vector<uint8_t> id = Slot("ABC123", 40);
    std::copy(id.begin(), id.end(), b.e.registroTelemetria.begin() + 9);
    ASSERT_TRUE(b.ConectarTcp("127.6.3.8"));
    par.Responder(Ack(kQuadroDle, true));
    bool reconectar = false;
    EXPECT_TRUE(b.e.ProgramacaoEstendida(reconectar));
    EXPECT_EQ("TVX3300S",
              std::string(b.e.registroTelemetria.begin(), b.e.registroTelemetria.begin() + 8));
    EXPECT_EQ(ParaHex(Juntar({Hex("00 00 03 00 00 00 00 05 01 FF 00 3A 10 02 01 4C 19"),
                              Bytes("TVX3300S"),
                              {2},
                              id,
                              Hex("10 03 27 E4")})),
              ParaHex(par.Recebido(70)));
    EXPECT_EQ((Linhas{Anuncio(13), "OK."}), b.Linhas());
}

TEST(ProgramaCamposMemoria, MedidorRepPorTcp) {
    ParTcp par("127.6.3.9", 5003);
    Bancada b(25);
    b.Marcar({kPassoCamposMemoria});
    b.e.medidorIon = 0;
    b.e.rtuMedidorIon = 7;  // only an ION meter has an RTU
    ASSERT_TRUE(b.ConectarTcp("127.6.3.9"));
    par.Responder(Ack(kQuadroDle, true));
    bool reconectar = false;
    EXPECT_TRUE(b.e.ProgramacaoEstendida(reconectar));
    std::vector<uint8_t> campos(866, 0);
    for (int i = 0; i < 3; ++i) {
        const std::vector<uint8_t> entrada = Hex("00 08 01 00 00 00 01 00 00 00 00 00 00 00");
        std::copy(entrada.begin(), entrada.end(), campos.begin() + 27 * i);
        campos[27 * i] = i == 0 ? 1 : i == 1 ? 3 : 4;
    }
    EXPECT_EQ(ParaHex(Juntar({Hex("00 00 03 00 00 00 00 05 00 FF 03 6B 10 02 00 50 04"), campos,
                              Hex("10 03 0A A2")})),
              ParaHex(par.Recebido(887)));
}

// Model 25 on its serial line: every step it offers, in catalogue order.
TEST(ProgramacaoEstendida, Modelo25PelaSerialComTodosOsPassos) {
    PtyTeste pty;
    Bancada b(25);
    b.Marcar({13, 14, 17, 18, 19, 20});
    b.e.registroTelemetria[8] = 1;
    const std::vector<uint8_t> id = Slot("ID-25", 40);
    std::copy(id.begin(), id.end(), b.e.registroTelemetria.begin() + 9);
    const std::vector<uint8_t> url = Slot("http://tvx.example/x", 81);
    std::copy(url.begin(), url.end(), b.e.registroUrl.begin() + 8);
    b.e.registroReconexao[8] = 30;
    b.e.relogio = [] { return Relogio{5, 3, 2031, 14, 7, 9}; };
    b.e.medidorIon = 1;
    b.e.rtuMedidorIon = 7;
    ASSERT_TRUE(b.ConectarSerial(pty));
    bool reconectar = false;
    auto passos = EmParalelo([&] { return b.e.ProgramacaoEstendida(reconectar); });

    // 'L' commands take the model's kind 6, 'P' commands kind 0; RTU 0.
    const auto l = Ack(kQuadroDleCurto, false);
    const auto p = Ack(kQuadroDle, false);
    EXPECT_EQ(
        ParaHex(Juntar({Hex("10 02 00 4C 19"), Bytes("TVX3300S"), {1}, id, Hex("10 03 C2 1C")})),
        ParaHex(Atender(pty, 58, l)));
    EXPECT_EQ(ParaHex(Juntar({Hex("10 02 00 4C 1A"), Bytes("TVX3300S"), url, Hex("10 03 77 C6")})),
              ParaHex(Atender(pty, 98, l)));
    EXPECT_EQ("10 02 00 4C 1C 54 56 58 33 33 30 30 57 1E 10 03 E5 19",
              ParaHex(Atender(pty, 18, l)));
    EXPECT_EQ("10 02 00 50 01 05 03 1F 0E 07 09 10 03 4F 00", ParaHex(Atender(pty, 15, p)));
    EXPECT_EQ("10 02 00 50 05 10 03 19 56", ParaHex(Atender(pty, 9, p)));
    const std::vector<uint8_t> campos = Atender(pty, 875, p);
    ASSERT_EQ(875u, campos.size());
    EXPECT_EQ("10 02 00 50 04", ParaHex(campos.data(), 5));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ((i == 0   ? "01"
                   : i == 1 ? "03"
                            : "04") +
                      std::string(" 20 01 00 00 00 01 00 00 00 00 00 07 22 00 00 00 00 00 00 00 "
                                  "00 00 00 00 00 00"),
                  ParaHex(campos.data() + 5 + 27 * i, 27));
    }
    EXPECT_TRUE(
        std::all_of(campos.begin() + 5 + 81, campos.end() - 4, [](uint8_t x) { return x == 0; }));
    EXPECT_EQ("10 03 F3 BD", ParaHex(campos.data() + 871, 4));

    EXPECT_TRUE(passos.get());
    EXPECT_TRUE(reconectar);
    EXPECT_EQ("TVX3300S", std::string(b.e.registroUrl.begin(), b.e.registroUrl.begin() + 8));
    EXPECT_EQ("TVX3300W",
              std::string(b.e.registroReconexao.begin(), b.e.registroReconexao.begin() + 8));
    EXPECT_EQ((Linhas{Anuncio(13), "OK.", Anuncio(14), "OK.", Anuncio(17), "OK.", Anuncio(18),
                      "OK.", Anuncio(19), "OK.", Anuncio(20), "OK."}),
              b.Linhas());
}

TEST(ProgramaEntradasESaidas, PalavrasDoMaisSignificativoAoMenos) {
    ParTcp par("127.6.3.10", 502);
    Bancada b(30);
    b.Marcar({22, 23});
    ASSERT_TRUE(b.ConectarTcp("127.6.3.10"));
    par.Responder(EscritaModbusOk(1280));
    par.Responder(EscritaModbusOk(1281));
    bool reconectar = false;
    EXPECT_TRUE(b.e.ProgramacaoEstendida(reconectar));
    EXPECT_TRUE(reconectar);
    EXPECT_EQ(
        "00 00 00 00 00 09 01 10 05 00 00 01 02 FF FF "
        "00 00 00 00 00 09 01 10 05 01 00 01 02 00 03",
        ParaHex(par.Recebido(30)));
    EXPECT_EQ((Linhas{Anuncio(22), "OK.", Anuncio(23), "OK."}), b.Linhas());
    EXPECT_EQ(kQuadroModbus, b.e.canal.TipoQuadro());
}

TEST(ProgramaEntradasESaidas, ExcecaoNaSaidaDepoisDaEntrada) {
    ParTcp par("127.6.3.11", 502);
    Bancada b(30);
    b.Marcar({22, 23});
    b.e.entradasDigitais = 0x8001;
    b.e.saidasDigitais = 0x000A;
    ASSERT_TRUE(b.ConectarTcp("127.6.3.11"));
    par.Responder(EscritaModbusOk(1280));
    par.Responder(ExcecaoModbus(0x10));
    bool reconectar = false;
    EXPECT_FALSE(b.e.ProgramacaoEstendida(reconectar));
    EXPECT_TRUE(reconectar);  // the first step did complete
    EXPECT_EQ(
        "00 00 00 00 00 09 01 10 05 00 00 01 02 80 01 "
        "00 00 00 00 00 09 01 10 05 01 00 01 02 00 0A",
        ParaHex(par.Recebido(30)));
    EXPECT_EQ((Linhas{Anuncio(22), "OK.", Anuncio(23), "Falha ao programar Saída Digital"}),
              b.Linhas());
    EXPECT_EQ(nullptr, b.e.canal.Socket());
}

// ---- restart

TEST(EnviaReset, TagTvx5150sNosModelosQueReiniciam) {
    {
        ParTcp par("127.6.3.14", 5003);
        Bancada b(3);
        ASSERT_TRUE(b.ConectarTcp("127.6.3.14"));
        EXPECT_TRUE(b.e.EnviaReset());
        EXPECT_EQ(
            "00 00 03 00 00 00 00 05 01 FF 00 11 10 02 01 4C 18 54 56 58 35 31 35 30 53 "
            "10 03 01 25",
            ParaHex(par.Recebido(29)));
        b.e.Desconecta();
        EXPECT_FALSE(b.e.EnviaReset());
    }
    {
        ParTcp par("127.6.3.15", 5006);
        Bancada b(6);
        ASSERT_TRUE(b.ConectarTcp("127.6.3.15"));
        EXPECT_TRUE(b.e.EnviaReset());
        EXPECT_EQ(ParaHex(Juntar({Hex("4C 18"), Bytes("TVX5150S")})), ParaHex(par.Recebido(10)));
    }
    {
        PtyTeste pty;
        Bancada b(2);
        ASSERT_TRUE(b.ConectarSerial(pty));
        EXPECT_TRUE(b.e.EnviaReset());
        EXPECT_EQ("10 02 01 4C 18 54 56 58 35 31 35 30 53 10 03 01 25", ParaHex(pty.Ler(17, 2s)));
    }
}

TEST(EnviaReset, OutrosModelosNadaEnviam) {
    for (uint32_t modelo : {30u, 1u, 15u, 25u}) {
        SCOPED_TRACE(modelo);
        Bancada b(modelo);  // no link at all: nothing may be tried
        EXPECT_TRUE(b.e.EnviaReset());
    }
}

}  // namespace
}  // namespace tvx
