// The equipment object: what a model changes in its choices and in the link,
// against a real loopback peer and a real pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>

#include "core/equipamento.h"
#include "support/par_tcp.h"
#include "support/pty_teste.h"

namespace tvx {
namespace {

TEST(Equipamento, SoContaOQueOModeloOferece) {
    cEquipamento e;
    e.SetModelo(32);  // offers only the MAC slot
    e.CarregaInfoModelo();
    for (auto& o : e.infoModelo.opcoes) {
        o.marcada = 1;
    }
    EXPECT_TRUE(e.AlterarMac());
    EXPECT_FALSE(e.AlterarCelularSms() || e.AlterarIdTelemetria());
}

TEST(Equipamento, TcpNaPortaDoModeloComTrintaSegundos) {
    teste::ParTcp par("127.0.0.61", 5006);
    cEquipamento e;
    e.SetModelo(17);
    e.SetMeio(kMeioSerial);  // model 17 stays on TCP
    e.SetPorta("/dev/nao-existe");
    e.SetIpProgramacao("127.0.0.61");
    ASSERT_TRUE(e.Conecta(false));
    EXPECT_FALSE(e.canal.SerialAberta());
    EXPECT_EQ(30000, e.canal.TempoEsperaMs());
    EXPECT_EQ(30, e.canal.Socket()->Timeout());
    e.Desconecta();
    EXPECT_EQ(nullptr, e.canal.Socket());
    // Nothing listens on the new address: refused at once.
    e.SetIpNovo("127.0.0.63");
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_FALSE(e.Conecta(true));
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(5));
}

// The Modbus steps flag the channel as TCP; the serial port still closes.
TEST(Equipamento, SerialFechaMesmoEmModoModbus) {
    teste::PtyTeste pty;
    cEquipamento e;
    e.SetModelo(3);
    e.SetMeio(kMeioSerial);
    e.SetPorta(pty.CaminhoEscravo());
    ASSERT_TRUE(e.Conecta(false));
    EXPECT_TRUE(e.canal.SerialAberta());
    e.ModoModbus();
    e.Desconecta();
    EXPECT_FALSE(e.canal.SerialAberta());
}

}  // namespace
}  // namespace tvx
