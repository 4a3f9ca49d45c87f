// Framed commands over the pseudo-terminal: bare DLE frames, replies of 12
// and 10 bytes with the acknowledgement at byte 5 or 3, and the telemetry
// unit's 'P' commands.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "sim/cliente.h"
#include "sim/simulador.h"
#include "support/par_tcp.h"

namespace tvx::teste {
namespace {

using sim::Simulador;

std::vector<uint8_t> ComCrc(std::vector<uint8_t> bytes) {
    const uint16_t crc = CrcCms(bytes, 0, bytes.size());
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    return bytes;
}

struct Linha {
    explicit Linha(uint32_t modelo) : sim(modelo), caminho(sim.IniciarSerial()), linha(caminho) {}
    Simulador sim;
    std::string caminho;
    LinhaSerial linha;
};

TEST(SimSerial, LongFormIsTwelveBytesWithTheAckAtFive) {
    Linha l(3);
    EXPECT_EQ(l.sim.CaminhoSerial(), l.caminho);
    const auto r =
        l.linha.Trocar(QuadroDle(1, 'L', 22, CargaIp("10.0.0.5", "255.0.0.0", "0.0.0.0")), 12);
    EXPECT_EQ(ParaHex(r), ParaHex(ComCrc(Hex("10 02 01 4C 16 06 00 00 10 03"))));
}

TEST(SimSerial, ShortFormIsTenBytesWithTheAckAtThree) {
    Linha l(2);
    const auto r =
        l.linha.Trocar(QuadroDle(1, 'L', 22, CargaIp("10.0.0.5", "255.0.0.0", "0.0.0.0")), 10);
    EXPECT_EQ(ParaHex(r), ParaHex(ComCrc(Hex("10 02 01 06 4C 16 10 03"))));
}

TEST(SimSerial, ReadTextStartsAtByteThree) {
    Linha l(2);
    const auto r = l.linha.Trocar(QuadroDle(1, 'L', 31), 100);
    ASSERT_GT(r.size(), 3u);
    EXPECT_EQ(ParaHex(std::vector<uint8_t>(r.begin(), r.begin() + 3)), "10 02 01");
    EXPECT_EQ(TextoEm(r, 3).rfind("TVX3300E\r\nIP: 192.168.0.101\r\n", 0), 0u);
}

TEST(SimSerial, TelemetryUnitTakesItsSteps) {
    Linha l(25);
    // 'P' commands come in the long form, 'L' commands in the model's short form.
    auto r = l.linha.Trocar(QuadroDle(0, 'P', 1, {5, 3, 31, 14, 7, 9}), 12);
    EXPECT_EQ(ParaHex(r), ParaHex(ComCrc(Hex("10 02 00 50 01 06 00 00 10 03"))));
    r = l.linha.Trocar(QuadroDle(0, 'P', 5), 12);
    EXPECT_EQ(r[5], kAck);
    std::vector<uint8_t> campos(866, 0);
    for (size_t i : {0u, 27u, 54u}) {
        campos[i] = i == 0 ? 1 : i == 27 ? 3 : 4;
        campos[i + 1] = 0x20;
        campos[i + 2] = 1;
        campos[i + 6] = 1;
        campos[i + 12] = 0x10;  // ION RTU 16: doubled on the wire
        campos[i + 13] = 0x22;
    }
    r = l.linha.Trocar(QuadroDle(0, 'P', 4, campos), 12);
    EXPECT_EQ(r[5], kAck);
    r = l.linha.Trocar(QuadroDle(0, 'L', 28, ComTag("TVX3300W", {15})), 10);
    EXPECT_EQ(ParaHex(r), ParaHex(ComCrc(Hex("10 02 00 06 4C 1C 10 03"))));
    const auto e = l.sim.Estado();
    EXPECT_EQ(ParaHex(e.relogio.data(), 6), "05 03 1F 0E 07 09");
    EXPECT_TRUE(e.memoriaMassaZerada);
    EXPECT_EQ(e.camposMemoria, campos);
    EXPECT_EQ(e.tempoReconexao, 15);
    const std::string texto = TextoEm(l.linha.Trocar(QuadroDle(0, 'L', 31), 200), 3);
    EXPECT_NE(texto.find("Reconex\xE3o: 15 min\r\nRel\xF3gio: 05/03/31 14:07:09\r\n"
                         "Mem\xF3ria de massa: zerada\r\nCampos de mem\xF3ria: ION\r\n"),
              std::string::npos)
        << texto;
}

TEST(SimSerial, OutOfRangeValuesAreRefused) {
    Linha l(25);
    auto r = l.linha.Trocar(QuadroDle(0, 'P', 1, {32, 3, 31, 14, 7, 9}), 12);
    EXPECT_EQ(ParaHex(r), ParaHex(ComCrc(Hex("10 02 00 50 01 15 00 05 10 03"))));
    r = l.linha.Trocar(QuadroDle(0, 'L', 28, ComTag("TVX3300W", {0})), 10);
    EXPECT_EQ(r[3], 0x15);
    r = l.linha.Trocar(QuadroDle(0, 'L', 28, ComTag("TVX3300W", {241})), 10);
    EXPECT_EQ(r[3], 0x15);
    // The web unit has no IP command.
    r = l.linha.Trocar(QuadroDle(0, 'L', 22, CargaIp("10.0.0.5", "255.0.0.0", "0.0.0.0")), 10);
    EXPECT_EQ(r[3], 0x15);
    EXPECT_EQ(l.sim.Estado().relogio[0], 0);
    EXPECT_EQ(l.sim.Estado().tempoReconexao, 5);
}

TEST(SimSerial, NoiseBeforeAFrameIsSkipped) {
    Linha l(3);
    auto pedido = Hex("FF 00 13 10 7E");
    const auto quadro = QuadroDle(1, 'L', 31);
    pedido.insert(pedido.end(), quadro.begin(), quadro.end());
    const auto r = l.linha.Trocar(pedido, 100);
    EXPECT_EQ(TextoEm(r, 3).rfind("TVX5150S\r\n", 0), 0u);
    // A frame cut short is dropped once the line has been quiet, and the next one is answered.
    l.linha.Enviar(std::vector<uint8_t>(quadro.begin(), quadro.begin() + 5));
    EXPECT_TRUE(l.linha.Receber(1, 400ms).empty());
    EXPECT_EQ(
        l.linha.Trocar(QuadroDle(1, 'L', 22, CargaIp("10.0.0.5", "255.0.0.0", "0.0.0.0")), 12)[5],
        kAck);
}

TEST(SimSerial, RandomBytesNeverStopTheLine) {
    Linha l(2);
    std::mt19937 gerador(99);
    for (int i = 0; i < 16; ++i) {
        std::vector<uint8_t> lixo(4096);
        for (auto& b : lixo) {
            b = static_cast<uint8_t>(gerador());
        }
        l.linha.Enviar(lixo);
        l.linha.Receber(SIZE_MAX, 20ms);
    }
    l.linha.Receber(SIZE_MAX, 300ms);
    EXPECT_EQ(
        l.linha.Trocar(QuadroDle(1, 'L', 22, CargaIp("10.0.0.5", "255.0.0.0", "0.0.0.0")), 10)[3],
        kAck);
}

TEST(SimSerial, VanishingPeerClosesTheLine) {
    Linha l(3);
    l.sim.DefinirFalha(sim::Falha::SumirSerial);
    l.linha.Enviar(QuadroDle(1, 'L', 31));
    const auto r = l.linha.Receber(1, 2s);
    EXPECT_TRUE(r.empty());
    EXPECT_TRUE(l.linha.Fechado());
    const auto inicio = std::chrono::steady_clock::now();
    l.sim.Parar();
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, 1s);
}

}  // namespace
}  // namespace tvx::teste
