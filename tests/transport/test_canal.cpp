// The link layer against real peers: the TCP socket and the channel on a
// loopback listener and inside isolated networks, the channel on a real
// pseudo-terminal. Every check is on the bytes that cross the link.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/par_tcp.h"
#include "support/pty_teste.h"
#include "support/rede_isolada.h"
#include "transport/canal.h"
#include "transport/codec.h"
#include "transport/tcp_socket.h"

namespace tvx {
namespace {

using teste::Hex;
using teste::MsDesde;
using teste::ParaHex;
using teste::ParTcp;
using teste::RedeIsolada;
using namespace std::chrono_literals;
using Relogio = std::chrono::steady_clock;

const uint8_t kX = 'x';

TEST(TcpSocket, ParQueFechaPortaFechadaHostVazioEPortaZero) {
    ParTcp par;
    par.Fechar();
    TcpSocket s;
    s.SetTimeout(5);
    ASSERT_TRUE(s.Connect("127.0.0.1", par.Porta()));
    // The peer closes: end of stream counts as readable, then no system call
    // is made any more (it would overwrite errno).
    ASSERT_TRUE(s.Send(&kX, 1));
    ASSERT_TRUE(s.WaitReadable());
    uint8_t buffer[16];
    EXPECT_EQ(s.Receive(buffer, sizeof buffer), 0);
    EXPECT_FALSE(s.IsValid());
    errno = 4242;
    EXPECT_FALSE(s.Send(&kX, 1) || s.WaitReadable());
    EXPECT_EQ(s.Receive(buffer, sizeof buffer), 0);
    EXPECT_EQ(s.Shutdown(), -1);
    EXPECT_EQ(s.Close(), -1);
    EXPECT_EQ(errno, 4242);

    uint16_t porta;
    {
        ParTcp fechado;  // gone: the port answers every SYN with RST
        porta = fechado.Porta();
    }
    TcpSocket t;
    const int handle = t.Handle();
    EXPECT_FALSE(t.Connect("", 5003) || t.Connect("127.0.0.1", 0) || t.Send(&kX, 0));
    EXPECT_EQ(errno, 4242);  // refused before any system call
    EXPECT_EQ(t.Handle(), handle);
    t.SetTimeout(30);
    const auto inicio = Relogio::now();
    EXPECT_FALSE(t.Connect("127.0.0.1", porta));
    EXPECT_LT(MsDesde(inicio), 1000);
    EXPECT_EQ(t.Handle(), -1);
}

TEST(TcpSocket, SendAUmParQueSumiuDaFalsoSemSigpipe) {
    struct sigaction anterior {};
    struct sigaction padrao {};
    padrao.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &padrao, &anterior);  // SIGPIPE would kill the test program
    ParTcp par;
    par.Fechar();
    TcpSocket s;
    s.SetTimeout(5);
    ASSERT_TRUE(s.Connect("127.0.0.1", par.Porta()));
    // The first sends may still be accepted locally; the RST they provoke
    // makes a later one fail with EPIPE.
    const std::vector<uint8_t> dados(512, 'a');
    bool falhou = false;
    for (int i = 0; i < 20 && !falhou; ++i) {
        falhou = !s.Send(dados.data(), static_cast<int>(dados.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(falhou);
    EXPECT_EQ(s.Handle(), -1);
    sigaction(SIGPIPE, &anterior, nullptr);
}

TEST(TcpSocket, EsperaPelaRespostaZeroNegativoEEsgotada) {
    ParTcp par;
    par.Responder(Hex("64 61 64 6F 73"));
    for (int tempo : {0, -1, 1}) {
        SCOPED_TRACE(tempo);
        TcpSocket s;
        s.SetTimeout(5);
        ASSERT_TRUE(s.Connect("127.0.0.1", par.Porta()));
        if (tempo == 0) {
            // Let the bytes arrive, then poll without waiting.
            ASSERT_TRUE(s.Send(&kX, 1));
            pollfd p{s.Handle(), POLLIN, 0};
            ASSERT_EQ(poll(&p, 1, 1000), 1);
            s.SetTimeout(0);
            EXPECT_TRUE(s.WaitReadable());
            uint8_t buffer[16];
            EXPECT_EQ(s.Receive(buffer, sizeof buffer), 5);
        }
        s.SetTimeout(tempo);
        const auto inicio = Relogio::now();
        EXPECT_FALSE(s.WaitReadable());  // nothing waiting
        const long long ms = MsDesde(inicio);
        EXPECT_GE(ms, tempo == 1 ? 990 : 0);
        EXPECT_LT(ms, tempo == 1 ? 1500 : 100);
        EXPECT_EQ(s.Handle(), tempo < 0 ? s.Handle() : -1);
    }
}

TEST(SocketException, CriacaoQueFalhaDizPorque) {
    rlimit limite{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limite), 0);
    // With no descriptor allowed, socket() fails with EMFILE.
    rlimit nenhum = limite;
    nenhum.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &nenhum), 0);
    std::string texto;
    try {
        TcpSocket s;
    } catch (const SocketException& e) {
        setrlimit(RLIMIT_NOFILE, &limite);  // the sanitizers need descriptors
        texto = e.what();
    }
    setrlimit(RLIMIT_NOFILE, &limite);
    EXPECT_EQ(texto, std::string("Socket creation failed (socket()): ") + std::strerror(EMFILE));
}

TEST(TcpSocket, NomesESilencioNaRedeIsolada) {
    // A NUL inside the text is refused before any lookup.
    sockaddr_in a{};
    EXPECT_THROW(TcpSocket::FillAddress(std::string("127.0.0.1\0x", 11), 1, a), SocketException);
    // Name lookups run inside the isolated namespace, where no name server can
    // be reached: nothing leaves this machine.
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        TcpSocket s;
        s.SetTimeout(1);
        for (const char* nome : {"equipamento.invalid", "300.1.2.3"}) {
            try {
                s.Connect(nome, 5003);
                ADD_FAILURE() << nome << " resolved";
            } catch (const SocketException& e) {
                EXPECT_STREQ(e.what(), "Failed to resolve name (gethostbyname())");
            }
        }
        EXPECT_TRUE(s.IsValid());  // the socket survives a failed lookup
        ParTcp local;
        TcpSocket porNome;
        EXPECT_TRUE(porNome.Connect("localhost", local.Porta()));

        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        const auto inicio = Relogio::now();
        EXPECT_FALSE(s.Connect("10.77.0.2", 5003));
        const long long ms = MsDesde(inicio);
        EXPECT_GE(ms, 990);
        EXPECT_LT(ms, 1500);
        EXPECT_EQ(s.Handle(), -1);
        EXPECT_FALSE(s.Connect("10.77.0.2", 5003));  // no reconnect on the same object
    });
}

