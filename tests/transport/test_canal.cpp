// The channel against a real peer: a loopback TCP listener and a real
// pseudo-terminal. Every check is on the bytes that cross the link.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "support/par_tcp.h"
#include "support/pty_teste.h"
#include "transport/canal.h"
#include "transport/codec.h"

namespace tvx {
namespace {

using teste::Hex;
using teste::ParaHex;
using namespace std::chrono_literals;

std::string Tx(cCanal& c, int n) {
    return ParaHex(c.BufferTx(), static_cast<size_t>(n));
}

TEST(Canal, TextosDosErros) {
    const char* esperados[] = {"OK",
                               "Erro no envio TPC/IP",
                               "Erro na recepção TPC/IP",
                               "Erro no tamanho do buffer de TX :zerado",
                               "Erro no tamanho do buffer de TX :negativo",
                               "Erro no tamanho do buffer de TX :overflow",
                               "Porta serial inválida.",
                               "Erro na recepção da serial."};
    for (int i = 0; i < 8; ++i) {
        EXPECT_STREQ(esperados[i], cErroCanal::TextoDoCodigo(i));
    }
    EXPECT_EQ(nullptr, cErroCanal::TextoDoCodigo(8));
    cErroCanal e;
    e.Definir(9);
    EXPECT_EQ(9, e.Codigo());
    EXPECT_EQ("", e.Texto());
    e.Definir(6);
    EXPECT_EQ("Porta serial inválida.", e.Texto());
    e.Limpar();
    EXPECT_EQ(0, e.Codigo());
}

TEST(Canal, MontagemPorTipoEMeio) {
    std::vector<uint8_t> carga(68, 0);
    std::memcpy(carga.data(), "TVX5150S10.0.0.5", 16);
    for (bool tcp : {true, false}) {  // the simple frame is the same on both media
        cCanal c;
        c.DefinirTipoQuadro(kQuadroSimples);
        c.DefinirUsaTcp(tcp);
        ASSERT_EQ(70, c.MontarComando(0x4C, 0x16, 68, carga.data()));
        EXPECT_EQ(70, c.TamanhoTx());
        EXPECT_EQ("4C 16 " + ParaHex(carga), Tx(c, 70));
    }
    cCanal c;
    c.DefinirEnderecoRtu(1);
    c.DefinirTipoQuadro(kQuadroDleCurto);
    c.DefinirUsaTcp(true);
    ASSERT_EQ(12 + 9, c.MontarComando(0x4C, 0x16, 0, nullptr));
    EXPECT_EQ("00 00 03 00 00 00 00 05 01 FF 00 09 10 02 01 4C 16 10 03 A8 54", Tx(c, 21));
    c.DefinirTipoQuadro(kQuadroDle);
    c.DefinirUsaTcp(false);
    ASSERT_EQ(9, c.MontarComando(0x4C, 0x16, 0, nullptr));
    EXPECT_EQ("10 02 01 4C 16 10 03 A8 54", Tx(c, 9));

    // Too large: -1 and an emptied buffer; negative: kept, and over TCP a
    // failed DLE build still yields the bare header; zero.
    c.DefinirUsaTcp(true);
    std::vector<uint8_t> grande(2048, 0x55);
    EXPECT_EQ(-1, c.MontarComando(0x4C, 0x16, 2048, grande.data()));
    EXPECT_EQ(-1, c.TamanhoTx());
    EXPECT_EQ(5, c.Erro().Codigo());
    EXPECT_EQ(ParaHex(std::vector<uint8_t>(kTamanhoBufferCanal, 0)), Tx(c, kTamanhoBufferCanal));
    EXPECT_EQ(12, c.MontarComando(0x4C, 1, -3, nullptr));
    c.DefinirTipoQuadro(kQuadroSimples);
    EXPECT_EQ(-3, c.MontarComando(0x4C, 1, -3, nullptr));
    EXPECT_EQ(4, c.Erro().Codigo());
    EXPECT_EQ(-3, c.TamanhoTx());
    EXPECT_EQ(0, c.DefinirTamanhoTx(0));
    EXPECT_EQ(3, c.Erro().Codigo());
}

class CanalTcp : public ::testing::Test {
  protected:
    void SetUp() override {
        canal.DefinirTempoEspera(2);
        ASSERT_TRUE(canal.Conectar("127.0.0.1", par.Porta()));
        canal.DefinirUsaTcp(true);
    }
    // One byte out, the peer's reply in.
    bool Trocar() {
        const uint8_t um = 1;
        const bool ok = canal.EnviarTcpBuffer(&um, 1);
        canal.AguardarTcp();
        return ok;
    }
    teste::ParTcp par;
    cCanal canal;
};

TEST_F(CanalTcp, ConfirmacaoNaPosicaoDoTipoDeQuadro) {
    for (const auto& [tipo, posicao] : {std::pair<uint8_t, int>{kQuadroDle, 7},
                                        {kQuadroDleCurto, 5},
                                        {kQuadroSimples, 0},
                                        {kQuadroModbus, 7}}) {
        SCOPED_TRACE(tipo);
        canal.DefinirTipoQuadro(tipo);
        std::vector<uint8_t> certo(12, 0), errado(12, 0);
        certo[posicao] = kAck;
        errado[posicao == 0 ? 1 : posicao - 1] = kAck;
        par.Responder(certo);
        par.Responder(errado);
        ASSERT_TRUE(Trocar());
        EXPECT_TRUE(canal.ReceberAckTcp());
        ASSERT_TRUE(Trocar());
        EXPECT_FALSE(canal.ReceberAckTcp());
    }
}

// A reply longer than the receive buffer: the exchange takes its first 2048
// bytes, and the next gets its own reply, not the tail of this one; a short
// reply shows nothing of a longer one before it.
TEST_F(CanalTcp, RespostasGiganteECurta) {
    canal.DefinirTipoQuadro(kQuadroDle);
    std::vector<uint8_t> gigante(3000, '#');
    gigante[7] = kAck;
    par.Responder(gigante);
    par.Responder(Hex("01 02 03"));
    ASSERT_TRUE(Trocar());
    ASSERT_TRUE(canal.ReceberAckTcp());
    EXPECT_EQ(kTamanhoBufferCanal, canal.TamanhoUltimaRecepcao());
    par.Recebido(1);
    std::this_thread::sleep_for(50ms);  // the whole tail is in by now
    ASSERT_TRUE(Trocar());
    const uint8_t* rx = canal.ReceberTcp();
    ASSERT_NE(nullptr, rx);
    EXPECT_EQ(3, canal.TamanhoUltimaRecepcao());
    std::vector<uint8_t> esperado = Hex("01 02 03");
    esperado.resize(kTamanhoBufferCanal, 0);
    EXPECT_EQ(ParaHex(esperado), ParaHex(rx, kTamanhoBufferCanal));
}

TEST_F(CanalTcp, RecepcaoFalhaETrocaOSocketNaProximaConexao) {
    canal.DefinirTempoEspera(1);
    par.Fechar();
    ASSERT_TRUE(Trocar());
    EXPECT_EQ(nullptr, canal.ReceberTcp());
    EXPECT_FALSE(canal.Socket()->IsValid());
    canal.DefinirTempoEspera(7);
    EXPECT_TRUE(canal.Socket()->IsValid());
    EXPECT_EQ(7, canal.Socket()->Timeout());
    EXPECT_TRUE(canal.Conectar("127.0.0.1", par.Porta()));
    for (int i = 0; i < 200 && par.Conexoes() < 2; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(2, par.Conexoes());
    EXPECT_TRUE(canal.Desconectar());
    EXPECT_EQ(nullptr, canal.Socket());
    EXPECT_FALSE(canal.Desconectar());
    EXPECT_FALSE(canal.EnviarTcp());
    EXPECT_EQ(nullptr, canal.ReceberTcp());
    EXPECT_FALSE(canal.Conectar("", par.Porta()));
    EXPECT_FALSE(canal.Conectar("127.0.0.1", 0));
    EXPECT_EQ(2, par.Conexoes());
}

TEST_F(CanalTcp, RegistrosModbusTcp) {
    canal.DefinirEnderecoRtu(1);
    canal.DefinirTipoQuadro(kQuadroModbus);
    par.Responder(Hex("00 00 00 00 00 0B 01 03 08 11 22 33 44 55 66 77 88"));
    par.Responder(Hex("00 00 00 00 00 03 01 83 02"));
    par.Responder(Hex("00 00 00 00 00 06 01 10 05 02 00 01"));
    uint8_t saida[10] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    ASSERT_TRUE(canal.LerRegistros(1280, saida, 8));
    EXPECT_EQ("11 22 33 44 55 66 77 88", ParaHex(saida, 8));
    EXPECT_EQ(12, canal.TamanhoTx());
    EXPECT_FALSE(canal.LerRegistros(1024, saida + 8, 2));  // an exception reply
    EXPECT_EQ("09 09", ParaHex(saida + 8, 2));
    const uint8_t dados[2] = {0x0A, 0x01};
    ASSERT_TRUE(canal.EscreverRegistros(1282, dados, 2, saida, 10));
    EXPECT_EQ(0x02, saida[0]);  // reply bytes from offset 9
    EXPECT_EQ(
        "00 00 00 00 00 06 01 03 05 00 00 04 00 00 00 00 00 06 01 03 04 00 00 01 "
        "00 00 00 00 00 09 01 10 05 02 00 01 02 0A 01",
        ParaHex(par.Recebido(39)));
    // Only frame kind 5 speaks Modbus TCP.
    canal.DefinirTipoQuadro(kQuadroDle);
    par.Responder(Hex("00 00 00 00 00 0B 01 03 08 11 22 33 44 55 66 77 88"));
    EXPECT_FALSE(canal.LerRegistros(1280, saida, 8));
}

class CanalSerial : public ::testing::Test {
  protected:
    void SetUp() override {
        canal.DefinirNomePorta(pty.CaminhoEscravo());
        canal.Serial().DefinirTempoLeitura(100);
        canal.DefinirUsaTcp(false);
        canal.DefinirEnderecoRtu(1);
        ASSERT_TRUE(canal.AbrirSerial());
    }
    teste::PtyTeste pty;
    cCanal canal;
};

TEST_F(CanalSerial, ConfirmacaoPorTipoERecepcao) {
    canal.DefinirTipoQuadro(kQuadroDle);
    const int n = canal.MontarComando(0x4C, 0x16, 0, nullptr);
    ASSERT_TRUE(canal.EnviarSerial(canal.BufferTx(), n));
    EXPECT_EQ("10 02 01 4C 16 10 03 A8 54", ParaHex(pty.Ler(9, 2s)));
    EXPECT_FALSE(canal.EnviarSerial(canal.BufferTx(), -1));  // a failed build sends nothing
    const std::pair<uint8_t, const char*> confirmacoes[] = {
        {kQuadroDle, "10 02 01 00 00 06 00 00 00 00 00 00"},
        {kQuadroDleCurto, "10 02 01 06 00 00 00 00 00 00"},
    };
    for (const auto& [tipo, ack] : confirmacoes) {
        canal.DefinirTipoQuadro(tipo);
        pty.Escrever(Hex(ack));
        EXPECT_TRUE(canal.ReceberAckSerial()) << ack;
    }
    pty.Escrever(Hex("10 02 01 00 00 06 00 00 00 00"));  // kind 0's place, kind 6's length
    EXPECT_FALSE(canal.ReceberAckSerial());
    canal.DefinirTipoQuadro(kQuadroSimples);
    pty.Escrever(Hex("06 06 06 06 06 06 06 06 06 06"));
    EXPECT_FALSE(canal.ReceberAckSerial());

    pty.Escrever(std::vector<uint8_t>(40, 0xEE));
    ASSERT_NE(nullptr, canal.ReceberSerial(40));
    pty.Escrever(Hex("41 42"));
    const uint8_t* rx = canal.ReceberSerial(40);
    ASSERT_NE(nullptr, rx);
    EXPECT_EQ("41 42 00 00", ParaHex(rx, 4));  // nothing of the longer reply before
    EXPECT_EQ(nullptr, canal.ReceberSerial(12));
    EXPECT_EQ(7, canal.Erro().Codigo());
    canal.FecharSerial();
    const uint8_t b = 1;
    EXPECT_FALSE(canal.EnviarSerial(&b, 1));
    EXPECT_EQ(6, canal.Erro().Codigo());
    EXPECT_EQ(nullptr, canal.ReceberSerial(10));
    EXPECT_FALSE(canal.ReceberAckSerial());
}

TEST_F(CanalSerial, TransacaoModbusRtu) {
    std::thread dispositivo([&] {
        EXPECT_EQ("01 03 05 00 00 02 C4 C7", ParaHex(pty.Ler(8, 3s)));
        pty.Escrever(Hex("01 03 04 C0 A8 00 65 87 F8"));
        EXPECT_EQ("01 03 05 00 00 02 C4 C7", ParaHex(pty.Ler(8, 3s)));
        pty.Escrever(Hex("01 83 02 C0 F1"));
    });
    uint8_t saida[4] = {};
    EXPECT_TRUE(canal.LerRegistros(1280, saida, 4));
    EXPECT_EQ("C0 A8 00 65", ParaHex(saida, 4));
    EXPECT_FALSE(canal.LerRegistros(1280, saida, 4));
    dispositivo.join();
}

}  // namespace
}  // namespace tvx
