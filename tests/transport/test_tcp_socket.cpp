#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/rede_isolada.h"
#include "transport/tcp_socket.h"

namespace tvx {
namespace {

using teste::RedeIsolada;
using RelogioMonotonico = std::chrono::steady_clock;

long long MsDesde(RelogioMonotonico::time_point inicio) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(RelogioMonotonico::now() - inicio)
        .count();
}

// A listening socket on an address of this machine (or of the isolated
// namespace when created there), on a port the kernel picks.
class Ouvinte {
  public:
    explicit Ouvinte(const char* ip = "127.0.0.1", uint16_t porta = 0, bool escutar = true) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int sim = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &sim, sizeof sim);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(porta);
        inet_pton(AF_INET, ip, &a.sin_addr);
        ok_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
              (!escutar || listen(fd_, 4) == 0);
        socklen_t n = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
        porta_ = ntohs(a.sin_port);
    }
    ~Ouvinte() {
        if (aceito_ >= 0) {
            close(aceito_);
        }
        close(fd_);
    }
    bool ok() const { return ok_; }
    uint16_t porta() const { return porta_; }

    // Waits up to a second for the connection and keeps it.
    bool Aceitar() {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 1000) != 1) {
            return false;
        }
        aceito_ = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        return aceito_ >= 0;
    }
    std::string Ler(size_t n) {
        std::string lido;
        while (lido.size() < n) {
            pollfd p{aceito_, POLLIN, 0};
            if (poll(&p, 1, 1000) != 1) {
                break;
            }
            char bloco[256];
            const ssize_t r = recv(aceito_, bloco, std::min(sizeof bloco, n - lido.size()), 0);
            if (r <= 0) {
                break;
            }
            lido.append(bloco, static_cast<size_t>(r));
        }
        return lido;
    }
    void Escrever(const std::string& texto) {
        ASSERT_EQ(send(aceito_, texto.data(), texto.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(texto.size()));
    }
    void FecharConexao() {
        close(aceito_);
        aceito_ = -1;
    }

  private:
    int fd_ = -1;
    int aceito_ = -1;
    bool ok_ = false;
    uint16_t porta_ = 0;
};

const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

TEST(TcpSocket, ConectaETrocaBytesExatos) {
    Ouvinte ouvinte;
    ASSERT_TRUE(ouvinte.ok());
    TcpSocket s;
    EXPECT_EQ(s.Timeout(), 60);
    s.SetTimeout(5);
    ASSERT_TRUE(s.Connect("127.0.0.1", ouvinte.porta()));
    ASSERT_TRUE(ouvinte.Aceitar());

    const std::string pedido("\x10\x02L\x16\x00\xFF\x10\x03", 8);
    ASSERT_TRUE(s.Send(Bytes(pedido), static_cast<int>(pedido.size())));
    EXPECT_EQ(ouvinte.Ler(pedido.size()), pedido);

    const std::string resposta("\x00\x01\x02\x03\x04\x05\x06\x06", 8);
    ouvinte.Escrever(resposta);
    ASSERT_TRUE(s.WaitReadable());
    uint8_t buffer[2048];
    const int n = s.Receive(buffer, sizeof buffer);
    ASSERT_EQ(n, 8);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 8), resposta);
    EXPECT_TRUE(s.IsValid());
}

