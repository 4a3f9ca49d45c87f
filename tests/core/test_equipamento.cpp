// The equipment object: the model predicates for every catalogue row and the
// link operations against a real loopback peer and a real pseudo-terminal.
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
using teste::ParTcp;
using teste::PtyTeste;
using namespace std::chrono_literals;

struct LinhaPredicados {
    uint32_t modelo;
    int familia;
    int tipoQuadro;
    int porta;
    // IpDefault, EsteIp, Serial, RtuVelocidade, TCP even on serial, PodeLer,
    // MostraIpProgramado, MostraEnderecosLidos, ModeloComDip, PermiteReset
    const char* marcas;
};

const LinhaPredicados kPredicados[] = {
    {0, 255, 0, 5003, "1001000100"},  {1, 9, 4, 5003, "1001111100"},
    {2, 10, 6, 5003, "1111010101"},   {3, 10, 0, 5003, "1111010101"},
    {4, 10, 0, 5003, "1111010101"},   {5, 10, 0, 5003, "1111010101"},
    {6, 10, 4, 5006, "1101110111"},   {7, 10, 4, 5007, "1101110111"},
    {8, 1, 0, 5003, "1001001100"},    {9, 1, 0, 5003, "1001001100"},
    {10, 1, 0, 5003, "1001001100"},   {11, 1, 0, 5003, "1001001100"},
    {12, 1, 0, 5003, "1001001100"},   {13, 1, 0, 5003, "1001001100"},
    {14, 1, 0, 5003, "1001001100"},   {15, 10, 0, 5003, "1101010100"},
    {16, 1, 0, 5003, "1001001100"},   {17, 10, 4, 5006, "1101110111"},
    {18, 10, 4, 5003, "1001100100"},  {19, 15, 0, 5003, "1001001100"},
    {20, 1, 0, 5003, "1001001100"},   {21, 6, 0, 5003, "1001001100"},
    {22, 10, 6, 5003, "1111010100"},  {23, 10, 6, 5003, "1111010100"},
    {24, 10, 6, 5003, "1101010100"},  {25, 0, 6, 5003, "0010010100"},
    {26, 1, 0, 5003, "1001001100"},   {27, 9, 0, 5003, "1001011100"},
    {28, 6, 0, 5003, "1001001100"},   {29, 10, 6, 5003, "1001010100"},
    {30, 21, 5, 502, "1101010000"},   {31, 10, 6, 5003, "1001010100"},
    {32, 1, 0, 5003, "1001001100"},   {33, 10, 6, 5003, "1101010101"},
    {34, 10, 6, 5003, "1101010100"},
};

TEST(EquipamentoPredicados, TodosOsModelos) {
    for (const LinhaPredicados& linha : kPredicados) {
        SCOPED_TRACE(linha.modelo);
        cEquipamento e;
        e.SetModelo(linha.modelo);
        ASSERT_TRUE(e.CarregaInfoModelo());
        EXPECT_EQ(linha.familia, e.Familia());
        EXPECT_EQ(linha.tipoQuadro, e.TipoQuadro());
        EXPECT_EQ(linha.porta, e.PortaTcp());
        auto m = [&](int i) { return linha.marcas[i] == '1'; };
        EXPECT_EQ(m(0), e.PermiteIpDefault());
        EXPECT_EQ(m(1), e.PermiteEsteIp());
        EXPECT_EQ(m(2), e.PermiteSerial());
        EXPECT_EQ(m(3), e.PermiteRtuVelocidade());
        e.SetMeio(kMeioSerial);
        EXPECT_EQ(m(4), e.UsaTcp());
        e.SetMeio(kMeioEsteIp);
        EXPECT_TRUE(e.UsaTcp());
        EXPECT_EQ(m(5), e.PodeLer());
        EXPECT_EQ(m(6), e.MostraIpProgramado());
        EXPECT_EQ(m(7), e.MostraEnderecosLidos());
        EXPECT_EQ(m(8), e.ModeloComDip());
        EXPECT_EQ(m(9), e.PermiteReset());
    }
}

TEST(EquipamentoPredicados, ValoresIniciais) {
    cEquipamento e;
    EXPECT_EQ(0u, e.GetModelo());
    EXPECT_EQ(0u, e.GetMeio());
    EXPECT_EQ(0xFFFF, e.entradasDigitais);
    EXPECT_EQ(3, e.saidasDigitais);
    EXPECT_EQ(0, e.Familia());
    EXPECT_EQ("", e.GetIpLido());
    EXPECT_EQ(1000, e.canal.TempoEsperaMs());
    EXPECT_TRUE(std::all_of(e.registroGatewayUniversal.begin(), e.registroGatewayUniversal.end(),
                            [](uint8_t b) { return b == 0; }));
}

TEST(EquipamentoPredicados, IndiceForaDoCatalogoZeraAFamilia) {
    cEquipamento e;
    e.SetModelo(3);
    e.CarregaInfoModelo();
    e.SetModelo(35);
    EXPECT_FALSE(e.CarregaInfoModelo());
    EXPECT_EQ(0, e.Familia());
    EXPECT_EQ(nullptr, e.infoModelo.nome);
}

TEST(EquipamentoPredicados, Modelo25TemRtuZeroE38400) {
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
}

