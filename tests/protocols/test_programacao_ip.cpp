// IP programming of every protocol family against a scripted loopback peer or
// a pseudo-terminal: the bytes on the wire, the read-back fields, the result
// texts and what stays unchanged when an exchange fails.
#include <gtest/gtest.h>

#include <utility>

#include "bancada.h"

namespace tvx {
namespace {

using namespace teste;

// ---- family 1: three 20-character texts, raw

std::vector<uint8_t> BlocoTexto(std::string_view ip, std::string_view mascara,
                                std::string_view gateway) {
    return Juntar({Slot(ip, 20), Slot(mascara, 20), Slot(gateway, 20)});
}

TEST(ProgramarIpTexto, EnviaOsTresCamposEGuardaOEco) {
    ParTcp par("127.6.1.1", 5003);
    Bancada b(8);
    b.e.SetIpNovo("10.0.0.5");
    b.e.SetMascaraNova("255.255.255.0");
    b.e.SetGatewayNovo("10.0.0.1");
    ASSERT_TRUE(b.ConectarTcp("127.6.1.1"));
    par.Responder(BlocoTexto("10.0.0.5", "255.255.255.0", "10.0.0.1"));
    std::string resultado = "antes";
    ASSERT_TRUE(b.e.ProgramarIp(resultado));
    EXPECT_EQ(ParaHex(BlocoTexto("10.0.0.5", "255.255.255.0", "10.0.0.1")),
              ParaHex(par.Recebido(60)));
    EXPECT_EQ("antes", resultado);
    EXPECT_EQ("10.0.0.5", b.e.GetIpLido());
    EXPECT_EQ("255.255.255.0", b.e.GetMascaraLida());
    EXPECT_EQ("10.0.0.1", b.e.GetGatewayLido());
}

TEST(ProgramarIpTexto, TextoLongoOcupaOSlotInteiroSemTerminador) {
    ParTcp par("127.6.1.2", 5003);
    Bancada b(8);
    b.e.SetIpNovo("1234567890123456789012345");
    b.e.SetMascaraNova("255.255.255.0");
    b.e.SetGatewayNovo("10.0.0.1");
    ASSERT_TRUE(b.ConectarTcp("127.6.1.2"));
    // The echo fills its first slot too: the read-back stops at the slot end.
    par.Responder(BlocoTexto("ABCDEFGHIJKLMNOPQRST", "255.255.255.0", "10.0.0.1"));
    std::string resultado;
    ASSERT_TRUE(b.e.ProgramarIpTexto(resultado));
    const std::vector<uint8_t> enviado = par.Recebido(60);
    ASSERT_EQ(60u, enviado.size());
    EXPECT_EQ("12345678901234567890", std::string(enviado.begin(), enviado.begin() + 20));
    EXPECT_EQ('2', enviado[20]);
    EXPECT_EQ("ABCDEFGHIJKLMNOPQRST", b.e.GetIpLido());
    EXPECT_EQ("255.255.255.0", b.e.GetMascaraLida());
}

// ---- family 9: the universal gateway record, 64 bytes out, 70 back

TEST(ProgramarIpGatewayUniversal, Envia64BytesERegravaORegistro) {
    ParTcp par("127.6.1.4", 5003);
    Bancada b(1);
    b.e.SetIpNovo("10.1.2.3");
    b.e.SetMascaraNova("255.255.255.0");
    b.e.SetGatewayNovo("10.1.2.1");
    auto& r = b.e.registroGatewayUniversal;
    r[0] = 0xEE;  // stale address from an earlier run
    r[12] = 10;
    r[13] = 0;
    r[14] = 0;
    r[15] = 200;
    r[16] = 3;
    r[17] = 4;
    r[18] = 6;
    r[19] = 0xAA;
    r[69] = 0x77;  // beyond the 64 bytes sent
    ASSERT_TRUE(b.ConectarTcp("127.6.1.4"));
    std::vector<uint8_t> eco(70, 0);
    const std::vector<uint8_t> enderecos = Hex("0A 01 02 03 FF FF FF 00 0A 01 02 01");
    std::copy(enderecos.begin(), enderecos.end(), eco.begin());
    par.Responder(eco);
    std::string resultado = "antes";
    ASSERT_TRUE(b.e.ProgramarIp(resultado));
    const std::vector<uint8_t> enviado = par.Recebido(65, 300ms);
    EXPECT_EQ(
        ParaHex(Juntar({enderecos, Hex("0A 00 00 C8 03 04 06 AA"), std::vector<uint8_t>(44, 0)})),
        ParaHex(enviado));
    EXPECT_EQ("0A 01 02 03 FF FF FF 00 0A 01 02 01", ParaHex(r.data(), 12));
    EXPECT_EQ("antes", resultado);
    EXPECT_EQ("010.001.002.003", b.e.GetIpLido());
    EXPECT_EQ("255.255.255.000", b.e.GetMascaraLida());
    EXPECT_EQ("010.001.002.001", b.e.GetGatewayLido());
}

// ---- family 15: the Modbus gateway table, start registers turned in the copy

TEST(ProgramarIpGatewayModbus, TrocaOsRegistrosSoNaCopiaEMostraOMac) {
    ParTcp par("127.6.1.6", 5003);
    Bancada b(19);
    b.e.SetIpNovo("192.168.1.50");
    b.e.SetMascaraNova("255.255.0.0");
    b.e.SetGatewayNovo("192.168.1.1");
    auto& r = b.e.registroGatewayModbus;
    r[42] = 0x34;  // meter 1 start register 0x1234, low byte first
    r[43] = 0x12;
    r[50] = 0x01;  // meter 5 start register 0x0001
    r[32] = 9;
    r[37] = 3;
    r[52] = 125;
    r[59] = 6;
    ASSERT_TRUE(b.ConectarTcp("127.6.1.6"));
    std::vector<uint8_t> eco(70, 0);
    const std::vector<uint8_t> inicio = Hex("C0 A8 01 32 FF FF 00 00 C0 A8 01 01");
    std::copy(inicio.begin(), inicio.end(), eco.begin());
    const std::vector<uint8_t> mac = Hex("00 1A 2B 3C 4D 5E");
    std::copy(mac.begin(), mac.end(), eco.begin() + 64);
    par.Responder(eco);
    std::string resultado = "linha anterior\r\n";
    ASSERT_TRUE(b.e.ProgramarIp(resultado));
    const std::vector<uint8_t> enviado = par.Recebido(70);
    ASSERT_EQ(70u, enviado.size());
    EXPECT_EQ("C0 A8 01 32 FF FF 00 00 C0 A8 01 01", ParaHex(enviado.data(), 12));
    EXPECT_EQ(9, enviado[32]);
    EXPECT_EQ(3, enviado[37]);
    EXPECT_EQ("12 34 00 00 00 00 00 00 00 01", ParaHex(enviado.data() + 42, 10));
    EXPECT_EQ(125, enviado[52]);
    EXPECT_EQ(6, enviado[59]);
    EXPECT_EQ("34 12", ParaHex(r.data() + 42, 2));
    EXPECT_EQ("01 00", ParaHex(r.data() + 50, 2));
    EXPECT_EQ(0, r[0]);  // the stored record keeps no address
    EXPECT_EQ("linha anterior\r\nMAC=00:1A:2B:3C:4D:5E\r\n", resultado);
    EXPECT_EQ("192.168.001.050", b.e.GetIpLido());
    EXPECT_EQ("255.255.000.000", b.e.GetMascaraLida());
    EXPECT_EQ("192.168.001.001", b.e.GetGatewayLido());
}

// ---- family 6: the TX gateway record, checked against the echoed IP

std::vector<uint8_t> EcoGatewayTx(std::string_view inicioHex) {
    std::vector<uint8_t> eco(70, 0);
    const std::vector<uint8_t> inicio = Hex(std::string(inicioHex));
    std::copy(inicio.begin(), inicio.end(), eco.begin());
    const std::vector<uint8_t> mac = Hex("AA BB CC 01 02 03");
    std::copy(mac.begin(), mac.end(), eco.begin() + 64);
    return eco;
}

TEST(ProgramarIpGatewayTx, EnviaORegistroEMostraOMac) {
    ParTcp par("127.6.1.8", 5003);
    Bancada b(21);
    b.e.SetIpNovo("10.0.0.9");
    b.e.SetMascaraNova("255.0.0.0");
    b.e.SetGatewayNovo("10.0.0.1");
    auto& r = b.e.registroGatewayTx;
    r[12] = 10;
    r[15] = 40;
    r[32] = 2;  // "RTU11 à RTU15"
    ASSERT_TRUE(b.ConectarTcp("127.6.1.8"));
    par.Responder(EcoGatewayTx("0A 00 00 09 FF 00 00 00 0A 00 00 01"));
    std::string resultado;
    ASSERT_TRUE(b.e.ProgramarIp(resultado));
    const std::vector<uint8_t> enviado = par.Recebido(70);
    EXPECT_EQ(
        ParaHex(Juntar({Hex("0A 00 00 09 FF 00 00 00 0A 00 00 01 0A 00 00 28"),
                        std::vector<uint8_t>(16, 0), Hex("02"), std::vector<uint8_t>(37, 0)})),
        ParaHex(enviado));
    EXPECT_EQ(0, r[0]);
    EXPECT_EQ("MAC=AA:BB:CC:01:02:03\r\n", resultado);
    EXPECT_EQ("010.000.000.009", b.e.GetIpLido());
    EXPECT_EQ("255.000.000.000", b.e.GetMascaraLida());
    EXPECT_EQ("010.000.000.001", b.e.GetGatewayLido());
}

TEST(ProgramarIpGatewayTx, EcoDeOutroIpNaoMudaOsCamposLidos) {
    ParTcp par("127.6.1.9", 5003);
    Bancada b(28);
    b.e.SetIpNovo("10.0.0.9");
    b.e.SetIpLido("anterior");
    b.e.SetMascaraLida("m");
    b.e.SetGatewayLido("g");
    ASSERT_TRUE(b.ConectarTcp("127.6.1.9"));
    par.Responder(EcoGatewayTx("C0 A8 00 65 FF FF FF 00 C0 A8 00 01"));
    std::string resultado = "antes";
    EXPECT_FALSE(b.e.ProgramarIp(resultado));
    EXPECT_EQ("Falha na programação.Reprograme o MAC.", resultado);
    EXPECT_EQ("anterior", b.e.GetIpLido());
    EXPECT_EQ("m", b.e.GetMascaraLida());
    EXPECT_EQ("g", b.e.GetGatewayLido());
}

// ---- family 10: framed command 'L' 22, acknowledged

std::vector<uint8_t> PayloadComando() {
    return Juntar(
        {Bytes("TVX5150S"), Slot("10.0.0.5", 20), Slot("255.255.255.0", 20), Slot("10.0.0.1", 20)});
}

void EnderecosNovos(cEquipamento& e) {
    e.SetIpNovo("10.0.0.5");
    e.SetMascaraNova("255.255.255.0");
    e.SetGatewayNovo("10.0.0.1");
}

TEST(ProgramarIpComando, QuadroDleComCabecalhoTcpEAckNoByte7) {
    ParTcp par("127.6.1.11", 5003);
    Bancada b(3);
    EnderecosNovos(b.e);
    ASSERT_TRUE(b.ConectarTcp("127.6.1.11"));
    par.Responder(Ack(kQuadroDle, true));
    std::string resultado;
    ASSERT_TRUE(b.e.ProgramarIp(resultado));
    EXPECT_EQ("Programação de IP OK.", resultado);
    EXPECT_EQ(ParaHex(Juntar({Hex("00 00 03 00 00 00 00 05 01 FF 00 4D 10 02 01 4C 16"),
                              PayloadComando(), Hex("10 03 63 5E")})),
              ParaHex(par.Recebido(89)));
}

TEST(ProgramarIpComando, AckNoLugarDeCadaTipoDeQuadro) {
    struct Caso {
        uint32_t modelo;
        uint16_t porta;
        uint8_t tipo;
        const char* inicio;  // what precedes the payload on the wire
        const char* fim;
    };
    const Caso casos[] = {
        {2, 5003, kQuadroDleCurto, "00 00 03 00 00 00 00 05 01 FF 00 4D 10 02 01 4C 16",
         "10 03 63 5E"},
        {24, 5003, kQuadroDleCurto, "00 00 03 00 00 00 00 05 FE FF 00 4D 10 02 FE 4C 16",
         "10 03 C7 22"},
        {6, 5006, kQuadroSimples, "4C 16", ""},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.modelo);
        ParTcp par("127.6.1.12", c.porta);
        Bancada b(c.modelo);
        EnderecosNovos(b.e);
        ASSERT_TRUE(b.ConectarTcp("127.6.1.12"));
        // The byte another kind would test is no acknowledgement here.
        std::vector<uint8_t> engano(12, 0x06);
        engano[c.tipo == kQuadroSimples ? 0 : c.tipo == kQuadroDleCurto ? 5 : 7] = 0x15;
        par.Responder(engano);
        par.Responder(Ack(c.tipo, true));
        std::string resultado;
        EXPECT_FALSE(b.e.ProgramarIp(resultado));
        EXPECT_EQ("Falha na programação.", resultado);
        EXPECT_TRUE(b.e.ProgramarIp(resultado));
        EXPECT_EQ("Programação de IP OK.", resultado);
        const std::vector<uint8_t> quadro = Juntar({Hex(c.inicio), PayloadComando(), Hex(c.fim)});
        const std::vector<uint8_t> enviado = par.Recebido(2 * quadro.size());
        EXPECT_EQ(ParaHex(Juntar({quadro, quadro})), ParaHex(enviado));
    }
}

TEST(ProgramarIpComando, RecusaSilencioELigacaoFechada) {
    ParTcp par("127.6.1.13", 5003);
    Bancada b(15);
    EnderecosNovos(b.e);
    ASSERT_TRUE(b.ConectarTcp("127.6.1.13"));
    par.Responder(Ack(kQuadroDle, true, false));
    par.Calar();
    std::string resultado;
    EXPECT_FALSE(b.e.ProgramarIp(resultado));
    EXPECT_EQ("Falha na programação.", resultado);
    resultado.clear();
    EXPECT_FALSE(b.e.ProgramarIp(resultado));
    EXPECT_EQ("Falha na programação.", resultado);
    // The silent peer cost the link; nothing more can be sent.
    EXPECT_FALSE(b.e.ProgramarIp(resultado));
    EXPECT_EQ("Programação de IP falhou.", resultado);
}

TEST(ProgramarIpComando, SerialSemCabecalhoComOAckDoTipoDeQuadro) {
    struct Caso {
        uint32_t modelo;
        uint8_t rtu;
        uint8_t tipo;
        const char* crc;
    };
    const Caso casos[] = {{3, 1, kQuadroDle, "63 5E"}, {22, 7, kQuadroDleCurto, "F6 23"}};
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.modelo);
        PtyTeste pty;
        Bancada b(c.modelo);
        b.e.SetRtu(c.rtu);
        EnderecosNovos(b.e);
        ASSERT_TRUE(b.ConectarSerial(pty));
        const std::vector<uint8_t> quadro = Juntar(
            {Hex("10 02"), {c.rtu}, Hex("4C 16"), PayloadComando(), Hex("10 03"), Hex(c.crc)});
        std::string resultado;
        auto programar = EmParalelo([&] { return b.e.ProgramarIp(resultado); });
        EXPECT_EQ(ParaHex(quadro), ParaHex(Atender(pty, quadro.size(), Ack(c.tipo, false))));
        EXPECT_TRUE(programar.get());
        EXPECT_EQ("Programação de IP OK.", resultado);