TEST(TcpSocket, ParFechaReceiveZeroDepoisSendFalsoSemChamadaAoSistema) {
    Ouvinte ouvinte;
    TcpSocket s;
    s.SetTimeout(5);
    ASSERT_TRUE(s.Connect("127.0.0.1", ouvinte.porta()));
    ASSERT_TRUE(ouvinte.Aceitar());
    ouvinte.FecharConexao();

    ASSERT_TRUE(s.WaitReadable());  // end of stream counts as readable
    uint8_t buffer[64];
    EXPECT_EQ(s.Receive(buffer, sizeof buffer), 0);
    EXPECT_EQ(s.Handle(), -1);
    EXPECT_FALSE(s.IsValid());

    // A system call would overwrite errno.
    errno = 4242;
    EXPECT_FALSE(s.Send(Bytes("x"), 1));
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

    Ouvinte ouvinte;
    TcpSocket s;
    s.SetTimeout(5);
    ASSERT_TRUE(s.Connect("127.0.0.1", ouvinte.porta()));
    ASSERT_TRUE(ouvinte.Aceitar());
    ouvinte.FecharConexao();

    // The first send may still be accepted locally; the RST it provokes makes
    // a later one fail with EPIPE.
    const std::string dados(512, 'a');
    bool falhou = false;
    for (int i = 0; i < 20 && !falhou; ++i) {
        falhou = !s.Send(Bytes(dados), static_cast<int>(dados.size()));
        if (!falhou) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    EXPECT_TRUE(falhou);
    EXPECT_EQ(s.Handle(), -1);
    sigaction(SIGPIPE, &anterior, nullptr);
}

TEST(TcpSocket, PortaFechadaFalhaNaHoraENaoAposOTempo) {
    // Bound but not listening: the port is ours and answers every SYN with RST.
    Ouvinte fechado("127.0.0.1", 0, false);
    ASSERT_TRUE(fechado.ok());
    TcpSocket s;
    s.SetTimeout(30);
    const auto inicio = RelogioMonotonico::now();
    EXPECT_FALSE(s.Connect("127.0.0.1", fechado.porta()));
    EXPECT_LT(MsDesde(inicio), 1000);
    EXPECT_EQ(s.Handle(), -1);
    EXPECT_FALSE(s.Send(Bytes("x"), 1));
}

TEST(TcpSocket, HostVazioOuPortaZeroNaoChamaOSistema) {
    TcpSocket s;
    const int handle = s.Handle();
    errno = 4242;
    EXPECT_FALSE(s.Connect("", 5003));
    EXPECT_FALSE(s.Connect("127.0.0.1", 0));
    EXPECT_EQ(errno, 4242);
    EXPECT_EQ(s.Handle(), handle);
    EXPECT_TRUE(s.IsValid());
    EXPECT_FALSE(s.Send(Bytes("x"), 0));
    EXPECT_EQ(s.Handle(), handle);
}

TEST(TcpSocket, WaitReadableComZeroSegundosConsultaUmaVez) {
    Ouvinte ouvinte;
    {
        TcpSocket s;
        s.SetTimeout(5);
        ASSERT_TRUE(s.Connect("127.0.0.1", ouvinte.porta()));
        ASSERT_TRUE(ouvinte.Aceitar());
        ouvinte.Escrever("dados");
        // Let the bytes arrive, then poll without waiting.
        pollfd p{s.Handle(), POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 1000), 1);
        s.SetTimeout(0);
        EXPECT_TRUE(s.WaitReadable());
        EXPECT_TRUE(s.IsValid());
        uint8_t buffer[16];
        EXPECT_EQ(s.Receive(buffer, sizeof buffer), 5);

        const auto inicio = RelogioMonotonico::now();
        EXPECT_FALSE(s.WaitReadable());  // nothing waiting
        EXPECT_LT(MsDesde(inicio), 100);
        EXPECT_EQ(s.Handle(), -1);
    }
}

TEST(TcpSocket, WaitReadableEsgotaOTempoEFechaOSocket) {
    Ouvinte ouvinte;
    TcpSocket s;
    s.SetTimeout(1);
    ASSERT_TRUE(s.Connect("127.0.0.1", ouvinte.porta()));
    ASSERT_TRUE(ouvinte.Aceitar());
    const auto inicio = RelogioMonotonico::now();
    EXPECT_FALSE(s.WaitReadable());
    const long long ms = MsDesde(inicio);
    EXPECT_GE(ms, 990);
    EXPECT_LT(ms, 1500);
    EXPECT_EQ(s.Handle(), -1);
    // The listener sees our side shut down.
    EXPECT_EQ(ouvinte.Ler(1), "");
}

