// The Modbus module: its register map over Modbus TCP and over a serial line.
#include <gtest/gtest.h>
#include <unistd.h>

#include "sim/cliente.h"
#include "sim/simulador.h"
#include "support/par_tcp.h"

namespace tvx::teste {
namespace {

using sim::Simulador;

std::vector<uint8_t> Leitura(uint16_t registro, uint16_t quantidade, bool tcp = true) {
    uint8_t rtu[8];
    MontarLeituraModbus(rtu, 1, registro, quantidade);
    if (!tcp) {
        return {rtu, rtu + 8};
    }
    uint8_t quadro[12];
    RtuParaTcp(quadro, rtu, 8);
    return {quadro, quadro + 12};
}

std::vector<uint8_t> Escrita(uint16_t registro, const std::vector<uint8_t>& dados,
                             bool tcp = true) {
    uint8_t rtu[300];
    const int n = MontarEscritaModbus(rtu, 1, registro, static_cast<uint8_t>(dados.size() / 2),
                                      static_cast<uint8_t>(dados.size()), dados.data());
    if (!tcp) {
        return {rtu, rtu + n};
    }
    uint8_t quadro[304];
    RtuParaTcp(quadro, rtu, n);
    return {quadro, quadro + n + 4};
}

// The standard port needs root; elsewhere any free one shows the same.
uint16_t PortaModbus() {
    return geteuid() == 0 ? 0 : 15020;
}

TEST(SimModbus, MeasurementsAreFloatsWithTheLowHalfFirst) {
    Servido s(30, "127.77.3.1", PortaModbus());
    if (geteuid() == 0) {
        EXPECT_EQ(s.sim.PortaTcp(), 502);
    }
    ClienteTcp c = s.Conectar();
    const auto r = c.Trocar(Leitura(1024, 14), 37);
    EXPECT_EQ(ParaHex(r),
              "00 00 00 00 00 1F 01 03 1C "
              "00 00 40 84 00 00 3F E0 80 00 42 FE 00 00 3F 00 "
              "40 00 42 FA 00 00 41 FC 00 00 41 EE");
}

TEST(SimModbus, ProgrammingRegistersReadAndWrite) {
    Servido s(30, "127.77.3.2", PortaModbus());
    ClienteTcp c = s.Conectar();
    EXPECT_EQ(ParaHex(c.Trocar(Leitura(1280, 4), 17)),
              "00 00 00 00 00 0B 01 03 08 FF FF 00 03 C0 A8 00 65");
    EXPECT_EQ(ParaHex(c.Trocar(Escrita(1282, {0x0A, 0x01}), 12)),
              "00 00 00 00 00 06 01 10 05 02 00 01");
    EXPECT_EQ(ParaHex(c.Trocar(Escrita(1283, {0x02, 0x03}), 12)),
              "00 00 00 00 00 06 01 10 05 03 00 01");
    EXPECT_EQ(s.sim.Estado().ip, Ip(10, 1, 2, 3));
    EXPECT_EQ(ParaHex(c.Trocar(Escrita(1280, {0x00, 0x05, 0x00, 0x01}), 12)),
              "00 00 00 00 00 06 01 10 05 00 00 02");
    EXPECT_EQ(s.sim.Estado().entradas, 5);
    EXPECT_EQ(s.sim.Estado().saidas, 1);
    EXPECT_EQ(ParaHex(c.Trocar(Leitura(1280, 4), 17)),
              "00 00 00 00 00 0B 01 03 08 00 05 00 01 0A 01 02 03");
}

TEST(SimModbus, ExceptionsForWhatTheMapLacks) {
    Servido s(30, "127.77.3.3", PortaModbus());
    ClienteTcp c = s.Conectar();
    EXPECT_EQ(ParaHex(c.Trocar(Leitura(1030, 10), 9)), "00 00 00 00 00 03 01 83 02");
    EXPECT_EQ(ParaHex(c.Trocar(Leitura(1024, 0), 9)), "00 00 00 00 00 03 01 83 03");
    EXPECT_EQ(ParaHex(c.Trocar(Escrita(1024, {0, 1}), 9)), "00 00 00 00 00 03 01 90 02");
    EXPECT_EQ(ParaHex(c.Trocar(Hex("00 07 00 00 00 06 01 04 04 00 00 01"), 9)),
              "00 07 00 00 00 03 01 84 01");
    EXPECT_EQ(s.sim.Estado().medicoes[0], 4.125f);
}

TEST(SimModbus, RtuOverTheSerialLinePassesTheProgramsChecker) {
    Simulador sim(30);
    const std::string caminho = sim.IniciarSerial();
    ASSERT_FALSE(caminho.empty());
    LinhaSerial linha(caminho);
    const auto pedido = Leitura(1280, 4, false);
    const auto r = linha.Trocar(pedido, 13);
    ASSERT_EQ(r.size(), 13u);
    EXPECT_EQ(ParaHex(std::vector<uint8_t>(r.begin(), r.begin() + 11)),
              "01 03 08 FF FF 00 03 C0 A8 00 65");
    uint8_t resposta[kTamanhoMinimoRespostaModbus] = {};
    uint16_t estado = 0;
    uint8_t contador = 0, status = 0;
    int resultado = kAnaliseProximoByte;
    for (size_t i = 0; i < r.size() && resultado == kAnaliseProximoByte; ++i) {
        resultado = AnalisarRespostaModbus(pedido.data(), resposta, estado, r[i], contador, status);
    }
    EXPECT_EQ(resultado, kAnaliseFim);
    EXPECT_EQ(status, kModbusOk);

    const auto escrita = Escrita(1282, {0x0A, 0x01}, false);
    const auto eco = linha.Trocar(escrita, 8);
    ASSERT_EQ(eco.size(), 8u);
    estado = 0;
    contador = status = 0;
    resultado = kAnaliseProximoByte;
    for (size_t i = 0; i < eco.size() && resultado == kAnaliseProximoByte; ++i) {
        resultado =
            AnalisarRespostaModbus(escrita.data(), resposta, estado, eco[i], contador, status);
    }
    EXPECT_EQ(status, kModbusOk);
    EXPECT_EQ(sim.Estado().ip, Ip(10, 1, 0, 101));

    // A request damaged on the line is not answered.
    auto danificado = Leitura(1280, 4, false);
    danificado[7] ^= 0x01;
    linha.Enviar(danificado);
    EXPECT_TRUE(linha.Receber(1, 500ms).empty());
}

}  // namespace
}  // namespace tvx::teste
