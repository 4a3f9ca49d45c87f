// Framed commands over loopback TCP: where the acknowledgement lies for each
// frame kind, the configuration text, and the state the commands leave.
#include <gtest/gtest.h>

#include "sim/cliente.h"
#include "sim/simulador.h"
#include "support/par_tcp.h"

namespace tvx::teste {
namespace {

using sim::Simulador;

std::vector<uint8_t> ComCrc(std::vector<uint8_t> bytes, size_t inicio) {
    const uint16_t crc = CrcCms(bytes, inicio, bytes.size());
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    return bytes;
}

TEST(SimComandos, LongFormAcknowledgesAtByteSevenOverTcp) {
    Servido s(3, "127.77.1.2");
    ClienteTcp c = s.Conectar();
    const auto resposta =
        c.Trocar(QuadroDleTcp(1, 'L', 22, CargaIp("10.0.0.5", "255.255.0.0", "10.0.0.1")), 14);
    EXPECT_EQ(ParaHex(resposta), ParaHex(ComCrc(Hex("00 0C 10 02 01 4C 16 06 00 00 10 03"), 2)));
    EXPECT_EQ(resposta[7], kAck);
}

TEST(SimComandos, ShortFormAcknowledgesAtByteFiveOverTcp) {
    Servido s(2, "127.77.1.3");
    ClienteTcp c = s.Conectar();
    const auto resposta =
        c.Trocar(QuadroDleTcp(1, 'L', 22, CargaIp("10.0.0.5", "255.255.0.0", "10.0.0.1")), 12);
    EXPECT_EQ(ParaHex(resposta), ParaHex(ComCrc(Hex("00 0A 10 02 01 06 4C 16 10 03"), 2)));
}

TEST(SimComandos, PlainFrameAcknowledgesFirst) {
    Servido s(18, "127.77.1.4");
    ClienteTcp c = s.Conectar();
    const auto resposta =
        c.Trocar(QuadroSimples('L', 22, CargaIp("10.0.0.5", "255.255.0.0", "10.0.0.1")), 3);
    EXPECT_EQ(ParaHex(resposta), "06 4C 16");
}

TEST(SimComandos, ReadTextLiesWhereTheProgramLooks) {
    {
        Servido s(3, "127.77.1.5");
        ClienteTcp c = s.Conectar();
        const auto resposta = c.Trocar(QuadroDleTcp(1, 'L', 31), 200);
        ASSERT_GT(resposta.size(), 5u);
        EXPECT_EQ(ParaHex(std::vector<uint8_t>(resposta.begin() + 2, resposta.begin() + 5)),
                  "10 02 01");
        EXPECT_EQ(TextoEm(resposta, 5),
                  "TVX5150S\r\nIP: 192.168.0.101\r\nMask: 255.255.255.0\r\nGateway: 0.0.0.0\r\n"
                  "MAC: 02:B4:6D:00:03:65\r\nRTU: 1\r\n");
        // The frame closes behind the zero: DLE ETX and the CRC of the frame.
        const size_t zero = 5 + TextoEm(resposta, 5).size();
        ASSERT_EQ(resposta.size(), zero + 5);
        EXPECT_EQ(resposta[zero + 1], kDle);
        EXPECT_EQ(resposta[zero + 2], kEtx);
        EXPECT_EQ(resposta[zero + 3] << 8 | resposta[zero + 4], CrcCms(resposta, 2, zero + 3));
        EXPECT_EQ(resposta[0] << 8 | resposta[1], resposta.size() - 2);
    }
    {
        Servido s(6, "127.77.1.6");
        ClienteTcp c = s.Conectar();
        const auto resposta = c.Trocar(QuadroSimples('L', 31), 100);
        EXPECT_EQ(TextoEm(resposta, 0).substr(0, 22), "TVX6400ST\r\nIP: 192.168");
        EXPECT_EQ(resposta.back(), 0);
    }
}

TEST(SimComandos, TextFitsTheProgramsBufferWhateverIsStored) {
    Servido s(24, "127.77.1.7");
    sim::EstadoEquipamento e = sim::EstadoInicial(24);
    e.idTelemetria = std::string(40, 'I');
    e.url = std::string(81, 'U');
    s.sim.DefinirEstado(e);
    ClienteTcp c = s.Conectar();
    const auto resposta = c.Trocar(QuadroDleTcp(0xFE, 'L', 31), 300);
    const std::string texto = TextoEm(resposta, 5);
    EXPECT_LE(5 + texto.size() + 1, 279u);
    EXPECT_NE(texto.find("ID: " + std::string(40, 'I') + "\r\n"), std::string::npos);
    // The URL line no longer fits and is left out whole.
    EXPECT_EQ(texto.find("URL:"), std::string::npos);
}

TEST(SimComandos, AddressesWaitForTheRestartAndSurviveReconnection) {
    Servido s(3, "127.77.1.8");
    {
        ClienteTcp c = s.Conectar();
        EXPECT_EQ(
            c.Trocar(QuadroDleTcp(1, 'L', 22, CargaIp("10.1.2.3", "255.255.255.128", "10.1.2.1")),
                     14)[7],
            kAck);
    }
    auto e = s.sim.Estado();
    EXPECT_EQ(e.ip, Ip(192, 168, 0, 101));
    ASSERT_TRUE(e.pendente.has_value());
    EXPECT_EQ((*e.pendente)[0], Ip(10, 1, 2, 3));
    {
        ClienteTcp c = s.Conectar();
        const std::string texto = TextoEm(c.Trocar(QuadroDleTcp(1, 'L', 31), 100), 5);
        EXPECT_NE(texto.find("IP: 192.168.0.101\r\n"), std::string::npos);
        // The restart is acknowledged, then the equipment drops the link.
        EXPECT_EQ(c.Trocar(QuadroDleTcp(1, 'L', 24, ComTag("TVX5150S", {})), 14)[7], kAck);
        EXPECT_TRUE(c.FechadoPeloPar());
    }
    e = s.sim.Estado();
    EXPECT_FALSE(e.pendente.has_value());
    EXPECT_EQ(e.ip, Ip(10, 1, 2, 3));
    EXPECT_EQ(e.mascara, Ip(255, 255, 255, 128));
    EXPECT_EQ(e.gateway, Ip(10, 1, 2, 1));
    EXPECT_EQ(e.resets, 1);
    ClienteTcp c = s.Conectar();
    const std::string texto = TextoEm(c.Trocar(QuadroDleTcp(1, 'L', 31), 100), 5);
    EXPECT_NE(texto.find("IP: 10.1.2.3\r\nMask: 255.255.255.128\r\nGateway: 10.1.2.1\r\n"),
              std::string::npos);
}

TEST(SimComandos, PowerCycleAppliesPendingAddressesAndDropsConnections) {
    Servido s(22, "127.77.1.9");
    ClienteTcp c = s.Conectar();
    EXPECT_EQ(
        c.Trocar(QuadroDleTcp(1, 'L', 22, CargaIp("10.9.8.7", "255.0.0.0", "0.0.0.0")), 12)[5],
        kAck);
    s.sim.Reiniciar();
    EXPECT_TRUE(c.FechadoPeloPar());
    EXPECT_EQ(s.sim.Estado().ip, Ip(10, 9, 8, 7));
}

TEST(SimComandos, RefusesWhatTheEquipmentCannotTake) {
    Servido s(3, "127.77.1.10");
    const auto motivo = [&](const std::vector<uint8_t>& pedido) {
        ClienteTcp c = s.Conectar();
        const auto r = c.Trocar(pedido, 14);
        EXPECT_EQ(r.size(), 14u);
        EXPECT_EQ(r[7], 0x15) << ParaHex(r);
        return r.size() == 14 ? r[8] << 8 | r[9] : -1;
    };
    // Wrong tag, wrong length, a step this model lacks, an address that is no address.
    EXPECT_EQ(
        motivo(QuadroDleTcp(1, 'L', 22, CargaIp("10.0.0.5", "255.0.0.0", "0.0.0.0", "TVX3300S"))),
        4);
    EXPECT_EQ(motivo(QuadroDleTcp(1, 'L', 22, ComTag("TVX5150S", {1, 2}))), 3);
    EXPECT_EQ(
        motivo(QuadroDleTcp(1, 'L', 20, ComTag("TVX5150S", Hex("4D 41 43 3D 01 02 03 04 05 06")))),
        2);
    EXPECT_EQ(motivo(QuadroDleTcp(1, 'L', 22, CargaIp("10.0.0.256", "255.0.0.0", "0.0.0.0"))), 5);
    // A frame whose check value was damaged on the way.
    auto quadro = QuadroDleTcp(1, 'L', 22, CargaIp("10.0.0.5", "255.0.0.0", "0.0.0.0"));
    quadro.back() ^= 0xFF;
    EXPECT_EQ(motivo(quadro), 1);
    EXPECT_FALSE(s.sim.Estado().pendente.has_value());
}

TEST(SimComandos, DoubledBytesAreUndoneBeforeUse) {
    Servido s(3, "127.77.1.11");
    ClienteTcp c = s.Conectar();
    // RTU 0x10 and a 0x10 in the payload are doubled on the wire.
    auto carga = CargaIp("10.16.0.5", "255.0.0.0", "0.0.0.0");
    carga[60] = 0x10;  // inside the gateway slot, after its zero: ignored
    const auto quadro = QuadroDleTcp(0x10, 'L', 22, carga);
    EXPECT_EQ(quadro[12 + 2], 0x10);
    EXPECT_EQ(quadro[12 + 3], 0x10);
    const auto r = c.Trocar(quadro, 14);
    EXPECT_EQ(r[7], kAck) << ParaHex(r);
    EXPECT_EQ((*s.sim.Estado().pendente)[0], Ip(10, 16, 0, 5));
}

TEST(SimComandos, TelemetrySettingsAreStoredAndReadBack) {
    Servido s(23, "127.77.1.12");
    ClienteTcp c = s.Conectar();
    EXPECT_EQ(c.Trocar(QuadroDleTcp(1, 'L', 2, ComTag("TVX3000A", {7, 9})), 12)[5], kAck);
    std::vector<uint8_t> id(41, 0);
    id[0] = 3;
    std::string texto = "ID-123";
    std::copy(texto.begin(), texto.end(), id.begin() + 1);
    EXPECT_EQ(c.Trocar(QuadroDleTcp(1, 'L', 25, ComTag("TVX3300S", id)), 12)[5], kAck);
    std::vector<uint8_t> url(81, 0);
    texto = "telemetria.example:4000";
    std::copy(texto.begin(), texto.end(), url.begin());
    EXPECT_EQ(c.Trocar(QuadroDleTcp(1, 'L', 26, ComTag("TVX3300S", url)), 12)[5], kAck);
    EXPECT_EQ(
        c.Trocar(QuadroDleTcp(1, 'L', 20, ComTag("TVX5150S", Hex("4D 41 43 3D 00 1A 2B 3C 4D 5E"))),
                 12)[5],
        kAck);
    const auto e = s.sim.Estado();
    EXPECT_EQ(e.rtu, 7);
    EXPECT_EQ(e.velocidade, 9);
    EXPECT_EQ(e.operadora, 3);
    EXPECT_EQ(e.idTelemetria, "ID-123");
    EXPECT_EQ(e.url, "telemetria.example:4000");
    EXPECT_EQ(ParaHex(e.mac.data(), 6), "00 1A 2B 3C 4D 5E");
    const std::string lido = TextoEm(c.Trocar(QuadroDleTcp(7, 'L', 31), 200), 5);
    EXPECT_NE(lido.find("MAC: 00:1A:2B:3C:4D:5E\r\nRTU: 7\r\nVelocidade: 38400\r\nOperadora: 3\r\n"
                        "ID: ID-123\r\nURL: telemetria.example:4000\r\n"),
              std::string::npos)
        << lido;
}

TEST(SimComandos, LogsEachExchange) {
    Servido s(2, "127.77.1.13");
    std::vector<sim::Troca> vistas;
    std::mutex m;
    s.sim.AoTrocar([&](const sim::Troca& t) {
        std::lock_guard<std::mutex> l(m);
        vistas.push_back(t);
    });
    ClienteTcp c = s.Conectar();
    const auto pedido = QuadroDleTcp(1, 'L', 22, CargaIp("10.0.0.5", "255.0.0.0", "0.0.0.0"));
    const auto resposta = c.Trocar(pedido, 12);
    ASSERT_TRUE(s.sim.AguardarPedidos(1, 2s));
    const auto trocas = s.sim.Trocas();
    ASSERT_EQ(trocas.size(), 2u);
    EXPECT_TRUE(trocas[0].recebido);
    EXPECT_EQ(trocas[0].bytes, pedido);
    EXPECT_NE(trocas[0].descricao.find("'L' 22"), std::string::npos);
    EXPECT_NE(trocas[0].descricao.find("10.0.0.5"), std::string::npos);
    EXPECT_FALSE(trocas[1].recebido);
    EXPECT_EQ(trocas[1].bytes, resposta);
    EXPECT_EQ(trocas[1].descricao.rfind("ACK", 0), 0u);
    std::lock_guard<std::mutex> l(m);
    EXPECT_EQ(vistas.size(), 2u);
}

}  // namespace
}  // namespace tvx::teste