        programar = EmParalelo([&] { return b.e.ProgramarIp(resultado); });
        Atender(pty, quadro.size(), Ack(c.tipo, false, false));
        EXPECT_FALSE(programar.get());
        EXPECT_EQ("Falha na programação.", resultado);
    }
}

TEST(ProgramarIpComando, SerialFechadaNaoEnvia) {
    Bancada b(3);
    b.e.SetMeio(kMeioSerial);
    std::string resultado;
    EXPECT_FALSE(b.e.ProgramarIp(resultado));
    EXPECT_EQ("Programação de IP falhou.", resultado);
}

// ---- family 21: Modbus registers 1282 and 1283

TEST(ProgramarIpRegistros, OctetosEmOrdemNosRegistros1282E1283) {
    ParTcp par("127.6.1.14", 502);
    Bancada b(30);
    b.e.infoModelo.alterarIp = 1;
    b.e.SetIpNovo("10.1.2.3");
    ASSERT_TRUE(b.ConectarTcp("127.6.1.14"));
    par.Responder(EscritaModbusOk(1282));
    par.Responder(EscritaModbusOk(1283));
    std::string resultado = "antes";
    ASSERT_TRUE(b.e.ProgramarIp(resultado));
    EXPECT_EQ("", resultado);
    EXPECT_EQ(0x0302010Au, b.e.ipModbus);
    EXPECT_EQ(
        "00 00 00 00 00 09 01 10 05 02 00 01 02 0A 01 "
        "00 00 00 00 00 09 01 10 05 03 00 01 02 02 03",
        ParaHex(par.Recebido(30)));
    EXPECT_TRUE(b.e.canal.UsaTcp());
    EXPECT_EQ(1, b.e.canal.EnderecoRtu());
    EXPECT_EQ(kQuadroModbus, b.e.canal.TipoQuadro());
}