TEST(Canal, TextosDosErrosEMontagemPorTipoEMeio) {
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
    cErroCanal erro;
    erro.Definir(9);
    EXPECT_EQ(erro.Texto(), "");

    cCanal c;
    // Too large: -1, the error text and an emptied buffer; negative: kept.
    c.DefinirTipoQuadro(kQuadroDle);
    std::vector<uint8_t> grande(2048, 0x55);
    EXPECT_EQ(-1, c.MontarComando(0x4C, 0x16, 2048, grande.data()));
    EXPECT_EQ(-1, c.TamanhoTx());
    EXPECT_EQ("Erro no tamanho do buffer de TX :overflow", c.Erro().Texto());
    EXPECT_EQ(ParaHex(std::vector<uint8_t>(kTamanhoBufferCanal, 0)),
              ParaHex(c.BufferTx(), kTamanhoBufferCanal));
    c.DefinirTipoQuadro(kQuadroSimples);
    EXPECT_EQ(-3, c.MontarComando(0x4C, 1, -3, nullptr));
    EXPECT_EQ(4, c.Erro().Codigo());
    EXPECT_EQ(-3, c.TamanhoTx());
    EXPECT_EQ(0, c.DefinirTamanhoTx(0));
    EXPECT_EQ(3, c.Erro().Codigo());
}

