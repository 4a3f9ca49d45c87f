// The unframed blocks of the gateways and text-addressed meters.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "core/registros.h"
#include "sim/cliente.h"
#include "sim/simulador.h"
#include "support/par_tcp.h"

namespace tvx::teste {
namespace {

using sim::Simulador;

std::vector<uint8_t> Textos(const std::string& ip, const std::string& mascara,
                            const std::string& gateway) {
    std::vector<uint8_t> bloco(60, 0);
    std::memcpy(bloco.data(), ip.data(), std::min<size_t>(ip.size(), 20));
    std::memcpy(bloco.data() + 20, mascara.data(), std::min<size_t>(mascara.size(), 20));
    std::memcpy(bloco.data() + 40, gateway.data(), std::min<size_t>(gateway.size(), 20));
    return bloco;
}

std::vector<uint8_t> Registro(size_t tamanho, uint32_t ip, uint32_t mascara, uint32_t gateway) {
    std::vector<uint8_t> bloco(tamanho, 0);
    EscreverIpRegistro(bloco.data(), 0, ip);
    EscreverIpRegistro(bloco.data(), 4, mascara);
    EscreverIpRegistro(bloco.data(), 8, gateway);
    return bloco;
}

std::string Campo(const std::vector<uint8_t>& b, size_t inicio) {
    return TextoEm(std::vector<uint8_t>(b.begin() + static_cast<long>(inicio),
                                        b.begin() + static_cast<long>(inicio) + 20),
                   0);
}

TEST(SimBlocos, TextBlockEchoesTheAddressesNowInForce) {
    Servido s(8, "127.77.2.1");
    ClienteTcp c = s.Conectar();
    auto r = c.Trocar(Textos("10.0.0.5", "255.255.255.0", "10.0.0.1"), 60);
    ASSERT_EQ(r.size(), 60u);
    EXPECT_EQ(Campo(r, 0), "10.0.0.5");
    EXPECT_EQ(Campo(r, 20), "255.255.255.0");
    EXPECT_EQ(Campo(r, 40), "10.0.0.1");
    EXPECT_EQ(s.sim.Estado().ip, Ip(10, 0, 0, 5));
    // Texts that are no addresses change nothing: the echo shows what is kept.
    r = c.Trocar(Textos("10.0.0.999", "255.255.255.0", "10.0.0.1"), 60);
    EXPECT_EQ(Campo(r, 0), "10.0.0.5");
    EXPECT_EQ(s.sim.Estado().ip, Ip(10, 0, 0, 5));
    // A 20-character slot without terminator is read whole.
    r = c.Trocar(Textos("0010.0000.0000.0009", "255.255.255.0", "10.0.0.1"), 60);
    EXPECT_EQ(Campo(r, 0), "10.0.0.5");
    r = c.Trocar(Textos("010.000.000.009", "255.255.255.0", "10.0.0.1"), 60);
    EXPECT_EQ(Campo(r, 0), "10.0.0.9");
}

TEST(SimBlocos, UniversalGatewayTakesSixtyFourAndAnswersSeventy) {
    Servido s(1, "127.77.2.2");
    ClienteTcp c = s.Conectar();
    auto pedido = Registro(64, Ip(10, 1, 2, 3), Ip(255, 255, 0, 0), Ip(10, 1, 0, 1));
    EscreverIpRegistro(pedido.data(), 12, Ip(10, 1, 0, 50));
    pedido[16] = 3;
    pedido[17] = 4;
    pedido[18] = 6;
    pedido[19] = 0x21;
    const auto r = c.Trocar(pedido, 70);
    ASSERT_EQ(r.size(), 70u);
    EXPECT_EQ(ParaHex(std::vector<uint8_t>(r.begin(), r.begin() + 20)),
              "0A 01 02 03 FF FF 00 00 0A 01 00 01 0A 01 00 32 03 04 06 21");
    EXPECT_EQ(ParaHex(std::vector<uint8_t>(r.begin() + 64, r.end())), "02 B4 6D 00 01 65");
    // A later "LER=" shows the same settings.
    std::vector<uint8_t> ler(60, 0);
    std::memcpy(ler.data(), "LER=", 4);
    const auto lido = c.Trocar(ler, 70);
    EXPECT_EQ(lido, r);
}

TEST(SimBlocos, UniversalGatewayOutOfTheBoxServesAPc) {
    Servido s(27, "127.77.2.3");
    ClienteTcp c = s.Conectar();
    std::vector<uint8_t> ler(60, 0);
    std::memcpy(ler.data(), "LER=", 4);
    const auto r = c.Trocar(ler, 70);
    ASSERT_EQ(r.size(), 70u);
    EXPECT_EQ(ParaHex(std::vector<uint8_t>(r.begin(), r.begin() + 12)),
              "C0 A8 00 65 FF FF FF 00 00 00 00 00");
    EXPECT_EQ(r[18], 3);
    EXPECT_EQ(r[19], 0xFF);
}

TEST(SimBlocos, GatewayRecordsEchoAddressesAndMac) {
    for (uint32_t modelo : {21u, 19u}) {
        Servido s(modelo, modelo == 21 ? "127.77.2.4" : "127.77.2.5");
        ClienteTcp c = s.Conectar();
        auto pedido = Registro(70, Ip(172, 16, 0, 9), Ip(255, 255, 255, 0), Ip(172, 16, 0, 1));
        pedido[32] = 2;
        const auto r = c.Trocar(pedido, 70);
        ASSERT_EQ(r.size(), 70u);
        EXPECT_EQ(LerIpRegistro(r.data(), 0), Ip(172, 16, 0, 9));
        EXPECT_EQ(LerIpRegistro(r.data(), 8), Ip(172, 16, 0, 1));
        EXPECT_EQ(r[32], 2);
        EXPECT_EQ(r[64], 0x02);
        EXPECT_EQ(r[68], modelo);
        EXPECT_EQ(s.sim.Estado().ip, Ip(172, 16, 0, 9));
    }
}

TEST(SimBlocos, ARecordInTwoSegmentsIsOneRequest) {
    Servido s(21, "127.77.2.6");
    ClienteTcp c = s.Conectar();
    const auto pedido = Registro(70, Ip(10, 0, 0, 2), Ip(255, 0, 0, 0), Ip(10, 0, 0, 1));
    c.Enviar(std::vector<uint8_t>(pedido.begin(), pedido.begin() + 30));
    std::this_thread::sleep_for(50ms);
    c.Enviar(std::vector<uint8_t>(pedido.begin() + 30, pedido.end()));
    EXPECT_EQ(c.Receber(70).size(), 70u);
    ASSERT_TRUE(s.sim.AguardarPedidos(1, 1s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(s.sim.Pedidos(), 1u);
}

TEST(SimBlocos, MacBlockAnswersTenBytes) {
    Servido s(26, "127.77.2.11");
    ClienteTcp c = s.Conectar();
    std::vector<uint8_t> bloco(60, 0);
    std::memcpy(bloco.data(), "MAC=\x02\x00\x00\xAB\xCD\xEF", 10);
    EXPECT_EQ(ParaHex(c.Trocar(bloco, 10)), "4D 41 43 3D 02 00 00 AB CD EF");
    EXPECT_EQ(s.sim.Estado().mac[3], 0xAB);
}

TEST(SimBlocos, WrongIpFaultEchoesAnotherAddressAndKeepsTheOld) {
    Servido s(21, "127.77.2.8");
    s.sim.DefinirFalha(sim::Falha::IpDiferente, {.ocorrencias = 1});
    ClienteTcp c = s.Conectar();
    const auto pedido = Registro(70, Ip(10, 0, 0, 2), Ip(255, 0, 0, 0), Ip(10, 0, 0, 1));
    auto r = c.Trocar(pedido, 70);
    EXPECT_EQ(LerIpRegistro(r.data(), 0), Ip(192, 168, 0, 101));
    EXPECT_EQ(s.sim.Estado().ip, Ip(192, 168, 0, 101));
    // Only once: the next attempt goes through.
    r = c.Trocar(pedido, 70);
    EXPECT_EQ(LerIpRegistro(r.data(), 0), Ip(10, 0, 0, 2));
    // When the old address is the one sent, the echo still differs.
    s.sim.DefinirFalha(sim::Falha::IpDiferente);
    r = c.Trocar(pedido, 70);
    EXPECT_NE(LerIpRegistro(r.data(), 0), Ip(10, 0, 0, 2));
}

TEST(SimBlocos, ABlockTheModelDoesNotTakeIsNotAnswered) {
    Servido s(19, "127.77.2.10");
    ClienteTcp c = s.Conectar();
    c.Enviar(Textos("10.0.0.5", "255.0.0.0", "0.0.0.0"));
    EXPECT_TRUE(c.Receber(1, 600ms).empty());
    ASSERT_TRUE(s.sim.AguardarPedidos(1, 1s));
    EXPECT_EQ(s.sim.Estado().ip, Ip(192, 168, 0, 101));
}

}  // namespace
}  // namespace tvx::teste