TEST(ProgramarIpRegistros, SemAlterarIpNadaEEnviado) {
    ParTcp par("127.6.1.15", 502);
    Bancada b(30);
    b.e.SetIpNovo("10.1.2.3");
    ASSERT_TRUE(b.ConectarTcp("127.6.1.15"));
    std::string resultado;
    EXPECT_TRUE(b.e.ProgramarIp(resultado));
    EXPECT_EQ("IP não alterado", resultado);
    EXPECT_EQ(0u, b.e.ipModbus);
    EXPECT_TRUE(par.Recebido(1, 200ms).empty());
}

TEST(ProgramarIpRegistros, ExcecaoEmCadaMetade) {
    ParTcp par("127.6.1.16", 502);
    Bancada b(30);
    b.e.infoModelo.alterarIp = 1;
    b.e.SetIpNovo("10.1.2.3");
    ASSERT_TRUE(b.ConectarTcp("127.6.1.16"));
    par.Responder(ExcecaoModbus(0x10));
    par.Responder(EscritaModbusOk(1282));
    par.Responder(ExcecaoModbus(0x10));
    std::string resultado;
    EXPECT_FALSE(b.e.ProgramarIp(resultado));
    EXPECT_EQ("Falha ao programar IP parte LOW", resultado);
    // The first refusal ends the routine: register 1283 is not written.
    EXPECT_EQ(15u, par.Recebido(16, 200ms).size());
    EXPECT_FALSE(b.e.ProgramarIp(resultado));
    EXPECT_EQ("Falha ao programar IP parte HIGH", resultado);
    EXPECT_EQ(45u, par.Recebido(45).size());
}

