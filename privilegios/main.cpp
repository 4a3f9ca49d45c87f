// tvxnetcfg-rede: the only file of the package with capabilities. Any local
// user may run it, so it trusts nothing it inherits: the descriptors, the
// environment and the signal state are put in order before the arguments are
// read; it reads no file but the kernel's own settings, follows no path given
// to it, keeps only the
// capability of the one operation it runs once the arguments passed, and ends
// within a few seconds whatever the network does. Its texts are in
// core/os/auxiliar_rede.h.
#include <fcntl.h>
#include <linux/capability.h>
#include <net/if.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/os/auxiliar_rede.h"
#include "core/os/rede_local.h"
#include "core/os/rede_os.h"

namespace {

using namespace tvx;

constexpr int kSaidaFalha = 1;
constexpr int kSaidaRecusa = 2;
constexpr unsigned kSegundosBase = 5;

// What the arguments of one call said, once checked. A new operation adds
// the fields it reads here.
struct Pedido {
    uint32_t endereco = 0;
    uint32_t tamanho = 0;
    uint32_t tempoMs = 0;
    uint32_t indiceInterface = 0;
    uint8_t prefixo = 0;
};

// A reader checks one call's arguments (exactly Operacao::argumentos of them)
// and fills the request, or returns the refusal text.
using Leitor = const char* (*)(const char* const* argumentos, Pedido& pedido);
// Runs the request; its answer without the line feed.
using Execucao = std::string (*)(const Pedido& pedido);

struct Operacao {
    std::string_view nome;
    std::string_view parametros;
    int argumentos;
    uint64_t capacidades;  // bit n: capability n, the only ones kept while it runs
    Leitor ler;
    Execucao executar;
};

constexpr uint64_t Capacidade(int n) {
    return uint64_t{1} << n;
}

const char* LerEnderecoDeHost(const char* texto, uint32_t& endereco) {
    if (!os::TextoIpEstrito(texto, endereco)) {
        return "ENDEREÇO deve ser um IPv4 a.b.c.d (números de 0 a 255, sem zeros à esquerda)";
    }
    if (!os::EnderecoDeHost(endereco)) {
        return "ENDEREÇO não pode ser 0.x.x.x, multicast, reservado nem de difusão";
    }
    return nullptr;
}

const char* LerEco(const char* const* argumentos, Pedido& pedido) {
    if (const char* recusa = LerEnderecoDeHost(argumentos[0], pedido.endereco)) {
        return recusa;
    }
    if (!os::DecimalEstrito(argumentos[1], kTamanhoMaximoEco, pedido.tamanho) ||
        pedido.tamanho == 0) {
        return "TAMANHO deve ser um número de 1 a 2048";
    }
    if (!os::DecimalEstrito(argumentos[2], os::kTempoMaximoEcoAuxiliarMs, pedido.tempoMs) ||
        pedido.tempoMs == 0) {
        return "TEMPO_MS deve ser um número de 1 a 10000";
    }
    return nullptr;
}

std::string Eco(const Pedido& pedido) {
    RespostaEco resposta;
    long erro = 0;
    os::EcoIcmp(pedido.endereco, static_cast<uint16_t>(pedido.tamanho), pedido.tempoMs,
                os::ModoIcmp::Bruto, resposta, erro);
    return os::LinhaRespostaEco(erro, resposta);
}

const char* LerApagarArp(const char* const* argumentos, Pedido& pedido) {
    return LerEnderecoDeHost(argumentos[0], pedido.endereco);
}

std::string ApagarArp(const Pedido& pedido) {
    return os::LinhaRespostaCodigo(os::ApagarVizinhoNasSubredes(pedido.endereco));
}

bool Loopback(const char* nome) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq pedido{};
    std::strncpy(pedido.ifr_name, nome, IFNAMSIZ - 1);
    const bool loopback =
        fd < 0 || ioctl(fd, SIOCGIFFLAGS, &pedido) != 0 || (pedido.ifr_flags & IFF_LOOPBACK) != 0;
    if (fd >= 0) {
        close(fd);
    }
    return loopback;
}

const char* LerInterface(const char* texto, Pedido& pedido) {
    if (!os::NomeDeInterface(texto)) {
        return "INTERFACE deve ser o nome de uma interface (1 a 15 caracteres, sem '/', ':' nem "
               "espaços)";
    }
    pedido.indiceInterface = if_nametoindex(texto);
    if (pedido.indiceInterface == 0) {
        return "INTERFACE não existe";
    }
    if (Loopback(texto)) {
        return "INTERFACE não pode ser a de loopback";
    }
    return nullptr;
}

const char* LerSondarArp(const char* const* argumentos, Pedido& pedido) {
    pedido.tempoMs = os::kEsperaSondaArpMs;
    const char* recusa = LerInterface(argumentos[0], pedido);
    return recusa != nullptr ? recusa : LerEnderecoDeHost(argumentos[1], pedido.endereco);
}

std::string SondarArp(const Pedido& pedido) {
    return os::LinhaRespostaCodigo(
        os::SondarArp(pedido.indiceInterface, pedido.endereco, pedido.tempoMs));
}

