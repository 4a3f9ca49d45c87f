// The tvxnetcfg-sim program itself: options, the loopback rule, the printed
// exchanges and a clean stop on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "sim/cliente.h"
#include "support/par_tcp.h"
#include "support/rede_isolada.h"

namespace tvx::teste {
namespace {

namespace fs = std::filesystem;

// The program is built beside the tests: build/sim/ next to build/tests/.
fs::path Programa() {
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "sim" / "tvxnetcfg-sim";
}

class Execucao {
  public:
    explicit Execucao(std::vector<std::string> argumentos) {
        saida_ = fs::temp_directory_path() / ("tvxsim-" + std::to_string(getpid()) + "-" +
                                              std::to_string(++contador_) + ".txt");
        pid_ = fork();
        if (pid_ == 0) {
            const std::string caminho = Programa().string();
            std::vector<char*> argv{const_cast<char*>(caminho.c_str())};
            for (auto& a : argumentos) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            FILE* f = std::freopen(saida_.c_str(), "w", stdout);
            if (f) {
                dup2(fileno(stdout), STDERR_FILENO);
            }
            execv(caminho.c_str(), argv.data());
            _exit(127);
        }
    }
    ~Execucao() {
        if (pid_ > 0 && !terminou_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::error_code e;
        fs::remove(saida_, e);
    }
    // Exit status, or -1 when it has not ended within espera.
    int Aguardar(std::chrono::milliseconds espera) {
        const auto limite = std::chrono::steady_clock::now() + espera;
        for (;;) {
            int status = 0;
            if (terminou_ || waitpid(pid_, &status, WNOHANG) == pid_) {
                if (!terminou_) {
                    terminou_ = true;
                    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                }
                return status_;
            }
            if (std::chrono::steady_clock::now() >= limite) {
                return -1;
            }
            std::this_thread::sleep_for(10ms);
        }
    }
    void Sinal(int sinal) { kill(pid_, sinal); }
    std::string Saida() const {
        std::ifstream f(saida_);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    // Waits until the output holds texto; false at once when the program ended.
    bool Mostrou(const std::string& texto, std::chrono::milliseconds espera = 3s) {
        const auto limite = std::chrono::steady_clock::now() + espera;
        while (std::chrono::steady_clock::now() < limite) {
            if (Saida().find(texto) != std::string::npos) {
                return true;
            }
            if (Aguardar(0ms) >= 0) {
                return Saida().find(texto) != std::string::npos;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

  private:
    static inline int contador_ = 0;
    pid_t pid_ = -1;
    bool terminou_ = false;
    int status_ = -1;
    fs::path saida_;
};

TEST(SimLinhaComando, HelpDocumentsEveryOptionAndFault) {
    ASSERT_TRUE(fs::exists(Programa())) << Programa();
    Execucao e({"--help"});
    ASSERT_EQ(e.Aguardar(5s), 0);
    const std::string ajuda = e.Saida();
    for (const char* termo :
         {"--model",  "--address", "--port",    "--serial", "--fault", "--fault-count",
          "--ip",     "--mask",    "--gateway", "--rtu",    "--mac",   "--allow-any-address",
          "refuse",   "silent",    "close",     "short",    "garbage", "exception",
          "wrong-ip", "oversize",  "vanish",    "SIGUSR1"}) {
        EXPECT_NE(ajuda.find(termo), std::string::npos) << termo;
    }
}

TEST(SimLinhaComando, RefusesAddressesOutsideLoopbackAndBadOptions) {
    for (const std::vector<std::string>& argumentos :
         {std::vector<std::string>{"--model", "3", "--address", "192.168.0.101"},
          {"--model", "0"},
          {"--model", "35"},
          {"--address", "127.0.0.1"},
          {"--model", "3", "--fault", "explode"},
          {"--model", "3", "--fault", "refuse:X9"},
          {"--model", "3", "--ip", "1.2.3"}}) {
        Execucao e(argumentos);
        EXPECT_EQ(e.Aguardar(5s), 2) << argumentos[0] << " " << argumentos.back();
    }
    Execucao e({"--model", "3", "--address", "192.168.0.101"});
    e.Aguardar(5s);
    EXPECT_NE(e.Saida().find("only 127.0.0.0/8"), std::string::npos);
}

TEST(SimLinhaComando, ServesPrintsAndStopsOnSigterm) {
    std::unique_ptr<Execucao> execucao;
    const std::string endereco = EnderecoLivre("127.77.6.1", [&](const std::string& a) {
        execucao = std::make_unique<Execucao>(
            std::vector<std::string>{"--model", "2", "--address", a, "--mask", "255.255.0.0",
                                     "--fault", "refuse:L22", "--fault-count", "1"});
        return execucao->Mostrou("listening on " + a + ":5003");
    });
    Execucao& e = *execucao;
    EXPECT_NE(e.Saida().find("IP " + endereco + ", mask 255.255.0.0, gateway 0.0.0.0"),
              std::string::npos);
    {
        ClienteTcp c(endereco, 5003);
        const auto ip = QuadroDleTcp(1, 'L', 22, CargaIp("10.0.0.5", "255.0.0.0", "0.0.0.0"));
        EXPECT_EQ(c.Trocar(ip, 12)[5], 0x15);
        EXPECT_EQ(c.Trocar(ip, 12)[5], kAck);
        const std::string texto = TextoEm(c.Trocar(QuadroDleTcp(1, 'L', 31), 100), 5);
        EXPECT_NE(texto.find("IP: " + endereco + "\r\nMask: 255.255.0.0\r\n"), std::string::npos);
    }
    ASSERT_TRUE(e.Mostrou("configuration text"));
    const std::string saida = e.Saida();
    EXPECT_NE(saida.find("<- 89 bytes"), std::string::npos) << saida;
    EXPECT_NE(saida.find("NAK: refused"), std::string::npos);
    EXPECT_NE(saida.find("ACK: kept, in force after a restart"), std::string::npos);
    // A power cycle applies the address.
    e.Sinal(SIGUSR1);
    EXPECT_TRUE(e.Mostrou("power-cycled: IP 10.0.0.5, mask 255.0.0.0"));
    e.Sinal(SIGTERM);
    EXPECT_EQ(e.Aguardar(2s), 0);
    EXPECT_NE(e.Saida().find("stopped after 3 requests"), std::string::npos);
}

TEST(SimLinhaComando, AnyAddressOnlyWithTheFlagAndAWarning) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_EQ(rede.Interfaces(), std::vector<std::string>{"lo"});
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
        Execucao e({"--model", "3", "--address", "192.168.0.101", "--allow-any-address"});
        ASSERT_TRUE(e.Mostrou("listening on 192.168.0.101:5003")) << e.Saida();
        EXPECT_NE(e.Saida().find("warning: listening on 192.168.0.101, outside 127.0.0.0/8"),
                  std::string::npos);
        e.Sinal(SIGTERM);
        EXPECT_EQ(e.Aguardar(2s), 0);
    });
}

TEST(SimLinhaComando, SerialPrintsThePathToOpen) {
    Execucao e({"--model", "25", "--serial"});
    ASSERT_TRUE(e.Mostrou("serial line: /dev/pts/"));
    const std::string saida = e.Saida();
    const size_t inicio = saida.find("/dev/pts/");
    const std::string caminho = saida.substr(inicio, saida.find(' ', inicio) - inicio);
    EXPECT_NE(saida.find("IP 192.168.0.101"), std::string::npos);
    {
        LinhaSerial linha(caminho);
        EXPECT_EQ(linha.Trocar(QuadroDle(0, 'P', 5), 12)[5], kAck);
    }
    e.Sinal(SIGINT);
    EXPECT_EQ(e.Aguardar(2s), 0);
}

}  // namespace
}  // namespace tvx::teste
