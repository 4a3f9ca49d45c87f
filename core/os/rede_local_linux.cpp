// The links, addresses and routes of this computer over rtnetlink; the
// program's own address; the ARP probe over a packet socket.
#include <arpa/inet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

#include "core/os/rede_local.h"
#include "core/os/rede_os.h"
#include "core/os/rtnetlink_linux.h"

namespace tvx::os {

namespace {

constexpr unsigned kComPortadora = 0x10000;        // IFF_LOWER_UP of <linux/if.h>
constexpr unsigned long kPerguntaSemFio = 0x8B01;  // SIOCGIWNAME of <linux/wireless.h>

// The subnet mask of a prefix length, in host order.
uint32_t MascaraHost(uint8_t prefixo) {
    return prefixo == 0 ? 0 : ~uint32_t{0} << (32 - prefixo);
}

uint32_t Host(uint32_t ip) {
    return ntohl(InAddrDeIp(ip));
}

template <class T>
bool LerAtributo(const rtattr* a, T& valor) {
    if (a == nullptr || RTA_PAYLOAD(a) < sizeof valor) {
        return false;
    }
    std::memcpy(&valor, RTA_DATA(a), sizeof valor);
    return true;
}

// A wireless card answers the wireless extensions' name request.
bool SemFio(const std::string& nome) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    ifreq pedido{};  // larger than the wireless request, which starts the same way
    std::strncpy(pedido.ifr_name, nome.c_str(), IFNAMSIZ - 1);
    const bool semFio = ioctl(fd, kPerguntaSemFio, &pedido) == 0;
    close(fd);
    return semFio;
}

bool PromoveSecundarios(uint32_t indice) {
    std::array<char, IF_NAMESIZE> nome{};
    if (if_indextoname(indice, nome.data()) == nullptr) {
        return false;
    }
    for (const std::string& pasta : {std::string("all"), std::string(nome.data())}) {
        std::ifstream arquivo("/proc/sys/net/ipv4/conf/" + pasta + "/promote_secondaries");
        char valor = '0';
        if (arquivo.get(valor) && valor == '1') {
            return true;
        }
    }
    return false;
}

int AlterarEndereco(uint16_t tipo, uint16_t flags, uint32_t indice, uint32_t endereco,
                    uint8_t prefixo) {
    PedidoRtnetlink pedido(tipo, flags);
    ifaddrmsg ifa{};
    ifa.ifa_family = AF_INET;
    ifa.ifa_prefixlen = prefixo;
    ifa.ifa_scope = RT_SCOPE_UNIVERSE;
    ifa.ifa_index = indice;
    pedido.Estrutura(ifa);
    const uint32_t local = InAddrDeIp(endereco);
    pedido.Atributo(IFA_LOCAL, &local, sizeof local);
    pedido.Atributo(IFA_ADDRESS, &local, sizeof local);
    if (tipo == RTM_NEWADDR) {
        const uint32_t difusao = htonl(Host(endereco) | ~MascaraHost(prefixo));
        pedido.Atributo(IFA_BROADCAST, &difusao, sizeof difusao);
        const uint8_t marca = kMarcaEnderecoProprio;
        pedido.Atributo(IFA_PROTO, &marca, sizeof marca);
    }
    return pedido.Enviar();
}

// The address with exactly this interface, value and prefix, if any.
int Procurar(uint32_t indice, uint32_t endereco, uint8_t prefixo, std::vector<EnderecoLocal>& todos,
             const EnderecoLocal*& achado) {
    achado = nullptr;
    const int lido = LerEnderecosLocais(todos);
    for (const EnderecoLocal& e : todos) {
        if (e.indice == indice && e.endereco == endereco && e.prefixo == prefixo) {
            achado = &e;
        }
    }
    return lido;
}

}  // namespace

