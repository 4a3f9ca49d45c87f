#include "support/rede_isolada.h"

#include <arpa/inet.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/veth.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <thread>

#include "core/os/netlink_linux.h"

namespace tvx::teste {

namespace {

std::string Erro(int e) {
    return std::string(std::strerror(e));
}

// One rtnetlink request, built attribute by attribute.
class MensagemNetlink {
  public:
    MensagemNetlink(uint16_t tipo, uint16_t flags) {
        nlmsghdr h{};
        h.nlmsg_type = tipo;
        h.nlmsg_flags = static_cast<uint16_t>(NLM_F_REQUEST | NLM_F_ACK | flags);
        Acrescentar(&h, sizeof h);
    }

    template <class T>
    void Estrutura(const T& valor) {
        Acrescentar(&valor, sizeof valor);
    }

    void Atributo(uint16_t tipo, const void* dados, size_t tamanho) {
        rtattr a{};
        a.rta_type = tipo;
        a.rta_len = static_cast<uint16_t>(RTA_LENGTH(tamanho));
        Acrescentar(&a, sizeof a);
        Acrescentar(dados, tamanho);
    }

    void Atributo(uint16_t tipo, const std::string& texto) {
        Atributo(tipo, texto.c_str(), texto.size() + 1);
    }

    size_t AbrirAninhado(uint16_t tipo) {
        const size_t inicio = bytes_.size();
        rtattr a{};
        a.rta_type = tipo;
        Acrescentar(&a, sizeof a);
        return inicio;
    }

    void FecharAninhado(size_t inicio) {
        const auto tamanho = static_cast<uint16_t>(bytes_.size() - inicio);
        std::memcpy(bytes_.data() + inicio + offsetof(rtattr, rta_len), &tamanho, sizeof tamanho);
    }

    // 0 when the kernel acknowledged, else its errno.
    int Enviar() {
        const uint32_t tamanho = static_cast<uint32_t>(bytes_.size());
        std::memcpy(bytes_.data() + offsetof(nlmsghdr, nlmsg_len), &tamanho, sizeof tamanho);
        const uint32_t seq = 1;
        std::memcpy(bytes_.data() + offsetof(nlmsghdr, nlmsg_seq), &seq, sizeof seq);
        const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (fd < 0) {
            return errno;
        }
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        int resultado = EIO;
        if (sendto(fd, bytes_.data(), bytes_.size(), 0, reinterpret_cast<sockaddr*>(&kernel),
                   sizeof kernel) < 0) {
            resultado = errno;
        } else {
            alignas(nlmsghdr) std::array<char, 8192> resposta{};
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0) {
                resultado = ETIMEDOUT;
            } else {
                const ssize_t n = recv(fd, resposta.data(), resposta.size(), 0);
                int restante = static_cast<int>(n);
                for (auto* h = reinterpret_cast<nlmsghdr*>(resposta.data());
                     n > 0 && tvx::os::MensagemNetlinkInteira(h, restante);
                     h = NLMSG_NEXT(h, restante)) {
                    if (h->nlmsg_type == NLMSG_ERROR) {
                        resultado = -reinterpret_cast<const nlmsgerr*>(NLMSG_DATA(h))->error;
                        break;
                    }
                }
            }
        }
        close(fd);
        return resultado;
    }

  private:
    void Acrescentar(const void* dados, size_t tamanho) {
        const auto* p = static_cast<const char*>(dados);
        bytes_.insert(bytes_.end(), p, p + tamanho);
        bytes_.resize(NLMSG_ALIGN(bytes_.size()), 0);
    }

    std::vector<char> bytes_;
};

bool LerPrefixo(const std::string& texto, in_addr& endereco, uint8_t& prefixo) {
    const size_t barra = texto.find('/');
    const std::string ip = texto.substr(0, barra);
    if (inet_pton(AF_INET, ip.c_str(), &endereco) != 1) {
        return false;
    }
    prefixo = 32;
    if (barra != std::string::npos) {
        const std::string p = texto.substr(barra + 1);
        if (p.empty() || p.size() > 2 || p.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(p) > 32) {
            return false;
        }
        prefixo = static_cast<uint8_t>(std::stoi(p));
    }
    return true;
}

bool SubirInterface(const std::string& nome, std::string& erro) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        erro = "socket: " + Erro(errno);
        return false;
    }
    ifreq pedido{};
    std::strncpy(pedido.ifr_name, nome.c_str(), IFNAMSIZ - 1);
    bool ok = ioctl(fd, SIOCGIFFLAGS, &pedido) == 0;
    if (ok) {
        pedido.ifr_flags = static_cast<short>(pedido.ifr_flags | IFF_UP);
        ok = ioctl(fd, SIOCSIFFLAGS, &pedido) == 0;
    }
    if (!ok) {
        erro = "bringing " + nome + " up: " + Erro(errno);
    }
    close(fd);
    return ok;
}

