// Faults set by the operator, and input no equipment should choke on.
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "sim/cliente.h"
#include "sim/simulador.h"
#include "support/par_tcp.h"

namespace tvx::teste {
namespace {

using sim::AlvoFalha;
using sim::Falha;
using sim::Simulador;

const std::vector<uint8_t> kIp =
    QuadroDleTcp(1, 'L', 22, CargaIp("10.0.0.5", "255.0.0.0", "0.0.0.0"));
const std::vector<uint8_t> kLer = QuadroDleTcp(1, 'L', 31);

TEST(SimFalhas, SilentAnswersNothingAndChangesNothing) {
    Servido s(3, "127.77.4.1");
    s.sim.DefinirFalha(Falha::Calar, {.ocorrencias = 1});
    ClienteTcp c = s.Conectar();
    c.Enviar(kIp);
    EXPECT_TRUE(c.Receber(1, 500ms).empty());
    EXPECT_FALSE(c.Fechado());
    EXPECT_FALSE(s.sim.Estado().pendente.has_value());
    EXPECT_EQ(c.Trocar(kIp, 14)[7], kAck);
    EXPECT_TRUE(s.sim.Estado().pendente.has_value());
}

TEST(SimFalhas, CloseCutsTheReplyBeforeItsAcknowledgement) {
    Servido s(3, "127.77.4.2");
    s.sim.DefinirFalha(Falha::FecharNoMeio);
    ClienteTcp c = s.Conectar();
    const auto r = c.Trocar(kIp, 14);
    EXPECT_EQ(ParaHex(r), "00 0C 10 02 01 4C 16");
    EXPECT_TRUE(c.Fechado() || c.FechadoPeloPar());
    // The equipment took the command; only the reply was lost.
    EXPECT_TRUE(s.sim.Estado().pendente.has_value());
}

TEST(SimFalhas, ShortReplyStopsBeforeTheAcknowledgementAndKeepsTheLink) {
    Servido s(2, "127.77.4.3");
    s.sim.DefinirFalha(Falha::RespostaCurta, {.ocorrencias = 1});
    ClienteTcp c = s.Conectar();
    EXPECT_EQ(ParaHex(c.Trocar(kIp, 12)), "00 0A 10 02 01");
    EXPECT_EQ(c.Trocar(kIp, 12)[5], kAck);
    // A reply without an acknowledgement is cut to its first four bytes.
    s.sim.DefinirFalha(Falha::RespostaCurta, {.ocorrencias = 1});
    EXPECT_EQ(c.Trocar(kLer, 100).size(), 4u);
}

TEST(SimFalhas, GarbageHoldsNoAcknowledgementAndIsNotApplied) {
    Servido s(3, "127.77.4.4");
    s.sim.DefinirFalha(Falha::Lixo);
    ClienteTcp c = s.Conectar();
    const auto r = c.Trocar(kIp, 14);
    EXPECT_EQ(ParaHex(r), "A5 5A A5 5A A5 5A A5 5A A5 5A A5 5A A5 5A");
    EXPECT_FALSE(s.sim.Estado().pendente.has_value());
}

TEST(SimFalhas, OversizeReplyPassesTheProgramsBuffer) {
    Servido s(3, "127.77.4.5");
    s.sim.DefinirFalha(Falha::RespostaGigante);
    ClienteTcp c = s.Conectar();
    const auto r = c.Trocar(kLer, 3000);
    ASSERT_EQ(r.size(), 3000u);
    EXPECT_EQ(TextoEm(r, 5).rfind("TVX5150S\r\n", 0), 0u);
    EXPECT_EQ(r.back(), '#');
}

TEST(SimFalhas, RefusalReachesOnlyItsTargetAndCountsDown) {
    Servido s(25, "127.77.4.6");
    s.sim.DefinirFalha(Falha::Recusar,
                       AlvoFalha{.comando = 'P', .subcomando = 1, .ocorrencias = 2});
    ClienteTcp c = s.Conectar();
    const auto relogio = QuadroDleTcp(0, 'P', 1, {1, 2, 24, 3, 4, 5});
    EXPECT_EQ(c.Trocar(QuadroDleTcp(0, 'P', 5), 14)[7], kAck);
    auto r = c.Trocar(relogio, 14);
    EXPECT_EQ(r[7], 0x15);
    EXPECT_EQ(r[9], 6);
    EXPECT_EQ(c.Trocar(relogio, 14)[7], 0x15);
    EXPECT_EQ(s.sim.Estado().relogio[0], 0);
    EXPECT_EQ(c.Trocar(relogio, 14)[7], kAck);
    EXPECT_EQ(s.sim.Estado().relogio[0], 1);
    // A Modbus register target never reaches a command.
    s.sim.DefinirFalha(Falha::Recusar, AlvoFalha{.registro = 1280});
    EXPECT_EQ(c.Trocar(relogio, 14)[7], kAck);
    // Refusing the read gives an acknowledgement-shaped NAK, not the text.
    s.sim.DefinirFalha(Falha::Recusar, AlvoFalha{.comando = 'L', .subcomando = 31});
    r = c.Trocar(QuadroDleTcp(0, 'L', 31), 12);
    EXPECT_EQ(r.size(), 12u);
    EXPECT_EQ(r[5], 0x15);
}

TEST(SimFalhas, VanishOverTcpDropsTheConnection) {
    Servido s(3, "127.77.4.7");
    s.sim.DefinirFalha(Falha::SumirSerial, {.ocorrencias = 1});
    {
        ClienteTcp c = s.Conectar();
        c.Enviar(kIp);
        EXPECT_TRUE(c.FechadoPeloPar());
    }
    ClienteTcp c = s.Conectar();
    EXPECT_EQ(c.Trocar(kIp, 14)[7], kAck);
}

TEST(SimFalhas, GarbageAndHugeInputNeverStopTheEquipment) {
    Servido s(3, "127.77.4.8");
    std::mt19937 gerador(1234);
    {
        ClienteTcp c = s.Conectar();
        std::vector<uint8_t> lixo(1 << 20);
        for (auto& b : lixo) {
            b = static_cast<uint8_t>(gerador());
        }
        c.Enviar(lixo);
    }
    {
        // Frames cut in the middle, a header announcing more than comes, a
        // lone DLE, a header with a length of zero.
        ClienteTcp c = s.Conectar();
        c.Enviar(std::vector<uint8_t>(kIp.begin(), kIp.begin() + 20));
        std::this_thread::sleep_for(300ms);
        c.Enviar(Hex("00 00 03 00 00 00 00 05 01 FF 04 FF 10 02 01"));
        std::this_thread::sleep_for(300ms);
        c.Enviar(Hex("00 00 03 00 00 00 00 05 01 FF 00 00"));
        c.Enviar(Hex("10"));
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(c.Trocar(kIp, 14)[7], kAck);
    }
    for (uint32_t modelo : {8u, 30u}) {
        Servido outro(modelo, modelo == 8 ? "127.77.4.9" : "127.77.4.10");
        ClienteTcp c = outro.Conectar();
        std::vector<uint8_t> lixo(20000);
        for (auto& b : lixo) {
            b = static_cast<uint8_t>(gerador());
        }
        c.Enviar(lixo);
        std::this_thread::sleep_for(300ms);
    }
    ClienteTcp c = s.Conectar();
    EXPECT_EQ(c.Trocar(kIp, 14)[7], kAck);
    const auto trocas = s.sim.Trocas();
    EXPECT_FALSE(trocas.empty());
}

TEST(SimFalhas, ServesConnectionAfterConnectionAndStopsPromptly) {
    Servido s(2, "127.77.4.11");
    for (int i = 0; i < 20; ++i) {
        ClienteTcp c = s.Conectar();
        ASSERT_EQ(c.Trocar(kIp, 12)[5], kAck) << i;
    }
    std::vector<std::unique_ptr<ClienteTcp>> abertas;
    for (int i = 0; i < 10; ++i) {
        abertas.push_back(std::make_unique<ClienteTcp>(s.endereco, s.sim.PortaTcp()));
    }
    // Beyond eight at once the equipment hangs up on the newcomers.
    EXPECT_TRUE(abertas[9]->FechadoPeloPar(1s));
    EXPECT_EQ(abertas[0]->Trocar(kIp, 12)[5], kAck);
    const auto inicio = std::chrono::steady_clock::now();
    s.sim.Parar();
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, 1s);
    EXPECT_TRUE(abertas[1]->FechadoPeloPar(1s));
}

}  // namespace
}  // namespace tvx::teste