int LerInterfacesLocais(std::vector<InterfaceLocal>& interfaces) {
    interfaces.clear();
    PedidoRtnetlink pedido(RTM_GETLINK, NLM_F_DUMP);
    ifinfomsg ifi{};
    ifi.ifi_family = AF_UNSPEC;
    pedido.Estrutura(ifi);
    const int r = pedido.Enviar([&](const nlmsghdr& h) {
        if (h.nlmsg_type != RTM_NEWLINK || h.nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg))) {
            return;
        }
        const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(&h));
        const auto atributos = AtributosDe(h, sizeof(ifinfomsg), IFLA_IFNAME);
        InterfaceLocal i;
        i.indice = static_cast<uint32_t>(info->ifi_index);
        if (const rtattr* nome = atributos[IFLA_IFNAME]) {
            i.nome.assign(static_cast<const char*>(RTA_DATA(nome)),
                          strnlen(static_cast<const char*>(RTA_DATA(nome)), RTA_PAYLOAD(nome)));
        }
        i.ativa = (info->ifi_flags & IFF_UP) != 0;
        i.comLink = i.ativa && (info->ifi_flags & kComPortadora) != 0;
        i.loopback = (info->ifi_flags & IFF_LOOPBACK) != 0;
        i.ethernet = info->ifi_type == ARPHRD_ETHER;
        i.semFio = i.ethernet && SemFio(i.nome);
        interfaces.push_back(std::move(i));
    });
    return r;
}

int LerEnderecosLocais(std::vector<EnderecoLocal>& enderecos) {
    enderecos.clear();
    PedidoRtnetlink pedido(RTM_GETADDR, NLM_F_DUMP);
    ifaddrmsg ifa{};
    ifa.ifa_family = AF_INET;
    pedido.Estrutura(ifa);
    return pedido.Enviar([&](const nlmsghdr& h) {
        if (h.nlmsg_type != RTM_NEWADDR || h.nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg))) {
            return;
        }
        const auto* info = static_cast<const ifaddrmsg*>(NLMSG_DATA(&h));
        const auto atributos = AtributosDe(h, sizeof(ifaddrmsg), IFA_PROTO);
        uint32_t local = 0;
        if (info->ifa_family != AF_INET || !LerAtributo(atributos[IFA_LOCAL], local)) {
            return;
        }
        EnderecoLocal e;
        e.indice = info->ifa_index;
        e.endereco = IpDeInAddr(local);
        e.prefixo = info->ifa_prefixlen;
        e.secundario = (info->ifa_flags & IFA_F_SECONDARY) != 0;
        uint8_t marca = 0;
        e.nosso = LerAtributo(atributos[IFA_PROTO], marca) && marca == kMarcaEnderecoProprio;
        enderecos.push_back(e);
    });
}

int ConsultarRota(uint32_t destino, RotaLocal& rota) {
    rota = {};
    PedidoRtnetlink pedido(RTM_GETROUTE, 0);
    rtmsg rt{};
    rt.rtm_family = AF_INET;
    rt.rtm_dst_len = 32;
    pedido.Estrutura(rt);
    const uint32_t alvo = InAddrDeIp(destino);
    pedido.Atributo(RTA_DST, &alvo, sizeof alvo);
    bool respondida = false;
    const int r = pedido.Enviar([&](const nlmsghdr& h) {
        if (h.nlmsg_type != RTM_NEWROUTE || h.nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg))) {
            return;
        }
        const auto* info = static_cast<const rtmsg*>(NLMSG_DATA(&h));
        const auto atributos = AtributosDe(h, sizeof(rtmsg), RTA_GATEWAY);
        respondida = true;
        rota.local = info->rtm_type == RTN_LOCAL;
        LerAtributo(atributos[RTA_OIF], rota.indice);
        uint32_t gateway = 0;
        if (LerAtributo(atributos[RTA_GATEWAY], gateway)) {
            rota.gateway = IpDeInAddr(gateway);
        }
    });
    return r != 0 ? r : respondida ? 0 : EIO;
}

int AdicionarEnderecoProprio(uint32_t indice, uint32_t endereco, uint8_t prefixo) {
    const int r =
        AlterarEndereco(RTM_NEWADDR, NLM_F_CREATE | NLM_F_EXCL, indice, endereco, prefixo);
    if (r != 0) {
        return r;
    }
    // A kernel older than the mark takes the address without it; unmarked,
    // it could never be told from somebody else's, so it goes again now,
    // while it is certain that this call added it.
    std::vector<EnderecoLocal> todos;
    const EnderecoLocal* achado = nullptr;
    Procurar(indice, endereco, prefixo, todos, achado);
    if (achado != nullptr && !achado->nosso) {
        AlterarEndereco(RTM_DELADDR, 0, indice, endereco, prefixo);
        return EOPNOTSUPP;
    }
    return 0;
}