// ---- the unframed blocks of families 1, 9, 15 and 6: no echo, no link

// A silent device fails the receive, a closed link the send; neither leaves
// an address read back.
TEST(ProgramarIpBlocos, SilencioELigacaoFechada) {
    const std::pair<uint32_t, const char*> modelos[] = {
        {8, "127.6.1.3"}, {27, "127.6.1.5"}, {19, "127.6.1.7"}, {21, "127.6.1.10"}};
    for (const auto& [modelo, endereco] : modelos) {
        SCOPED_TRACE(modelo);
        ParTcp par(endereco, 5003);
        Bancada b(modelo);
        b.e.SetIpNovo("10.1.2.3");
        b.e.SetIpLido("anterior");
        ASSERT_TRUE(b.ConectarTcp(endereco));
        par.Calar();
        std::string resultado;
        EXPECT_FALSE(b.e.ProgramarIp(resultado));
        EXPECT_EQ("Falha na recepção (recv).", resultado);
        EXPECT_EQ("anterior", b.e.GetIpLido());
        b.e.Desconecta();
        EXPECT_FALSE(b.e.ProgramarIp(resultado));
        EXPECT_EQ("Leitura de IP falhou.", resultado);
        EXPECT_EQ("anterior", b.e.GetIpLido());
    }
}

// ---- dispatch

TEST(ProgramarIp, FamiliaSemProgramacaoNaoTocaOResultado) {
    for (uint32_t modelo : {0u, 25u}) {
        SCOPED_TRACE(modelo);
        Bancada b(modelo);
        std::string resultado = "antes";
        EXPECT_FALSE(b.e.ProgramarIp(resultado));
        EXPECT_EQ("antes", resultado);
    }
    Bancada b(3);
    b.e.SetModelo(35);
    EXPECT_FALSE(b.e.CarregaInfoModelo());
    std::string resultado = "antes";
    EXPECT_FALSE(b.e.ProgramarIp(resultado));
    EXPECT_EQ("antes", resultado);
}

}  // namespace
}  // namespace tvx