std::vector<std::string> NomesDasInterfaces() {
    std::vector<std::string> nomes;
    struct if_nameindex* lista = if_nameindex();
    if (lista == nullptr) {
        return nomes;
    }
    for (const struct if_nameindex* i = lista; i->if_index != 0 && i->if_name != nullptr; ++i) {
        nomes.emplace_back(i->if_name);
    }
    if_freenameindex(lista);
    return nomes;
}

// The inode of the calling thread's network namespace; 0 when unknown.
ino_t NamespaceDaThread() {
    struct stat st {};
    if (stat("/proc/thread-self/ns/net", &st) != 0) {
        return 0;
    }
    return st.st_ino;
}

bool LoTem127(std::string& erro) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        erro = "socket: " + Erro(errno);
        return false;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (!ok) {
        erro = "127.0.0.1 unusable in the new namespace: " + Erro(errno);
    }
    close(fd);
    return ok;
}

}  // namespace

bool RedeIsolada::AdicionarEndereco(const std::string& enderecoComPrefixo,
                                    const std::string& interface) {
    in_addr endereco{};
    uint8_t prefixo = 0;
    if (!LerPrefixo(enderecoComPrefixo, endereco, prefixo)) {
        ADD_FAILURE() << "not an address with prefix: " << enderecoComPrefixo;
        return false;
    }
    const unsigned indice = if_nametoindex(interface.c_str());
    if (indice == 0) {
        ADD_FAILURE() << "no interface " << interface << " in the isolated namespace";
        return false;
    }
    MensagemNetlink msg(RTM_NEWADDR, NLM_F_CREATE | NLM_F_REPLACE);
    ifaddrmsg ifa{};
    ifa.ifa_family = AF_INET;
    ifa.ifa_prefixlen = prefixo;
    ifa.ifa_scope = RT_SCOPE_UNIVERSE;
    ifa.ifa_index = indice;
    msg.Estrutura(ifa);
    msg.Atributo(IFA_LOCAL, &endereco, sizeof endereco);
    msg.Atributo(IFA_ADDRESS, &endereco, sizeof endereco);
    const int r = msg.Enviar();
    if (r != 0) {
        ADD_FAILURE() << "adding " << enderecoComPrefixo << " to " << interface << ": " << Erro(r);
        return false;
    }
    return true;
}

bool RedeIsolada::AdicionarRedeMuda(const std::string& redeComPrefixo) {
    in_addr rede{};
    uint8_t prefixo = 0;
    if (!LerPrefixo(redeComPrefixo, rede, prefixo)) {
        ADD_FAILURE() << "not a network with prefix: " << redeComPrefixo;
        return false;
    }
    const uint32_t indiceLo = if_nametoindex("lo");
    MensagemNetlink msg(RTM_NEWROUTE, NLM_F_CREATE | NLM_F_REPLACE);
    rtmsg rt{};
    rt.rtm_family = AF_INET;
    rt.rtm_dst_len = prefixo;
    rt.rtm_table = RT_TABLE_MAIN;
    rt.rtm_protocol = RTPROT_BOOT;
    rt.rtm_scope = RT_SCOPE_LINK;
    rt.rtm_type = RTN_UNICAST;
    msg.Estrutura(rt);
    msg.Atributo(RTA_DST, &rede, sizeof rede);
    msg.Atributo(RTA_OIF, &indiceLo, sizeof indiceLo);
    const int r = msg.Enviar();
    if (r != 0) {
        ADD_FAILURE() << "routing " << redeComPrefixo << " into lo: " << Erro(r);
        return false;
    }
    return true;
}

bool RedeIsolada::CriarParVeth(const std::string& nomeA, const std::string& nomeB) {
    MensagemNetlink msg(RTM_NEWLINK, NLM_F_CREATE | NLM_F_EXCL);
    ifinfomsg ifi{};
    ifi.ifi_family = AF_UNSPEC;
    msg.Estrutura(ifi);
    msg.Atributo(IFLA_IFNAME, nomeA);
    const size_t info = msg.AbrirAninhado(IFLA_LINKINFO);
    msg.Atributo(IFLA_INFO_KIND, std::string("veth"));
    const size_t dados = msg.AbrirAninhado(IFLA_INFO_DATA);
    const size_t par = msg.AbrirAninhado(VETH_INFO_PEER);
    msg.Estrutura(ifi);
    msg.Atributo(IFLA_IFNAME, nomeB);
    msg.FecharAninhado(par);
    msg.FecharAninhado(dados);
    msg.FecharAninhado(info);
    const int r = msg.Enviar();
    if (r != 0) {
        ADD_FAILURE() << "creating the veth pair " << nomeA << "/" << nomeB << ": " << Erro(r);
        return false;
    }
    std::string erro;
    if (!SubirInterface(nomeA, erro) || !SubirInterface(nomeB, erro)) {
        ADD_FAILURE() << erro;
        return false;
    }
    return true;
}

