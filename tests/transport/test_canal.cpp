// The channel against a real peer: a loopback TCP listener and a real
// pseudo-terminal. Every check is on the bytes that cross the link.
#include <gtest/gtest.h>

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
using teste::ParTcp;
using teste::PtyTeste;
using namespace std::chrono_literals;

std::vector<uint8_t> Tx(const cCanal& c, int n) {
    return std::vector<uint8_t>(const_cast<cCanal&>(c).BufferTx(),
                                const_cast<cCanal&>(c).BufferTx() + n);
}

std::vector<uint8_t> Payload68() {
    std::vector<uint8_t> p(68, 0);
    std::memcpy(p.data(), "TVX5150S10.0.0.5", 16);
    return p;
}

TEST(CanalErros, TextosDaTabela) {
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
    EXPECT_EQ("", e.Texto());
}

TEST(CanalMontagem, QuadroSimplesTemSetentaBytesEmQualquerMeio) {
    const auto p = Payload68();
    for (bool tcp : {true, false}) {
        cCanal c;
        c.DefinirTipoQuadro(kQuadroSimples);
        c.DefinirUsaTcp(tcp);
        c.DefinirEnderecoRtu(7);
        ASSERT_EQ(70, c.MontarComando(0x4C, 0x16, 68, p.data()));
        EXPECT_EQ(70, c.TamanhoTx());
        const auto tx = Tx(c, 70);
        EXPECT_EQ(0x4C, tx[0]);
        EXPECT_EQ(0x16, tx[1]);
        EXPECT_TRUE(std::equal(p.begin(), p.end(), tx.begin() + 2));
    }
}

TEST(CanalMontagem, QuadroDleSobTcpLevaCabecalhoDeDozeBytes) {
    cCanal c;
    c.DefinirTipoQuadro(kQuadroDleCurto);
    c.DefinirUsaTcp(true);
    c.DefinirEnderecoRtu(1);
    ASSERT_EQ(12 + 9, c.MontarComando(0x4C, 0x16, 0, nullptr));
    EXPECT_EQ("00 00 03 00 00 00 00 05 01 FF 00 09 10 02 01 4C 16 10 03 A8 54", ParaHex(Tx(c, 21)));
}

TEST(CanalMontagem, QuadroDleSobSerialSemCabecalho) {
    cCanal c;
    c.DefinirTipoQuadro(kQuadroDle);
    c.DefinirUsaTcp(false);
    c.DefinirEnderecoRtu(1);
    ASSERT_EQ(9, c.MontarComando(0x4C, 0x16, 0, nullptr));
    EXPECT_EQ("10 02 01 4C 16 10 03 A8 54", ParaHex(Tx(c, 9)));
}

TEST(CanalMontagem, CargaGrandeDemaisDaMenosUmEZeraOBuffer) {
    cCanal c;
    c.DefinirTipoQuadro(kQuadroDle);
    c.DefinirUsaTcp(true);
    std::vector<uint8_t> p(2048, 0x55);
    c.MontarComando(0x4C, 1, 10, p.data());
    EXPECT_EQ(-1, c.MontarComando(0x4C, 0x16, 2048, p.data()));
    EXPECT_EQ(-1, c.TamanhoTx());
    EXPECT_EQ(5, c.Erro().Codigo());
    const auto tx = Tx(c, kTamanhoBufferCanal);
    EXPECT_TRUE(std::all_of(tx.begin(), tx.end(), [](uint8_t b) { return b == 0; }));
}

TEST(CanalMontagem, TamanhoNegativoEZero) {
    cCanal c;
    c.DefinirTipoQuadro(kQuadroSimples);
    EXPECT_EQ(-3, c.MontarComando(0x4C, 1, -3, nullptr));
    EXPECT_EQ(4, c.Erro().Codigo());
    EXPECT_EQ(-3, c.TamanhoTx());
    // Over TCP a failed DLE build still yields the bare 12-byte header.
    c.DefinirTipoQuadro(kQuadroDle);
    c.DefinirUsaTcp(true);
    EXPECT_EQ(12, c.MontarComando(0x4C, 1, -3, nullptr));
    EXPECT_EQ(0, c.DefinirTamanhoTx(0));
    EXPECT_EQ(3, c.Erro().Codigo());
}