TEST(TcpSocket, TempoNegativoNaoEsperaParaSempre) {
    Ouvinte ouvinte;
    TcpSocket s;
    s.SetTimeout(5);
    ASSERT_TRUE(s.Connect("127.0.0.1", ouvinte.porta()));
    s.SetTimeout(-1);
    const auto inicio = RelogioMonotonico::now();
    EXPECT_FALSE(s.WaitReadable());
    EXPECT_LT(MsDesde(inicio), 100);
}

TEST(TcpSocket, DescritorAcimaDeFdSetsizeNaoCorrompeMemoria) {
    rlimit limite{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limite), 0);
    if (limite.rlim_cur < 1100) {
        rlimit maior = limite;
        maior.rlim_cur = std::min<rlim_t>(limite.rlim_max, 2048);
        if (maior.rlim_cur < 1100 || setrlimit(RLIMIT_NOFILE, &maior) != 0) {
            GTEST_SKIP() << "cannot open descriptors above FD_SETSIZE here";
        }
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
    Ouvinte ouvinte;
    {
        TcpSocket s;
        EXPECT_GT(s.Handle(), FD_SETSIZE);
        s.SetTimeout(5);
        EXPECT_TRUE(s.Connect("127.0.0.1", ouvinte.porta()));
        ASSERT_TRUE(ouvinte.Aceitar());
        ouvinte.Escrever("z");
        EXPECT_TRUE(s.WaitReadable());
    }
    for (int fd : ocupados) {
        close(fd);
    }
    setrlimit(RLIMIT_NOFILE, &limite);
}

TEST(TcpSocket, DestrutorFechaOSocketAberto) {
    Ouvinte ouvinte;
    int handle = -1;
    {
        TcpSocket s;
        s.SetTimeout(5);
        ASSERT_TRUE(s.Connect("127.0.0.1", ouvinte.porta()));
        handle = s.Handle();
    }
    EXPECT_EQ(fcntl(handle, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
}

TEST(SocketException, TextosExatos) {
    errno = ECONNREFUSED;
    const SocketException comSistema("Socket creation failed (socket())", true);
    EXPECT_STREQ(
        comSistema.what(),
        (std::string("Socket creation failed (socket()): ") + std::strerror(ECONNREFUSED)).c_str());
    const SocketException copia = comSistema;
    EXPECT_STREQ(copia.what(), comSistema.what());
    EXPECT_STREQ(SocketException("").what(), "");
}

TEST(SocketException, CriacaoFalhaComAMensagemDoSistema) {
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

TEST(TcpSocket, NomeQueNaoResolveLancaAExcecao) {
    // A NUL inside the text is refused before any lookup.
    sockaddr_in a{};
    EXPECT_THROW(TcpSocket::FillAddress(std::string("127.0.0.1\0x", 11), 1, a), SocketException);

    // Name lookups run inside the isolated namespace, where no name server can
    // be reached: nothing leaves this machine.
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
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
    });
}

TEST(TcpSocket, EnderecoDeFabricaResolveSemServidorDeNomes) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        sockaddr_in a{};
        TcpSocket::FillAddress("192.168.0.101", 5003, a);
        EXPECT_EQ(a.sin_family, AF_INET);
        EXPECT_EQ(ntohs(a.sin_port), 5003);
        char texto[16];
        EXPECT_STREQ(inet_ntop(AF_INET, &a.sin_addr, texto, sizeof texto), "192.168.0.101");

        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
        Ouvinte equipamento("192.168.0.101", 5003);
        ASSERT_TRUE(equipamento.ok());
        TcpSocket s;
        s.SetTimeout(30);
        ASSERT_TRUE(s.Connect("192.168.0.101", 5003));
        ASSERT_TRUE(equipamento.Aceitar());
        EXPECT_TRUE(s.Send(Bytes("ok"), 2));
        EXPECT_EQ(equipamento.Ler(2), "ok");

        TcpSocket local;
        local.SetTimeout(5);
        Ouvinte outro;
        EXPECT_TRUE(local.Connect("localhost", outro.porta()));
    });
}

TEST(TcpSocket, ConnectSemRespostaEsgotaOTempo) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        TcpSocket s;
        s.SetTimeout(1);
        const auto inicio = RelogioMonotonico::now();
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