const char* LerEnderecoProprio(const char* const* argumentos, Pedido& pedido) {
    if (const char* recusa = LerInterface(argumentos[0], pedido)) {
        return recusa;
    }
    if (!os::LerEnderecoProprio(argumentos[1], pedido.endereco, pedido.prefixo)) {
        return "ENDEREÇO/PREFIXO deve ser um endereço de host privado (10.x.x.x, 172.16.x.x a "
               "172.31.x.x, 192.168.x.x) com prefixo de 16 a 30, como 192.168.0.100/24";
    }
    return nullptr;
}

std::string AdicionarEndereco(const Pedido& pedido) {
    return os::LinhaRespostaCodigo(
        os::AdicionarEnderecoProprio(pedido.indiceInterface, pedido.endereco, pedido.prefixo));
}

std::string RemoverEndereco(const Pedido& pedido) {
    return os::LinhaRespostaCodigo(
        os::RemoverEnderecoProprio(pedido.indiceInterface, pedido.endereco, pedido.prefixo));
}

// Every operation the helper knows. Another one is a row here with its reader,
// its runner and the one capability it keeps; main() needs no change.
const std::array kOperacoes = {
    Operacao{os::kOperacaoEco, "ENDEREÇO TAMANHO TEMPO_MS", 3, Capacidade(CAP_NET_RAW), LerEco,
             Eco},
    Operacao{os::kOperacaoApagarArp, "ENDEREÇO", 1, Capacidade(CAP_NET_ADMIN), LerApagarArp,
             ApagarArp},
    Operacao{os::kOperacaoSondarArp, "INTERFACE ENDEREÇO", 2, Capacidade(CAP_NET_RAW), LerSondarArp,
             SondarArp},
    Operacao{os::kOperacaoAdicionarEndereco, "INTERFACE ENDEREÇO/PREFIXO", 2,
             Capacidade(CAP_NET_ADMIN), LerEnderecoProprio, AdicionarEndereco},
    Operacao{os::kOperacaoRemoverEndereco, "INTERFACE ENDEREÇO/PREFIXO", 2,
             Capacidade(CAP_NET_ADMIN), LerEnderecoProprio, RemoverEndereco},
};

void Escrever(int fd, const std::string& texto) {
    size_t feito = 0;
    while (feito < texto.size()) {
        const ssize_t n = write(fd, texto.data() + feito, texto.size() - feito);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            _exit(kSaidaFalha);
        }
        feito += static_cast<size_t>(n);
    }
}

[[noreturn]] void Recusar(std::string_view motivo, const Operacao* operacao) {
    std::string texto = "tvxnetcfg-rede: " + std::string(motivo) + "\n";
    for (const Operacao& o : kOperacoes) {
        if (operacao == nullptr || operacao == &o) {
            texto += "uso: tvxnetcfg-rede " + std::string(o.nome) + " " +
                     std::string(o.parametros) + "\n";
        }
    }
    Escrever(STDERR_FILENO, texto);
    _exit(kSaidaRecusa);
}

void PrepararProcesso() {
    // Standard descriptors that came closed would be taken by the sockets
    // opened later, and the answer would go into one of them.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDWR) != fd) {
            _exit(kSaidaFalha);
        }
    }
    close_range(STDERR_FILENO + 1, ~0U, 0);
    clearenv();
    // A caller may hand over SIGALRM ignored or blocked; the time bound must hold.
    sigset_t todos;
    sigemptyset(&todos);
    sigprocmask(SIG_SETMASK, &todos, nullptr);
    signal(SIGALRM, SIG_DFL);
    alarm(kSegundosBase);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
}

// Keeps only the given capabilities of those the process has, none of them
// inheritable (which also empties the ambient set).
bool ManterSo(uint64_t capacidades) {
    __user_cap_header_struct cabecalho{_LINUX_CAPABILITY_VERSION_3, 0};
    std::array<__user_cap_data_struct, _LINUX_CAPABILITY_U32S_3> dados{};
    if (syscall(SYS_capget, &cabecalho, dados.data()) != 0) {
        return false;
    }
    for (size_t i = 0; i < dados.size(); ++i) {
        const auto manter = static_cast<uint32_t>(capacidades >> (32 * i));
        dados[i].permitted &= manter;
        dados[i].effective = dados[i].permitted;
        dados[i].inheritable = 0;
    }
    return syscall(SYS_capset, &cabecalho, dados.data()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    PrepararProcesso();
    const Operacao* operacao = nullptr;
    for (const Operacao& o : kOperacoes) {
        if (argc >= 2 && o.nome == argv[1]) {
            operacao = &o;
        }
    }
    if (operacao == nullptr) {
        Recusar(argc < 2 ? "falta a operação" : "operação desconhecida", nullptr);
    }
    if (argc - 2 != operacao->argumentos) {
        Recusar("número errado de argumentos", operacao);
    }
    Pedido pedido;
    if (const char* recusa = operacao->ler(argv + 2, pedido)) {
        Recusar(recusa, operacao);
    }
    alarm(kSegundosBase + pedido.tempoMs / 1000 + 1);
    if (!ManterSo(operacao->capacidades)) {
        Escrever(STDERR_FILENO, "tvxnetcfg-rede: não foi possível reduzir as capacidades\n");
        return kSaidaFalha;
    }
    Escrever(STDOUT_FILENO, operacao->executar(pedido) + "\n");
    return 0;
}
