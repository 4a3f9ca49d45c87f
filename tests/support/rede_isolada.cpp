#include "support/rede_isolada.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <thread>

namespace tvx::teste {

namespace {

// The inode of the calling thread's network namespace; 0 when unknown.
ino_t NamespaceDaThread() {
    struct stat st {};
    return stat("/proc/thread-self/ns/net", &st) == 0 ? st.st_ino : 0;
}

// One iproute2 command in this namespace; its output is the failure text.
bool Ip(RedeIsolada& rede, const std::string& argumentos) {
    std::string saida;
    const bool ok = rede.Executar("ip " + argumentos + " 2>&1", &saida) == 0;
    EXPECT_TRUE(ok) << "ip " << argumentos << ": " << saida;
    return ok;
}

enum class Isolamento { Isolado, Indisponivel, NaoIsolado };

// Moves the calling thread into a new network namespace and proves that it
// holds nothing but loopback, which is brought up: nothing may run unless
// this thread provably sits in a namespace of its own.
Isolamento IsolarThreadAtual(std::string& razao) {
    const ino_t anterior = NamespaceDaThread();
    if (unshare(CLONE_NEWNET) != 0) {
        razao = std::string("unshare(CLONE_NEWNET) failed: ") + std::strerror(errno) +
                " (needs root or CAP_SYS_ADMIN)";
        return Isolamento::Indisponivel;
    }
    RedeIsolada rede;
    const ino_t atual = NamespaceDaThread();
    if (anterior == 0 || atual == 0 || anterior == atual) {
        razao = "the thread's network namespace did not change after unshare";
        return Isolamento::NaoIsolado;
    }
    if (rede.Interfaces() != std::vector<std::string>{"lo"}) {
        razao = "the new network namespace is not isolated; interfaces:";
        for (const std::string& nome : rede.Interfaces()) {
            razao += " " + nome;
        }
        return Isolamento::NaoIsolado;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = rede.Executar("ip link set lo up") == 0 &&
                    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    if (!ok) {
        razao = "lo could not be brought up with 127.0.0.1 in the new namespace";
        return Isolamento::NaoIsolado;
    }
    return Isolamento::Isolado;
}

Isolamento gEstadoDoProcesso = Isolamento::Indisponivel;
std::string gRazaoDoProcesso = "the process was not moved into an isolated network";

}  // namespace

bool RedeIsolada::AdicionarEndereco(const std::string& enderecoComPrefixo,
                                    const std::string& interface) {
    return Ip(*this, "addr replace " + enderecoComPrefixo + " dev " + interface);
}

bool RedeIsolada::AdicionarRedeMuda(const std::string& redeComPrefixo) {
    return Ip(*this, "route replace " + redeComPrefixo + " dev lo");
}

bool RedeIsolada::CriarParVeth(const std::string& nomeA, const std::string& nomeB) {
    return Ip(*this, "link add " + nomeA + " type veth peer name " + nomeB) &&
           Ip(*this, "link set " + nomeA + " up") && Ip(*this, "link set " + nomeB + " up");
}

std::vector<std::string> RedeIsolada::Interfaces() const {
    std::vector<std::string> nomes;
    struct if_nameindex* lista = if_nameindex();
    for (const struct if_nameindex* i = lista; i != nullptr && i->if_index != 0; ++i) {
        nomes.emplace_back(i->if_name);
    }
    if_freenameindex(lista);
    return nomes;
}

int RedeIsolada::Executar(const std::string& comando, std::string* saida) {
    if (saida != nullptr) {
        saida->clear();
    }
    std::FILE* processo = popen(comando.c_str(), "r");
    if (processo == nullptr) {
        return -1;
    }
    char bloco[4096];
    for (size_t n; (n = std::fread(bloco, 1, sizeof bloco, processo)) > 0;) {
        if (saida != nullptr) {
            saida->append(bloco, n);
        }
    }
    const int estado = pclose(processo);
    return estado < 0 || !WIFEXITED(estado) ? -1 : WEXITSTATUS(estado);
}

bool IsolarProcesso(std::string* motivo) {
    gEstadoDoProcesso = IsolarThreadAtual(gRazaoDoProcesso);
    if (gEstadoDoProcesso == Isolamento::Isolado) {
        gRazaoDoProcesso.clear();
    }
    if (motivo != nullptr) {
        *motivo = gRazaoDoProcesso;
    }
    return gEstadoDoProcesso == Isolamento::Isolado;
}

// Both runners: false (and the reason) when namespaces are unavailable; a
// namespace that could not be proved isolated is a failure, and corpo does
// not run.
bool ExecutarNoProcessoIsolado(const std::function<void(RedeIsolada&)>& corpo,
                               std::string* motivo) {
    if (gEstadoDoProcesso == Isolamento::Indisponivel) {
        if (motivo != nullptr) {
            *motivo = gRazaoDoProcesso;
        }
        return false;
    }
    if (gEstadoDoProcesso == Isolamento::NaoIsolado) {
        ADD_FAILURE() << "isolated network: " << gRazaoDoProcesso << "; nothing was run";
        return true;
    }
    RedeIsolada rede;
    corpo(rede);
    return true;
}

bool ExecutarEmRedeIsolada(const std::function<void(RedeIsolada&)>& corpo, std::string* motivo) {
    Isolamento estado = Isolamento::Indisponivel;
    std::string razao;
    std::string excecao;
    std::thread([&] {
        estado = IsolarThreadAtual(razao);
        if (estado == Isolamento::Isolado) {
            RedeIsolada rede;
            try {
                corpo(rede);
            } catch (const std::exception& e) {
                excecao = e.what();
            } catch (...) {
                excecao = "unknown exception";
            }
        }
    }).join();
    if (estado == Isolamento::Indisponivel && motivo != nullptr) {
        *motivo = razao;
    }
    EXPECT_NE(estado, Isolamento::NaoIsolado)
        << "isolated network: " << razao << "; nothing was run";
    EXPECT_EQ(excecao, "") << "exception escaped the isolated-network body";
    return estado != Isolamento::Indisponivel;
}

}  // namespace tvx::teste