TEST(EquipamentoPredicados, ProgramaIpEOpcoes) {
    cEquipamento e;
    e.SetModelo(30);
    e.CarregaInfoModelo();
    EXPECT_FALSE(e.ProgramaIp());
    e.infoModelo.alterarIp = 1;
    EXPECT_TRUE(e.ProgramaIp());
    e.SetModelo(3);
    e.CarregaInfoModelo();
    EXPECT_TRUE(e.ProgramaIp());
    // Model 32 offers only the MAC slot: a tick on the others counts for nothing.
    e.SetModelo(32);
    e.CarregaInfoModelo();
    for (auto& o : e.infoModelo.opcoes) {
        o.marcada = 1;
    }
    EXPECT_TRUE(e.AlterarMac());
    EXPECT_FALSE(e.AlterarCelularSms());
    EXPECT_FALSE(e.AlterarIdTelemetria());
}

TEST(EquipamentoComando, VariantesDeQuadro) {
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
    EXPECT_EQ(0xFE, e.canal.EnderecoRtu());
    EXPECT_EQ(0xFE, e.canal.BufferTx()[8]);
    // Model 25 on the serial line: RTU 0, no TCP header.
    e.SetModelo(25);
    e.SetMeio(kMeioSerial);
    ASSERT_EQ(9, e.MontaComando('P', 5, 0, nullptr));
    EXPECT_EQ("10 02 00 50 05 10 03", ParaHex(e.canal.BufferTx(), 7));
    EXPECT_FALSE(e.canal.UsaTcp());
}

TEST(EquipamentoProgresso, TextoVazioNaoEPostado) {
    FilaProgresso fila;
    cEquipamento e;
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

TEST(EquipamentoProgresso, SemJanelaNadaChega) {
    cEquipamento e;
    EXPECT_FALSE(e.InformaProgresso("linha"));
}

TEST(EquipamentoEnlace, ConectaNaPortaDoModeloComTrintaSegundos) {
    ParTcp par("127.0.0.61", 5006);
    cEquipamento e;
    e.SetModelo(17);
    e.SetIpProgramacao("127.0.0.61");
    e.SetIpNovo("127.0.0.62");
    ASSERT_TRUE(e.Conecta(false));
    EXPECT_EQ(30000, e.canal.TempoEsperaMs());
    ASSERT_NE(nullptr, e.canal.Socket());
    EXPECT_EQ(30, e.canal.Socket()->Timeout());
    EXPECT_EQ(1, [&] {
        for (int i = 0; i < 100 && par.Conexoes() == 0; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        return par.Conexoes();
    }());
    e.Desconecta();
    EXPECT_EQ(nullptr, e.canal.Socket());
}

TEST(EquipamentoEnlace, ConectaNoIpNovoRecusadoFalhaLogo) {
    cEquipamento e;
    e.SetModelo(3);
    e.SetIpNovo("127.0.0.63");  // nothing listens there
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_FALSE(e.Conecta(true));
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, 5s);
}

TEST(EquipamentoEnlace, Modelos1e18FicamNoTcpComMeioSerial) {
    ParTcp par("127.0.0.64", 5003);
    for (uint32_t modelo : {1u, 18u}) {
        cEquipamento e;
        e.SetModelo(modelo);
        e.SetMeio(kMeioSerial);
        e.SetPorta("/dev/nao-existe");
        e.SetIpProgramacao("127.0.0.64");
        EXPECT_TRUE(e.Conecta(false));
        EXPECT_FALSE(e.canal.SerialAberta());
        e.Desconecta();
    }
}

TEST(EquipamentoEnlace, RecebeCopiaSoOQueChegou) {
    ParTcp par("127.0.0.65", 5003);
    cEquipamento e;
    e.SetModelo(8);
    e.SetIpProgramacao("127.0.0.65");
    ASSERT_TRUE(e.Conecta(false));
    par.Responder(std::vector<uint8_t>(60, 'X'));
    par.Responder(Hex("31 30 2E"));
    uint8_t bloco[60];
    const uint8_t pedido[4] = {'L', 'E', 'R', '='};
    ASSERT_TRUE(e.EnviaBruto(pedido, 4));
    e.AguardaResposta();
    ASSERT_TRUE(e.Recebe(bloco, 60));
    ASSERT_TRUE(e.EnviaBruto(pedido, 4));
    e.AguardaResposta();
    ASSERT_TRUE(e.Recebe(bloco, 60));
    EXPECT_EQ("31 30 2E 00 00", ParaHex(bloco, 5));
    EXPECT_EQ(0, bloco[59]);
    e.Desconecta();
}

TEST(EquipamentoEnlace, SerialAbreUsaEFecha) {
    PtyTeste pty;
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
    e.Desconecta();
    EXPECT_FALSE(e.canal.SerialAberta());
}

TEST(EquipamentoEnlace, DesconectaFechaASerialMesmoEmModoModbus) {
    PtyTeste pty;
    cEquipamento e;
    e.SetModelo(3);
    e.SetMeio(kMeioSerial);
    e.SetPorta(pty.CaminhoEscravo());
    ASSERT_TRUE(e.Conecta(false));
    e.ModoModbus();
    e.Desconecta();
    EXPECT_FALSE(e.canal.SerialAberta());
}

}  // namespace
}  // namespace tvx
