// The TCP socket against a real loopback peer and inside isolated networks.
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
#include "support/rede_isolada.h"
#include "transport/tcp_socket.h"

namespace tvx {
namespace {

using teste::Hex;
using teste::ParTcp;
using teste::RedeIsolada;
using Relogio = std::chrono::steady_clock;

long long MsDesde(Relogio::time_point inicio) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Relogio::now() - inicio).count();
}

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

}  // namespace
}  // namespace tvx
