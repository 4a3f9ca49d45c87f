// Neighbour (ARP) entry removal over rtnetlink.
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/os/netlink_linux.h"
#include "core/os/rede_os.h"

namespace tvx::os {

namespace {

constexpr int kEsperaRespostaMs = 1000;

// One RTM_GETNEIGH or RTM_DELNEIGH for endereco on the interface, with an
// acknowledgement asked for: 0 or the kernel's errno. A get also fills estado
// from the entry the kernel sends before its acknowledgement.
int PedidoVizinho(uint16_t tipo, uint32_t endereco, uint32_t indiceInterface, uint16_t& estado) {
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) {
        return errno;
    }
    static std::atomic<uint32_t> sequencia{1};
    const uint32_t seq = sequencia.fetch_add(1);

    struct {
        nlmsghdr cabecalho;
        ndmsg vizinho;
        std::array<char, RTA_SPACE(4)> atributos;
    } pedido{};
    pedido.cabecalho.nlmsg_len = NLMSG_LENGTH(sizeof(ndmsg)) + RTA_SPACE(4);
    pedido.cabecalho.nlmsg_type = tipo;
    pedido.cabecalho.nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK;
    pedido.cabecalho.nlmsg_seq = seq;
    pedido.vizinho.ndm_family = AF_INET;
    pedido.vizinho.ndm_ifindex = static_cast<int>(indiceInterface);
    auto* atributo = reinterpret_cast<rtattr*>(pedido.atributos.data());
    atributo->rta_type = NDA_DST;
    atributo->rta_len = RTA_LENGTH(4);
    const uint32_t sAddr = InAddrDeIp(endereco);
    std::memcpy(RTA_DATA(atributo), &sAddr, 4);

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    int resultado = EIO;
    if (sendto(fd, &pedido, pedido.cabecalho.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
               sizeof kernel) < 0) {
        resultado = errno;
        close(fd);
        return resultado;
    }
    alignas(nlmsghdr) std::array<char, 4096> resposta{};
    for (int tentativas = 0; tentativas < 8; ++tentativas) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kEsperaRespostaMs) <= 0) {
            resultado = ETIMEDOUT;
            break;
        }
        const ssize_t n = recv(fd, resposta.data(), resposta.size(), MSG_DONTWAIT);
        if (n < 0) {
            resultado = errno;
            break;
        }
        bool respondido = false;
        int restante = static_cast<int>(n);
        for (auto* h = reinterpret_cast<nlmsghdr*>(resposta.data());
             os::MensagemNetlinkInteira(h, restante); h = NLMSG_NEXT(h, restante)) {
            if (h->nlmsg_seq != seq) {
                continue;
            }
            if (h->nlmsg_type == RTM_NEWNEIGH && h->nlmsg_len >= NLMSG_LENGTH(sizeof(ndmsg))) {
                estado = reinterpret_cast<const ndmsg*>(NLMSG_DATA(h))->ndm_state;
                continue;
            }
            if (h->nlmsg_type != NLMSG_ERROR) {
                continue;
            }
            if (h->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr))) {
                resultado = EIO;
            } else {
                const auto* e = reinterpret_cast<const nlmsgerr*>(NLMSG_DATA(h));
                resultado = -e->error;
            }
            respondido = true;
            break;
        }
        if (respondido) {
            break;
        }
    }
    close(fd);
    return resultado;
}

}  // namespace

int ApagarVizinho(uint32_t endereco, uint32_t indiceInterface) {
    if (indiceInterface == 0) {
        return ENODEV;
    }
    // An administrator's static entry (a defence against ARP spoofing) and an
    // entry of a link without ARP are never ours to remove. Reading needs no
    // privilege, so a missing or static entry costs no call of the helper.
    uint16_t estado = NUD_PERMANENT;  // kept unless the kernel shows the entry
    const int lido = PedidoVizinho(RTM_GETNEIGH, endereco, indiceInterface, estado);
    if (lido != 0) {
        return lido;
    }
    if ((estado & (NUD_PERMANENT | NUD_NOARP)) != 0) {
        return EEXIST;
    }
    return PedidoVizinho(RTM_DELNEIGH, endereco, indiceInterface, estado);
}

int ApagarVizinhoNasSubredes(uint32_t endereco) {
    std::vector<LinhaEndereco> tabela;
    const int lida = LerEnderecos(tabela);
    if (lida != 0) {
        return lida;
    }
    // Only the interfaces whose subnet holds the address can have its entry;
    // an address on no attached subnet has nothing to remove.
    int resultado = ENOENT;
    std::vector<uint32_t> tentados;
    for (const LinhaEndereco& linha : tabela) {
        if (linha.mascara == 0 || (linha.endereco & linha.mascara) != (endereco & linha.mascara) ||
            std::find(tentados.begin(), tentados.end(), linha.indiceInterface) != tentados.end()) {
            continue;
        }
        tentados.push_back(linha.indiceInterface);
        const int r = ApagarVizinho(endereco, linha.indiceInterface);
        // One deletion is success; else a refusal for want of privilege
        // outranks the other answers, since the helper may still do it.
        if (r == 0 || resultado == 0) {
            resultado = 0;
        } else if (r == EPERM || resultado != EPERM) {
            resultado = r;
        }
    }
    return resultado;
}

}  // namespace tvx::os