class CanalTcp : public ::testing::Test {
  protected:
    bool Conectar(int tempoSegundos = 2) {
        canal.DefinirTempoEspera(tempoSegundos);
        return canal.Conectar("127.0.0.1", par.Porta());
    }
    ParTcp par;
    cCanal canal;
};

TEST_F(CanalTcp, HostVazioOuPortaZeroNaoConecta) {
    EXPECT_FALSE(canal.Conectar("", par.Porta()));
    EXPECT_FALSE(canal.Conectar("127.0.0.1", 0));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(0, par.Conexoes());
}

TEST_F(CanalTcp, ConfirmacaoNaPosicaoDoTipoDeQuadro) {
    struct Caso {
        uint8_t tipo;
        int posicao;
    };
    for (Caso caso : {Caso{kQuadroDle, 7}, Caso{kQuadroDleCurto, 5}, Caso{kQuadroSimples, 0},
                      Caso{kQuadroModbus, 7}}) {
        SCOPED_TRACE(caso.tipo);
        ASSERT_TRUE(Conectar());
        canal.DefinirTipoQuadro(caso.tipo);
        canal.DefinirUsaTcp(true);
        std::vector<uint8_t> certo(12, 0), errado(12, 0);
        certo[caso.posicao] = kAck;
        errado[caso.posicao == 0 ? 1 : caso.posicao - 1] = kAck;
        par.Responder(certo);
        par.Responder(errado);
        const uint8_t um = 1;
        ASSERT_TRUE(canal.EnviarTcpBuffer(&um, 1));
        canal.AguardarTcp();
        EXPECT_TRUE(canal.ReceberAckTcp());
        ASSERT_TRUE(canal.EnviarTcpBuffer(&um, 1));
        canal.AguardarTcp();
        EXPECT_FALSE(canal.ReceberAckTcp());
        canal.Desconectar();
    }
}

// A reply longer than the receive buffer: the exchange takes its first 2048
// bytes, and the next exchange gets its own reply, not the tail of this one.
TEST_F(CanalTcp, RestoDeRespostaGiganteNaoViraARespostaSeguinte) {
    ASSERT_TRUE(Conectar());
    canal.DefinirTipoQuadro(kQuadroDle);
    canal.DefinirUsaTcp(true);
    std::vector<uint8_t> gigante(3000, '#');
    gigante[7] = kAck;
    std::vector<uint8_t> segunda(14, 0);
    segunda[7] = kAck;
    par.Responder(gigante);
    par.Responder(segunda);
    const uint8_t um = 1;
    ASSERT_TRUE(canal.EnviarTcpBuffer(&um, 1));
    canal.AguardarTcp();
    ASSERT_TRUE(canal.ReceberAckTcp());
    EXPECT_EQ(kTamanhoBufferCanal, canal.TamanhoUltimaRecepcao());
    par.Recebido(1);
    std::this_thread::sleep_for(50ms);  // the whole tail is in by now
    ASSERT_TRUE(canal.EnviarTcpBuffer(&um, 1));
    canal.AguardarTcp();
    EXPECT_TRUE(canal.ReceberAckTcp());
    EXPECT_EQ(14, canal.TamanhoUltimaRecepcao());
    canal.Desconectar();
}

TEST_F(CanalTcp, RespostaCurtaNaoMostraBytesDaAnterior) {
    ASSERT_TRUE(Conectar());
    canal.DefinirUsaTcp(true);
    par.Responder(std::vector<uint8_t>(70, 0xAB));
    par.Responder(Hex("01 02 03"));
    const uint8_t um = 1;
    canal.EnviarTcpBuffer(&um, 1);
    canal.AguardarTcp();
    ASSERT_NE(nullptr, canal.ReceberTcp());
    EXPECT_EQ(70, canal.TamanhoUltimaRecepcao());
    canal.EnviarTcpBuffer(&um, 1);
    canal.AguardarTcp();
    const uint8_t* rx = canal.ReceberTcp();
    ASSERT_NE(nullptr, rx);
    EXPECT_EQ(3, canal.TamanhoUltimaRecepcao());
    EXPECT_EQ("01 02 03 00 00 00", ParaHex(rx, 6));
    EXPECT_TRUE(std::all_of(rx + 3, rx + kTamanhoBufferCanal, [](uint8_t b) { return b == 0; }));
}