int RemoverEnderecoProprio(uint32_t indice, uint32_t endereco, uint8_t prefixo) {
    std::vector<EnderecoLocal> todos;
    const EnderecoLocal* nosso = nullptr;
    const int lido = Procurar(indice, endereco, prefixo, todos, nosso);
    if (lido != 0) {
        return lido;
    }
    if (nosso == nullptr || !nosso->nosso) {
        return ENOENT;
    }
    // Removing the first address of a network takes the later ones of the
    // same network with it, unless the kernel promotes them.
    const uint32_t mascara = MascaraHost(prefixo);
    const bool levaria =
        !nosso->secundario && std::any_of(todos.begin(), todos.end(), [&](const EnderecoLocal& e) {
            return e.indice == indice && e.secundario && e.prefixo == prefixo &&
                   (Host(e.endereco) & mascara) == (Host(endereco) & mascara);
        });
    if (levaria && !PromoveSecundarios(indice)) {
        return EBUSY;
    }
    return AlterarEndereco(RTM_DELADDR, 0, indice, endereco, prefixo);
}

int SondarArp(uint32_t indice, uint32_t endereco, uint32_t esperaMs) {
    const int fd = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETHERTYPE_ARP));
    if (fd < 0) {
        return errno;
    }
    sockaddr_ll local{};
    local.sll_family = AF_PACKET;
    local.sll_protocol = htons(ETHERTYPE_ARP);
    local.sll_ifindex = static_cast<int>(indice);
    socklen_t tamanho = sizeof local;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &tamanho) != 0) {
        const int e = errno;
        close(fd);
        return e;
    }
    if (local.sll_hatype != ARPHRD_ETHER || local.sll_halen != 6) {
        close(fd);
        return EAFNOSUPPORT;
    }
    // Request: Ethernet/IPv4, our hardware address, sender 0.0.0.0, target
    // unknown, target address the one asked about.
    std::array<uint8_t, 28> sonda{0, 1, 8, 0, 6, 4, 0, 1};
    std::memcpy(&sonda[8], local.sll_addr, 6);
    const uint32_t alvo = InAddrDeIp(endereco);
    std::memcpy(&sonda[24], &alvo, 4);
    sockaddr_ll difusao = local;
    std::memset(difusao.sll_addr, 0xFF, 6);

    using Relogio = std::chrono::steady_clock;
    const auto inicio = Relogio::now();
    const auto fim = inicio + std::chrono::milliseconds(esperaMs);
    auto proximaSonda = inicio;
    int enviadas = 0;
    int resultado = 0;
    while (resultado == 0) {
        const auto agora = Relogio::now();
        if (agora >= fim) {
            break;
        }
        if (enviadas < 2 && agora >= proximaSonda) {
            if (sendto(fd, sonda.data(), sonda.size(), 0, reinterpret_cast<sockaddr*>(&difusao),
                       sizeof difusao) < 0) {
                resultado = errno;
                break;
            }
            ++enviadas;
            proximaSonda = inicio + std::chrono::milliseconds(esperaMs / 2);
        }
        const auto ate = enviadas < 2 ? std::min(fim, proximaSonda) : fim;
        const auto espera = std::chrono::ceil<std::chrono::milliseconds>(ate - Relogio::now());
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(std::max<long long>(espera.count(), 0))) <= 0) {
            continue;
        }
        std::array<uint8_t, 64> pacote{};
        sockaddr_ll de{};
        socklen_t tamanhoDe = sizeof de;
        const ssize_t n = recvfrom(fd, pacote.data(), pacote.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&de), &tamanhoDe);
        if (n < 28 || de.sll_pkttype == PACKET_OUTGOING ||
            std::memcmp(pacote.data(), sonda.data(), 6) != 0 ||
            std::memcmp(&pacote[8], local.sll_addr, 6) == 0) {
            continue;
        }
        uint32_t remetente = 0;
        uint32_t procurado = 0;
        std::memcpy(&remetente, &pacote[14], 4);
        std::memcpy(&procurado, &pacote[24], 4);
        // Its owner answers (or announces it); another host probing for the
        // same address at the same moment is about to take it.
        if (remetente == alvo || (remetente == 0 && procurado == alvo && pacote[7] == 1)) {
            resultado = EADDRINUSE;
        }
    }
    close(fd);
    return resultado;
}

}  // namespace tvx::os