bool RedeIsolada::PermitirPingSemPrivilegio() {
    // /proc/sys/net answers for the network namespace of the thread that
    // opens it: this changes the namespace's setting, not the host's.
    std::ofstream arquivo("/proc/sys/net/ipv4/ping_group_range");
    arquivo << "0 2147483647\n";
    arquivo.close();
    if (!arquivo) {
        ADD_FAILURE() << "could not write net.ipv4.ping_group_range in the isolated namespace";
        return false;
    }
    return true;
}

std::vector<std::string> RedeIsolada::Interfaces() const {
    return NomesDasInterfaces();
}

int RedeIsolada::Executar(const std::string& comando, std::string* saida) {
    if (saida != nullptr) {
        saida->clear();
    }
    std::FILE* processo = popen(comando.c_str(), "r");
    if (processo == nullptr) {
        return -1;
    }
    std::array<char, 4096> bloco{};
    size_t n;
    while ((n = std::fread(bloco.data(), 1, bloco.size(), processo)) > 0) {
        if (saida != nullptr) {
            saida->append(bloco.data(), n);
        }
    }
    const int estado = pclose(processo);
    if (estado < 0 || !WIFEXITED(estado)) {
        return -1;
    }
    return WEXITSTATUS(estado);
}

namespace {

enum class Isolamento { Isolado, Indisponivel, NaoIsolado };

// Moves the calling thread into a new network namespace and proves that it
// holds nothing but loopback, which is brought up.
Isolamento IsolarThreadAtual(std::string& razao) {
    const ino_t anterior = NamespaceDaThread();
    if (unshare(CLONE_NEWNET) != 0) {
        const int e = errno;
        razao = "unshare(CLONE_NEWNET) failed: " + Erro(e);
        if (e == EPERM) {
            razao += " (needs root or CAP_SYS_ADMIN)";
        }
        return Isolamento::Indisponivel;
    }
    // Nothing may run unless this thread provably sits in a namespace of
    // its own that has nothing but loopback.
    const ino_t atual = NamespaceDaThread();
    if (anterior == 0 || atual == 0 || anterior == atual) {
        razao = "the thread's network namespace did not change after unshare";
        return Isolamento::NaoIsolado;
    }
    const std::vector<std::string> nomes = NomesDasInterfaces();
    if (nomes.size() != 1 || nomes[0] != "lo") {
        razao = "the new network namespace is not isolated; interfaces:";
        for (const std::string& nome : nomes) {
            razao += " " + nome;
        }
        return Isolamento::NaoIsolado;
    }
    if (!SubirInterface("lo", razao) || !LoTem127(razao)) {
        return Isolamento::NaoIsolado;
    }
    return Isolamento::Isolado;
}

Isolamento gEstadoDoProcesso = Isolamento::Indisponivel;
std::string gRazaoDoProcesso = "the process was not moved into an isolated network";

}  // namespace

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
    bool disponivel = true;
    std::string razao;
    std::string falhaDeIsolamento;
    std::exception_ptr excecao;

    std::thread thread([&] {
        std::string texto;
        switch (IsolarThreadAtual(texto)) {
            case Isolamento::Indisponivel:
                disponivel = false;
                razao = texto;
                return;
            case Isolamento::NaoIsolado:
                falhaDeIsolamento = texto;
                return;
            case Isolamento::Isolado:
                break;
        }
        RedeIsolada rede;
        try {
            corpo(rede);
        } catch (...) {
            excecao = std::current_exception();
        }
    });
    thread.join();

    if (!disponivel) {
        if (motivo != nullptr) {
            *motivo = razao;
        }
        return false;
    }
    if (!falhaDeIsolamento.empty()) {
        ADD_FAILURE() << "isolated network: " << falhaDeIsolamento << "; nothing was run";
        return true;
    }
    if (excecao) {
        try {
            std::rethrow_exception(excecao);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "exception escaped the isolated-network body: " << e.what();
        } catch (...) {
            ADD_FAILURE() << "unknown exception escaped the isolated-network body";
        }
    }
    return true;
}

}  // namespace tvx::teste
