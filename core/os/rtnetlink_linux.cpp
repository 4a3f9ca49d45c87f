#include "core/os/rtnetlink_linux.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/os/netlink_linux.h"

namespace tvx::os {

namespace {

constexpr int kEsperaMs = 1000;
constexpr auto kLimiteTotal = std::chrono::seconds(3);
// A dump of a computer's links and addresses fits in a few reads of this size.
constexpr size_t kTamanhoLeitura = 32768;

}  // namespace

PedidoRtnetlink::PedidoRtnetlink(uint16_t tipo, uint16_t flags) {
    nlmsghdr h{};
    h.nlmsg_type = tipo;
    h.nlmsg_flags = static_cast<uint16_t>(NLM_F_REQUEST | NLM_F_ACK | flags);
    Acrescentar(&h, sizeof h);
}

void PedidoRtnetlink::Atributo(uint16_t tipo, const void* dados, size_t tamanho) {
    rtattr a{};
    a.rta_type = tipo;
    a.rta_len = static_cast<uint16_t>(RTA_LENGTH(tamanho));
    Acrescentar(&a, sizeof a);
    Acrescentar(dados, tamanho);
}

void PedidoRtnetlink::Acrescentar(const void* dados, size_t tamanho) {
    const auto* p = static_cast<const char*>(dados);
    bytes_.insert(bytes_.end(), p, p + tamanho);
    bytes_.resize(NLMSG_ALIGN(bytes_.size()), 0);
}

int PedidoRtnetlink::Enviar(const std::function<void(const nlmsghdr&)>& cadaUma) {
    static std::atomic<uint32_t> sequencia{1};
    const uint32_t seq = sequencia.fetch_add(1);
    const auto tamanho = static_cast<uint32_t>(bytes_.size());
    std::memcpy(bytes_.data() + offsetof(nlmsghdr, nlmsg_len), &tamanho, sizeof tamanho);
    std::memcpy(bytes_.data() + offsetof(nlmsghdr, nlmsg_seq), &seq, sizeof seq);

    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) {
        return errno;
    }
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(fd, bytes_.data(), bytes_.size(), 0, reinterpret_cast<sockaddr*>(&kernel),
               sizeof kernel) < 0) {
        const int e = errno;
        close(fd);
        return e;
    }
    // Held as headers so that every message in it starts aligned.
    std::vector<nlmsghdr> resposta(kTamanhoLeitura / sizeof(nlmsghdr));
    char* inicio = reinterpret_cast<char*>(resposta.data());
    const auto limite = std::chrono::steady_clock::now() + kLimiteTotal;
    int resultado = ETIMEDOUT;
    bool fim = false;
    while (!fim && std::chrono::steady_clock::now() < limite) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kEsperaMs) <= 0) {
            break;
        }
        const ssize_t n = recv(fd, inicio, kTamanhoLeitura, MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n < 0 || static_cast<size_t>(n) > kTamanhoLeitura) {
            resultado = n < 0 ? errno : EMSGSIZE;
            break;
        }
        int restante = static_cast<int>(n);
        for (auto* h = reinterpret_cast<nlmsghdr*>(inicio);
             !fim && MensagemNetlinkInteira(h, restante); h = NLMSG_NEXT(h, restante)) {
            if (h->nlmsg_seq != seq) {
                continue;
            }
            if (h->nlmsg_type == NLMSG_DONE) {
                resultado = 0;
                fim = true;
            } else if (h->nlmsg_type == NLMSG_ERROR) {
                resultado = h->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr))
                                ? EIO
                                : -reinterpret_cast<const nlmsgerr*>(NLMSG_DATA(h))->error;
                fim = true;
            } else if (cadaUma) {
                cadaUma(*h);
            }
        }
    }
    close(fd);
    return resultado;
}

std::vector<const rtattr*> AtributosDe(const nlmsghdr& h, size_t tamanhoFixo, uint16_t maximo) {
    std::vector<const rtattr*> atributos(maximo + 1u, nullptr);
    if (h.nlmsg_len < NLMSG_LENGTH(tamanhoFixo)) {
        return atributos;
    }
    auto restante = static_cast<int>(h.nlmsg_len - NLMSG_LENGTH(tamanhoFixo));
    for (auto* a = reinterpret_cast<const rtattr*>(static_cast<const char*>(NLMSG_DATA(&h)) +
                                                   NLMSG_ALIGN(tamanhoFixo));
         RTA_OK(a, restante); a = RTA_NEXT(a, restante)) {
        if (a->rta_type <= maximo) {
            atributos[a->rta_type] = a;
        }
    }
    return atributos;
}

}  // namespace tvx::os
