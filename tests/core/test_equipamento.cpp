// The equipment object: what a model changes in its settings and frames, and
// the link operations against a real loopback peer and a real pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/equipamento.h"
#include "support/par_tcp.h"
#include "support/pty_teste.h"

namespace tvx {
namespace {

using teste::Hex;
using teste::ParaHex;
using namespace std::chrono_literals;

TEST(Equipamento, Modelo25RtuZero38400EOpcoesOferecidas) {
    cEquipamento e;
    e.SetRtu(17);
    e.SetVelocidade(6);
    e.SetModelo(3);
    EXPECT_EQ(17, e.GetRtu());
    EXPECT_EQ(6, e.GetVelocidade());
    e.SetModelo(25);
    e.SetMeio(kMeioSerial);
    EXPECT_EQ(0, e.GetRtu());
    EXPECT_EQ(9, e.GetVelocidade());
    EXPECT_FALSE(e.UsaTcp());

    e.SetModelo(30);
    e.CarregaInfoModelo();
    EXPECT_FALSE(e.ProgramaIp());
    e.infoModelo.alterarIp = 1;
    EXPECT_TRUE(e.ProgramaIp());
    // Model 32 offers only the MAC slot: a tick on the others counts for nothing.
    e.SetModelo(32);
    e.CarregaInfoModelo();
    EXPECT_TRUE(e.ProgramaIp());
    for (auto& o : e.infoModelo.opcoes) {
        o.marcada = 1;
    }
    EXPECT_TRUE(e.AlterarMac());
    EXPECT_FALSE(e.AlterarCelularSms());
    EXPECT_FALSE(e.AlterarIdTelemetria());
    e.SetModelo(35);
    EXPECT_FALSE(e.CarregaInfoModelo());
    EXPECT_EQ(0, e.Familia());
}

TEST(Equipamento, VariantesDeQuadro) {
    cEquipamento e;
    const uint8_t tag[8] = {'T', 'V', 'X', '5', '1', '5', '0', 'S'};
    // Model 3 over TCP: DLE frame behind the 12-byte header, with the RTU.
    e.SetModelo(3);
    e.SetRtu(1);
    ASSERT_EQ(12 + 9 + 8, e.MontaComando('L', 24, 8, tag));
    EXPECT_EQ("00 00 03 00 00 00 00 05 01 FF 00 11 10 02 01 4C 18",
              ParaHex(e.canal.BufferTx(), 17));
    // A 'P' command always takes the DLE variant 0, whatever the model uses.
    e.SetModelo(6);
    e.MontaComando('P', 1, 0, nullptr);
    EXPECT_EQ(kQuadroDle, e.canal.TipoQuadro());
    e.MontaComando('L', 24, 8, tag);
    EXPECT_EQ(kQuadroSimples, e.canal.TipoQuadro());
    EXPECT_EQ("4C 18 54 56 58", ParaHex(e.canal.BufferTx(), 5));
    // Model 24 addresses every frame to 0xFE.
    e.SetModelo(24);
    e.MontaComando('L', 31, 0, nullptr);
    EXPECT_EQ(0xFE, e.canal.BufferTx()[8]);
    // Model 25 on the serial line: RTU 0, no TCP header.
    e.SetModelo(25);
    e.SetMeio(kMeioSerial);
    ASSERT_EQ(9, e.MontaComando('P', 5, 0, nullptr));
    EXPECT_EQ("10 02 00 50 05 10 03", ParaHex(e.canal.BufferTx(), 7));
}

TEST(Equipamento, ProgressoSoComJanelaETexto) {
    FilaProgresso fila;
    cEquipamento e;
    EXPECT_FALSE(e.InformaProgresso("linha"));
    e.janelaProgresso = &fila;
    e.mensagemProgresso = MensagemIncluirProcesso();
    EXPECT_FALSE(e.InformaProgresso(""));
    EXPECT_TRUE(e.InformaProgresso("Programação"));
    e.SetModelo(3);
    e.AvisaDesligarLigar();
    e.SetModelo(25);
    e.AvisaDesligarLigar();
    EXPECT_EQ((std::vector<std::string>{"Programação",
                                        "Para que a configuração entre em vigor é necessário "
                                        "desligar e ligar o equipamento."}),
              fila.Textos());
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
    // A short reply after a long one: only what arrived is copied.
    par.Responder(std::vector<uint8_t>(60, 'X'));
    par.Responder(Hex("31 30 2E"));
    uint8_t bloco[60];
    const uint8_t pedido[4] = {'L', 'E', 'R', '='};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(e.EnviaBruto(pedido, 4));
        e.AguardaResposta();
        ASSERT_TRUE(e.Recebe(bloco, 60));
    }
    EXPECT_EQ("31 30 2E 00 00", ParaHex(bloco, 5));
    EXPECT_EQ(0, bloco[59]);
    e.Desconecta();
    EXPECT_EQ(nullptr, e.canal.Socket());
    EXPECT_EQ(1, par.Conexoes());

    // Nothing listens on the new address: refused at once.
    e.SetIpNovo("127.0.0.63");
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_FALSE(e.Conecta(true));
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, 5s);
}

TEST(Equipamento, SerialAbreUsaEFechaMesmoEmModoModbus) {
    teste::PtyTeste pty;
    cEquipamento e;
    e.SetModelo(3);
    e.SetMeio(kMeioSerial);
    e.PadraoSerial();
    e.SetPorta(pty.CaminhoEscravo());
    e.SetRtu(1);
    ASSERT_TRUE(e.Conecta(false));
    EXPECT_TRUE(e.canal.SerialAberta());
    const int n = e.MontaComando('L', 0x16, 0, nullptr);
    ASSERT_TRUE(e.EnviaBruto(e.canal.BufferTx(), n));
    EXPECT_EQ("10 02 01 4C 16 10 03 A8 54", ParaHex(pty.Ler(9, 2s)));
    // Frame kind 0 on the serial line: 12-byte acknowledgement, 0x06 at byte 5.
    pty.Escrever(Hex("10 02 01 4C 16 06 00 00 00 00 00 00"));
    e.AguardaResposta();
    EXPECT_TRUE(e.RecebeAck());
    e.ModoModbus();
    e.Desconecta();
    EXPECT_FALSE(e.canal.SerialAberta());
}

}  // namespace
}  // namespace tvx
