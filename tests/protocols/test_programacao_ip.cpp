// IP programming of every protocol family against a scripted loopback peer or
// a pseudo-terminal: the bytes on the wire, the read-back fields and the
// result texts. What a failing device does to a whole run is the fault
// matrix's; here are the states it cannot see.
#include <gtest/gtest.h>

#include "bancada.h"

namespace tvx {
namespace {

using namespace teste;

Bytes BlocoTexto(std::string_view ip, std::string_view mascara, std::string_view gateway) {
    return Juntar({Slot(ip, 20), Slot(mascara, 20), Slot(gateway, 20)});
}

// A 70-byte echo with its first bytes and a MAC at 64.
Bytes Eco(std::string_view inicio, std::string_view mac = "00 00 00 00 00 00") {
    Bytes eco = Juntar({Hex(std::string(inicio)), Bytes(70, 0)});
    eco.resize(64);
    return Juntar({eco, Hex(std::string(mac))});
}

const Bytes kComando = Juntar(
    {Texto("TVX5150S"), Slot("10.0.0.5", 20), Slot("255.255.255.0", 20), Slot("10.0.0.1", 20)});
const std::string kDle =
    "00 00 03 00 00 00 00 05 01 FF 00 4D 10 02 01 4C 16 " + ParaHex(kComando) + " 10 03 63 5E";
const char* const k1282 = "00 00 00 00 00 09 01 10 05 02 00 01 02 0A 01";
const char* const k1283 = "00 00 00 00 00 09 01 10 05 03 00 01 02 02 03";
const Bytes kFeito1282 = Hex("00 00 00 00 00 06 01 10 05 02 00 01");
const Bytes kFeito1283 = Hex("00 00 00 00 00 06 01 10 05 03 00 01");

// The byte another frame kind would test is no acknowledgement.
Bytes AckNoLugarErrado(int posicao) {
    Bytes r(12, 0x06);
    r[static_cast<size_t>(posicao)] = 0x15;
    return r;
}

void Registros(Bancada& b) {
    b.e.infoModelo.alterarIp = 1;
    b.e.SetIpNovo("10.1.2.3");
}

TEST(ProgramarIp, CadaFamiliaECadaMeio) {
    const Bytes kTexto = BlocoTexto("10.0.0.5", "255.255.255.0", "10.0.0.1");
    // clang-format off
    const std::vector<Caso> casos = {
        // Family 1: three 20-character texts, echoed.
        {"texto", 8, Meio::Tcp, {{ParaHex(kTexto), kTexto}}, true, "antes",
         "10.0.0.5 255.255.255.0 10.0.0.1"},
        // A text that fills its slot goes without a terminator; so may the echo.
        {"texto longo", 8, Meio::Tcp,
         {{ParaHex(Juntar({Texto("12345678901234567890"), Slot("255.255.255.0", 20),
                           Slot("10.0.0.1", 20)})),
           BlocoTexto("ABCDEFGHIJKLMNOPQRST", "255.255.255.0", "10.0.0.1")}},
         true, "antes", "ABCDEFGHIJKLMNOPQRST 255.255.255.0 10.0.0.1",
         [](Bancada& b) { b.e.SetIpNovo("1234567890123456789012345"); }},
        {"texto mudo", 8, Meio::Tcp, {{ParaHex(kTexto), {}}}, false,
         "Falha na recepção (recv).", "anterior  ", [](Bancada& b) { b.e.SetIpLido("anterior"); }},
        // Family 9: the universal gateway record, 64 bytes out, 70 back.
        {"gateway universal", 1, Meio::Tcp,
         {{"0A 01 02 03 FF FF FF 00 0A 01 02 01 0A 00 00 C8 03 04 06 AA " + ParaHex(Bytes(44, 0)),
           Eco("0A 01 02 03 FF FF FF 00 0A 01 02 01")}},
         true, "antes", "010.001.002.003 255.255.255.000 010.001.002.001",
         [](Bancada& b) {
             b.e.SetIpNovo("10.1.2.3");
             b.e.SetGatewayNovo("10.1.2.1");
             const Bytes antes = Hex("EE 00 00 00 00 00 00 00 00 00 00 00 0A 00 00 C8 03 04 06 AA");
             std::copy(antes.begin(), antes.end(), b.e.registroGatewayUniversal.begin());
             b.e.registroGatewayUniversal[69] = 0x77;  // beyond the 64 bytes sent
         },
         [](Bancada& b) {
             EXPECT_EQ("0A 01 02 03 FF FF FF 00 0A 01 02 01",
                       ParaHex(b.e.registroGatewayUniversal.data(), 12));
         }},
        // Family 15: the Modbus gateway table, start registers turned in the
        // copy only; the echo's MAC is shown.
        {"gateway modbus", 19, Meio::Tcp,
         {{ParaHex(Juntar({Hex("C0 A8 01 32 FF FF 00 00 C0 A8 01 01"), Bytes(20, 0),
                           Hex("09 00 00 00 00 03 00 00 00 00 12 34 00 00 00 00 00 00 00 01 7D "
                               "00 00 00 00 00 00 06"), Bytes(10, 0)})),
           Eco("C0 A8 01 32 FF FF 00 00 C0 A8 01 01", "00 1A 2B 3C 4D 5E")}},
         true, "antesMAC=00:1A:2B:3C:4D:5E\r\n", "192.168.001.050 255.255.000.000 192.168.001.001",
         [](Bancada& b) {
             b.e.SetIpNovo("192.168.1.50");
             b.e.SetMascaraNova("255.255.0.0");
             b.e.SetGatewayNovo("192.168.1.1");
             auto& r = b.e.registroGatewayModbus;
             r[42] = 0x34, r[43] = 0x12;  // meter 1 starts at 0x1234, low byte first
             r[50] = 0x01;                // meter 5 at 0x0001
             r[32] = 9, r[37] = 3, r[52] = 125, r[59] = 6;
         },
         [](Bancada& b) {
             EXPECT_EQ("34 12 00 00 00 00 00 00 01 00",
                       ParaHex(b.e.registroGatewayModbus.data() + 42, 10));
             EXPECT_EQ(0, b.e.registroGatewayModbus[0]);  // the stored record keeps no address
         }},
        // Family 6: the TX gateway record, checked against the echoed address.
        {"gateway tx", 21, Meio::Tcp,
         {{ParaHex(Juntar({Hex("0A 00 00 09 FF 00 00 00 0A 00 00 01 0A 00 00 28"), Bytes(16, 0),
                           Hex("02"), Bytes(37, 0)})),
           Eco("0A 00 00 09 FF 00 00 00 0A 00 00 01", "AA BB CC 01 02 03")}},
         true, "antesMAC=AA:BB:CC:01:02:03\r\n", "010.000.000.009 255.000.000.000 010.000.000.001",
         [](Bancada& b) {
             b.e.SetIpNovo("10.0.0.9");
             b.e.SetMascaraNova("255.0.0.0");
             auto& r = b.e.registroGatewayTx;
             r[12] = 10, r[15] = 40, r[32] = 2;  // "RTU11 à RTU15"
         },
         [](Bancada& b) { EXPECT_EQ(0, b.e.registroGatewayTx[0]); }},
        {"gateway tx eco de outro ip", 28, Meio::Tcp,
         {{"0A 00 00 09 FF FF FF 00 0A 00 00 01 " + ParaHex(Bytes(58, 0)),
           Eco("C0 A8 00 65 FF FF FF 00 C0 A8 00 01", "AA BB CC 01 02 03")}},
         false, "Falha na programação.Reprograme o MAC.", "anterior m g",
         [](Bancada& b) {
             b.e.SetIpNovo("10.0.0.9");
             b.e.SetIpLido("anterior");
             b.e.SetMascaraLida("m");
             b.e.SetGatewayLido("g");
         }},
        // Family 10: framed command 'L' 22, acknowledged where the frame kind says.
        {"comando dle", 3, Meio::Tcp, {{kDle, Ack(kQuadroDle, true)}}, true, "Programação de IP OK."},
        {"comando recusado", 15, Meio::Tcp, {{kDle, Ack(kQuadroDle, true, false)}}, false,
         "Falha na programação."},
        {"ack errado kind 6", 2, Meio::Tcp, {{kDle, AckNoLugarErrado(5)}}, false,
         "Falha na programação."},
        {"kind 6 rtu FE", 24, Meio::Tcp,
         {{"00 00 03 00 00 00 00 05 FE FF 00 4D 10 02 FE 4C 16 " + ParaHex(kComando) +
               " 10 03 C7 22", Ack(kQuadroDleCurto, true)}}, true, "Programação de IP OK."},
        {"ack errado kind 6 rtu FE", 24, Meio::Tcp,
         {{"00 00 03 00 00 00 00 05 FE FF 00 4D 10 02 FE 4C 16 " + ParaHex(kComando) +
               " 10 03 C7 22", AckNoLugarErrado(5)}}, false, "Falha na programação."},
        {"simples", 6, Meio::Tcp, {{"4C 16 " + ParaHex(kComando), Ack(kQuadroSimples, true)}}, true,
         "Programação de IP OK."},
        {"ack errado simples", 6, Meio::Tcp, {{"4C 16 " + ParaHex(kComando), AckNoLugarErrado(0)}},
         false, "Falha na programação."},
        {"serial dle", 3, Meio::Serial,
         {{"10 02 01 4C 16 " + ParaHex(kComando) + " 10 03 63 5E", Ack(kQuadroDle, false)}}, true,
         "Programação de IP OK."},
        {"serial kind 6 rtu 7", 22, Meio::Serial,
         {{"10 02 07 4C 16 " + ParaHex(kComando) + " 10 03 F6 23", Ack(kQuadroDleCurto, false)}},
         true, "Programação de IP OK.", "", [](Bancada& b) { b.e.SetRtu(7); }},
        {"serial recusado", 22, Meio::Serial,
         {{"10 02 07 4C 16 " + ParaHex(kComando) + " 10 03 F6 23",
           Ack(kQuadroDleCurto, false, false)}},
         false, "Falha na programação.", "", [](Bancada& b) { b.e.SetRtu(7); }},
        {"serial fechada", 3, Meio::Nenhum, {}, false, "Programação de IP falhou.", "",
         [](Bancada& b) { b.e.SetMeio(kMeioSerial); }},
        // Family 21: registers 1282 and 1283, octets in order.
        {"registros", 30, Meio::Tcp, {{k1282, kFeito1282}, {k1283, kFeito1283}}, true, "", "",
         Registros,
         [](Bancada& b) {
             EXPECT_EQ(0x0302010Au, b.e.ipModbus);
             EXPECT_TRUE(b.e.canal.UsaTcp());
             EXPECT_EQ(1, b.e.canal.EnderecoRtu());
             EXPECT_EQ(kQuadroModbus, b.e.canal.TipoQuadro());
         }},
        {"registros sem alterar ip", 30, Meio::Tcp, {}, true, "IP não alterado", "",
         [](Bancada& b) { b.e.SetIpNovo("10.1.2.3"); },
         [](Bancada& b) { EXPECT_EQ(0u, b.e.ipModbus); }},
        // The first refusal ends the routine: register 1283 is not written.
        {"registros excecao low", 30, Meio::Tcp, {{k1282, ExcecaoModbus(0x10)}}, false,
         "Falha ao programar IP parte LOW", "", Registros},
        {"registros excecao high", 30, Meio::Tcp,
         {{k1282, kFeito1282}, {k1283, ExcecaoModbus(0x10)}}, false,
         "Falha ao programar IP parte HIGH", "", Registros},
        // Families without IP programming leave the result alone.
        {"nenhum", 0, Meio::Nenhum, {}, false, "antes"},
        {"modelo 25", 25, Meio::Nenhum, {}, false, "antes"},
    };
    // clang-format on
    Rodar(Rotina::ProgramarIp, casos);
}

}  // namespace
}  // namespace tvx