TEST(Canal, TcpConfirmacaoPorTipoFechamentoENovaConexao) {
    ParTcp par;
    cCanal canal;
    canal.DefinirTempoEspera(1);
    ASSERT_TRUE(canal.Conectar("127.0.0.1", par.Porta()));
    canal.DefinirUsaTcp(true);
    const uint8_t um = 1;
    for (const auto& [tipo, posicao] : {std::pair<uint8_t, int>{kQuadroDle, 7},
                                        {kQuadroDleCurto, 5},
                                        {kQuadroSimples, 0},
                                        {kQuadroModbus, 7}}) {
        canal.DefinirTipoQuadro(tipo);
        std::vector<uint8_t> certo(12, 0), errado(12, 0);
        certo[posicao] = kAck;
        errado[posicao == 0 ? 1 : posicao - 1] = kAck;
        for (bool aceita : {true, false}) {
            par.Responder(aceita ? certo : errado);
            ASSERT_TRUE(canal.EnviarTcpBuffer(&um, 1));
            canal.AguardarTcp();
            EXPECT_EQ(aceita, canal.ReceberAckTcp()) << int(tipo);
        }
    }
    // The peer closes: no reply, and the next connection takes a new socket.
    par.Fechar();
    ASSERT_TRUE(canal.EnviarTcpBuffer(&um, 1));
    canal.AguardarTcp();
    EXPECT_EQ(nullptr, canal.ReceberTcp());
    EXPECT_FALSE(canal.Socket()->IsValid());
    EXPECT_TRUE(canal.Conectar("127.0.0.1", par.Porta()));
    for (int i = 0; i < 200 && par.Conexoes() < 2; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(2, par.Conexoes());
    EXPECT_TRUE(canal.Desconectar());
    EXPECT_FALSE(canal.Desconectar());
    EXPECT_FALSE(canal.EnviarTcp());
    EXPECT_EQ(nullptr, canal.ReceberTcp());
    EXPECT_FALSE(canal.Conectar("", par.Porta()) || canal.Conectar("127.0.0.1", 0));
    // Only frame kind 5 speaks Modbus TCP.
    uint8_t saida[2];
    EXPECT_FALSE(canal.LerRegistros(1280, saida, 2) ||
                 canal.EscreverRegistros(1280, saida, 2, saida, 2));
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
    const std::tuple<uint8_t, const char*, bool> confirmacoes[] = {
        {kQuadroDle, "10 02 01 00 00 06 00 00 00 00 00 00", true},
        {kQuadroDleCurto, "10 02 01 06 00 00 00 00 00 00", true},
        {kQuadroDleCurto, "10 02 01 00 00 06 00 00 00 00", false},  // kind 0's place
        {kQuadroSimples, "06 06 06 06 06 06 06 06 06 06", false},
    };
    for (const auto& [tipo, ack, aceita] : confirmacoes) {
        canal.DefinirTipoQuadro(tipo);
        pty.Escrever(Hex(ack));
        EXPECT_EQ(aceita, canal.ReceberAckSerial()) << ack;
    }
    pty.Escrever(std::vector<uint8_t>(40, 0xEE));
    ASSERT_NE(nullptr, canal.ReceberSerial(40));
    pty.Escrever(Hex("41 42"));
    const uint8_t* rx = canal.ReceberSerial(40);
    ASSERT_NE(nullptr, rx);
    EXPECT_EQ("41 42 00 00", ParaHex(rx, 4));  // nothing of the longer reply before
    EXPECT_EQ(nullptr, canal.ReceberSerial(12));
    EXPECT_EQ(7, canal.Erro().Codigo());
    canal.FecharSerial();
    EXPECT_FALSE(canal.EnviarSerial(rx, 1));
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
