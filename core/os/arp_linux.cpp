// Neighbour (ARP) entry removal over rtnetlink.
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "core/os/netlink_linux.h"
#include "core/os/rede_os.h"

namespace tvx::os {

namespace {

constexpr int kEsperaRespostaMs = 1000;

}  // namespace

int ApagarVizinho(uint32_t endereco, uint32_t indiceInterface) {
    if (indiceInterface == 0) {
        return ENODEV;
    }
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
    pedido.cabecalho.nlmsg_type = RTM_DELNEIGH;
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
            if (h->nlmsg_seq != seq || h->nlmsg_type != NLMSG_ERROR) {
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

}  // namespace tvx::os