TEST_F(CanalTcp, RecepcaoFalhaETrocaOSocketNaProximaConexao) {
    ASSERT_TRUE(Conectar(1));
    canal.DefinirUsaTcp(true);
    par.Fechar();
    const uint8_t um = 1;
    ASSERT_TRUE(canal.EnviarTcpBuffer(&um, 1));
    canal.AguardarTcp();
    EXPECT_EQ(nullptr, canal.ReceberTcp());
    ASSERT_NE(nullptr, canal.Socket());
    EXPECT_FALSE(canal.Socket()->IsValid());
    canal.DefinirTempoEspera(7);
    ASSERT_NE(nullptr, canal.Socket());
    EXPECT_TRUE(canal.Socket()->IsValid());
    EXPECT_EQ(7, canal.Socket()->Timeout());
    EXPECT_TRUE(canal.Conectar("127.0.0.1", par.Porta()));
    for (int i = 0; i < 200 && par.Conexoes() < 2; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(2, par.Conexoes());
}

TEST_F(CanalTcp, DesconectarSoComSocketValido) {
    EXPECT_FALSE(canal.Desconectar());
    ASSERT_TRUE(Conectar());
    EXPECT_TRUE(canal.Desconectar());
    EXPECT_EQ(nullptr, canal.Socket());
    EXPECT_FALSE(canal.Desconectar());
    EXPECT_FALSE(canal.EnviarTcp());
    EXPECT_EQ(nullptr, canal.ReceberTcp());
}

TEST_F(CanalTcp, LeituraModbusTcp) {
    ASSERT_TRUE(Conectar());
    canal.DefinirTcp();
    canal.DefinirEnderecoRtu(1);
    canal.DefinirTipoQuadro(kQuadroModbus);
    par.Responder(Hex("00 00 00 00 00 0B 01 03 08 11 22 33 44 55 66 77 88"));
    uint8_t saida[8] = {};
    ASSERT_TRUE(canal.LerRegistros(1280, saida, 8));
    EXPECT_EQ("00 00 00 00 00 06 01 03 05 00 00 04", ParaHex(par.Recebido(12)));
    EXPECT_EQ("11 22 33 44 55 66 77 88", ParaHex(saida, 8));
    EXPECT_EQ(12, canal.TamanhoTx());
}

TEST_F(CanalTcp, RespostaDeExcecaoModbusFalha) {
    ASSERT_TRUE(Conectar());
    canal.DefinirTcp();
    canal.DefinirEnderecoRtu(1);
    canal.DefinirTipoQuadro(kQuadroModbus);
    par.Responder(Hex("00 00 00 00 00 03 01 83 02"));
    uint8_t saida[4] = {9, 9, 9, 9};
    EXPECT_FALSE(canal.LerRegistros(1024, saida, 4));
    EXPECT_EQ("09 09 09 09", ParaHex(saida, 4));
}

TEST_F(CanalTcp, EscritaModbusTcp) {
    ASSERT_TRUE(Conectar());
    canal.DefinirTcp();
    canal.DefinirEnderecoRtu(1);
    canal.DefinirTipoQuadro(kQuadroModbus);
    par.Responder(Hex("00 00 00 00 00 06 01 10 05 02 00 01"));
    const uint8_t dados[2] = {0x0A, 0x01};
    uint8_t saida[10] = {};
    ASSERT_TRUE(canal.EscreverRegistros(1282, dados, 2, saida, 10));
    EXPECT_EQ("00 00 00 00 00 09 01 10 05 02 00 01 02 0A 01", ParaHex(par.Recebido(15)));
    EXPECT_EQ(0x02, saida[0]);  // reply bytes from offset 9
}

TEST_F(CanalTcp, RegistrosSoComQuadroModbus) {
    ASSERT_TRUE(Conectar());
    canal.DefinirTcp();
    canal.DefinirTipoQuadro(kQuadroDle);
    par.Responder(Hex("00 00 00 00 00 0B 01 03 08 11 22 33 44 55 66 77 88"));
    uint8_t saida[8] = {};
    // The exchange happens, but only frame kind 5 speaks Modbus TCP.
    canal.DefinirTamanhoTx(1);
    EXPECT_FALSE(canal.LerRegistros(1280, saida, 8));
    EXPECT_EQ(1u, par.Recebido(1).size());
}

class CanalSerial : public ::testing::Test {
  protected:
    void SetUp() override {
        canal.DefinirNomePorta(pty.CaminhoEscravo());
        canal.Serial().DefinirTempoLeitura(100);
        canal.DefinirUsaTcp(false);
        ASSERT_TRUE(canal.AbrirSerial());
    }
    PtyTeste pty;
    cCanal canal;
};

TEST_F(CanalSerial, PortaFechadaRegistraErro) {
    canal.FecharSerial();
    const uint8_t b = 1;
    EXPECT_FALSE(canal.EnviarSerial(&b, 1));
    EXPECT_EQ(6, canal.Erro().Codigo());
    EXPECT_EQ(nullptr, canal.ReceberSerial(10));
    EXPECT_FALSE(canal.ReceberAckSerial());
}

TEST_F(CanalSerial, QuadroDleChegaIntacto) {
    canal.DefinirTipoQuadro(kQuadroDle);
    canal.DefinirEnderecoRtu(1);
    const int n = canal.MontarComando(0x4C, 0x16, 0, nullptr);
    ASSERT_TRUE(canal.EnviarSerial(canal.BufferTx(), n));
    EXPECT_EQ("10 02 01 4C 16 10 03 A8 54", ParaHex(pty.Ler(9, 2s)));
}

TEST_F(CanalSerial, ConfirmacaoSerialPorTipo) {
    canal.DefinirTipoQuadro(kQuadroDleCurto);
    pty.Escrever(Hex("10 02 01 06 00 00 00 00 00 00"));
    EXPECT_TRUE(canal.ReceberAckSerial());
    pty.Escrever(Hex("10 02 01 00 00 06 00 00 00 00"));
    EXPECT_FALSE(canal.ReceberAckSerial());

    canal.DefinirTipoQuadro(kQuadroDle);
    pty.Escrever(Hex("10 02 01 00 00 06 00 00 00 00 00 00"));
    EXPECT_TRUE(canal.ReceberAckSerial());

    canal.DefinirTipoQuadro(kQuadroSimples);
    pty.Escrever(Hex("06 06 06 06 06 06 06 06 06 06"));
    EXPECT_FALSE(canal.ReceberAckSerial());
}

TEST_F(CanalSerial, SemBytesFalhaComErroDeRecepcao) {
    EXPECT_EQ(nullptr, canal.ReceberSerial(12));
    EXPECT_EQ(7, canal.Erro().Codigo());
    EXPECT_FALSE(canal.ReceberAckSerial());
}

TEST_F(CanalSerial, RecepcaoCurtaZeraORestante) {
    pty.Escrever(std::vector<uint8_t>(40, 0xEE));
    ASSERT_NE(nullptr, canal.ReceberSerial(40));
    pty.Escrever(Hex("41 42"));
    const uint8_t* rx = canal.ReceberSerial(40);
    ASSERT_NE(nullptr, rx);
    EXPECT_EQ("41 42 00 00", ParaHex(rx, 4));
}

TEST_F(CanalSerial, TransacaoModbusRtu) {
    canal.DefinirEnderecoRtu(1);
    // Reply to "read 2 registers from 1280": 01 03 04 00 01 00 03 + CRC.
    std::vector<uint8_t> resposta = Hex("01 03 04 00 01 00 03");
    uint16_t crc = 0;
    Crc16Modbus(crc, resposta.data(), resposta.size());
    resposta.push_back(static_cast<uint8_t>(crc));
    resposta.push_back(static_cast<uint8_t>(crc >> 8));
    std::thread dispositivo([&] {
        const auto pedido = pty.Ler(8, 3s);
        EXPECT_EQ("01 03 05 00 00 02 C4 C7", ParaHex(pedido));
        pty.Escrever(resposta);
    });
    uint8_t saida[4] = {};
    EXPECT_TRUE(canal.LerRegistros(1280, saida, 4));
    dispositivo.join();
    EXPECT_EQ("00 01 00 03", ParaHex(saida, 4));
}

TEST_F(CanalSerial, TransacaoModbusRtuComExcecao) {
    canal.DefinirEnderecoRtu(1);
    std::thread dispositivo([&] {
        pty.Ler(8, 3s);
        pty.Escrever(Hex("01 83 02 C0 F1"));
    });
    uint8_t saida[4] = {};
    EXPECT_FALSE(canal.LerRegistros(1280, saida, 4));
    dispositivo.join();
}

}  // namespace
}  // namespace tvx
