// The TCP socket against a real loopback peer and inside isolated networks.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

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
using teste::ParaHex;
using teste::ParTcp;
using teste::RedeIsolada;
using Relogio = std::chrono::steady_clock;

long long MsDesde(Relogio::time_point inicio) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Relogio::now() - inicio).count();
}

const uint8_t kX = 'x';

TEST(TcpSocket, TrocaBytesExatosEParQueFecha) {
    ParTcp par;
    par.Responder(Hex("00 01 02 03 04 05 06 06"));
    par.Fechar();
    TcpSocket s;
    EXPECT_EQ(s.Timeout(), 60);
    s.SetTimeout(5);
    ASSERT_TRUE(s.Connect("127.0.0.1", par.Porta()));
    const std::vector<uint8_t> pedido = Hex("10 02 4C 16 00 FF 10 03");
    ASSERT_TRUE(s.Send(pedido.data(), static_cast<int>(pedido.size())));
    EXPECT_EQ("10 02 4C 16 00 FF 10 03", ParaHex(par.Recebido(8)));
    ASSERT_TRUE(s.WaitReadable());
    uint8_t buffer[2048];
    ASSERT_EQ(s.Receive(buffer, sizeof buffer), 8);
    EXPECT_EQ("00 01 02 03 04 05 06 06", ParaHex(buffer, 8));

    // The peer closes: end of stream counts as readable, then no system call
    // is made any more (it would overwrite errno).
    ASSERT_TRUE(s.Send(&kX, 1));
    ASSERT_TRUE(s.WaitReadable());
    EXPECT_EQ(s.Receive(buffer, sizeof buffer), 0);
    EXPECT_EQ(s.Handle(), -1);
    EXPECT_FALSE(s.IsValid());
    errno = 4242;
    EXPECT_FALSE(s.Send(&kX, 1));
    EXPECT_EQ(s.Receive(buffer, sizeof buffer), 0);
    EXPECT_FALSE(s.WaitReadable());
    EXPECT_EQ(s.Shutdown(), -1);
    EXPECT_EQ(s.Close(), -1);
    EXPECT_EQ(errno, 4242);
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

TEST(TcpSocket, PortaFechadaHostVazioEPortaZero) {
    uint16_t porta;
    {
        ParTcp fechado;  // gone: the port answers every SYN with RST
        porta = fechado.Porta();
    }
    TcpSocket s;
    const int handle = s.Handle();
    errno = 4242;
    EXPECT_FALSE(s.Connect("", 5003));
    EXPECT_FALSE(s.Connect("127.0.0.1", 0));
    EXPECT_FALSE(s.Send(&kX, 0));
    EXPECT_EQ(errno, 4242);  // refused before any system call
    EXPECT_EQ(s.Handle(), handle);
    s.SetTimeout(30);
    const auto inicio = Relogio::now();
    EXPECT_FALSE(s.Connect("127.0.0.1", porta));
    EXPECT_LT(MsDesde(inicio), 1000);
    EXPECT_EQ(s.Handle(), -1);
    EXPECT_FALSE(s.Send(&kX, 1));
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

TEST(TcpSocket, DescritorAcimaDeFdSetsizeEDestrutor) {
    rlimit limite{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limite), 0);
    rlimit maior = limite;
    maior.rlim_cur = std::min<rlim_t>(limite.rlim_max, 2048);
    if (maior.rlim_cur < 1100 || setrlimit(RLIMIT_NOFILE, &maior) != 0) {
        GTEST_SKIP() << "cannot open descriptors above FD_SETSIZE here";
    }
    // Occupy the numbers below 1024 so the socket gets a larger one.
    std::vector<int> ocupados;
    while (ocupados.empty() || ocupados.back() < FD_SETSIZE + 8) {
        const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            break;
        }
        ocupados.push_back(fd);
    }
    ParTcp par;
    par.Responder(Hex("7A"));
    int handle = -1;
    {
        TcpSocket s;
        EXPECT_GT(s.Handle(), FD_SETSIZE);
        s.SetTimeout(5);
        EXPECT_TRUE(s.Connect("127.0.0.1", par.Porta()));
        EXPECT_TRUE(s.Send(&kX, 1));
        EXPECT_TRUE(s.WaitReadable());
        handle = s.Handle();
    }
    EXPECT_EQ(fcntl(handle, F_GETFD), -1);  // closed with the object
    EXPECT_EQ(errno, EBADF);
    for (int fd : ocupados) {
        close(fd);
    }
    setrlimit(RLIMIT_NOFILE, &limite);
}

TEST(SocketException, TextosExatosECriacaoQueFalha) {
    errno = ECONNREFUSED;
    const SocketException comSistema("Socket creation failed (socket())", true);
    EXPECT_EQ(std::string(comSistema.what()),
              std::string("Socket creation failed (socket()): ") + std::strerror(ECONNREFUSED));
    EXPECT_STREQ(SocketException("").what(), "");
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

TEST(TcpSocket, NomesEEnderecoDeFabricaNaRedeIsolada) {
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

        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
        sockaddr_in fabrica{};
        TcpSocket::FillAddress("192.168.0.101", 5003, fabrica);
        const int ouvinte = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(bind(ouvinte, reinterpret_cast<sockaddr*>(&fabrica), sizeof fabrica), 0);
        ASSERT_EQ(listen(ouvinte, 1), 0);
        TcpSocket equipamento;
        equipamento.SetTimeout(30);
        EXPECT_TRUE(equipamento.Connect("192.168.0.101", 5003));
        close(ouvinte);
        ParTcp local;
        TcpSocket porNome;
        porNome.SetTimeout(5);
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
