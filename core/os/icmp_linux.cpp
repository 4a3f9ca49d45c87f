// ICMP echo over an unprivileged ICMP datagram socket or, where the group may
// not use those (net.ipv4.ping_group_range), over a raw socket.
#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "core/os/rede_os.h"

namespace tvx::os {

namespace {

using RelogioMonotonico = std::chrono::steady_clock;

constexpr uint8_t kTipoRespostaEco = 0;
constexpr uint8_t kTipoDestinoInalcancavel = 3;
constexpr uint8_t kTipoReducaoFonte = 4;
constexpr uint8_t kTipoPedidoEco = 8;
constexpr uint8_t kTipoTempoExcedido = 11;
constexpr uint8_t kTipoProblemaParametro = 12;
constexpr size_t kCabecalhoIcmp = 8;
constexpr size_t kCabecalhoIpMinimo = 20;
constexpr char kDadosEco[] = "Data Buffer";  // sent with its terminator: 12 bytes

class Descritor {
  public:
    explicit Descritor(int fd) : fd_(fd) {}
    ~Descritor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Descritor(const Descritor&) = delete;
    Descritor& operator=(const Descritor&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

uint16_t SomaVerificacao(const uint8_t* dados, size_t tamanho) {
    uint32_t soma = 0;
    for (size_t i = 0; i + 1 < tamanho; i += 2) {
        soma += static_cast<uint32_t>(dados[i] << 8 | dados[i + 1]);
    }
    if (tamanho % 2 != 0) {
        soma += static_cast<uint32_t>(dados[tamanho - 1] << 8);
    }
    while (soma >> 16) {
        soma = (soma & 0xFFFF) + (soma >> 16);
    }
    return static_cast<uint16_t>(~soma);
}

uint16_t Aleatorio16() {
    thread_local std::mt19937 gerador{std::random_device{}()};
    return static_cast<uint16_t>(gerador());
}

// Sequence numbers go on across echoes so that a late reply to an earlier
// echo is never taken for the reply to this one.
uint16_t ProximaSequencia() {
    static std::atomic<uint16_t> sequencia{Aleatorio16()};
    return sequencia.fetch_add(1);
}

uint32_t LerIp(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Ler16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

int RestanteMs(RelogioMonotonico::time_point limite) {
    const auto restante = limite - RelogioMonotonico::now();
    if (restante <= RelogioMonotonico::duration::zero()) {
        return 0;
    }
    // Rounded up so that the wait never ends a fraction of a millisecond
    // before the limit and spins.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(restante).count();
    return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

uint32_t MsDesde(RelogioMonotonico::time_point inicio) {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(RelogioMonotonico::now() - inicio)
            .count());
}

long ErroDeEnvio(int e) {
    switch (e) {
        case EHOSTUNREACH:
            return kIpDestinoInalcancavel;
        case ENETUNREACH:
            return 11002;  // IP_DEST_NET_UNREACHABLE
        default:
            return e;
    }
}

bool TipoDeErro(uint8_t tipo) {
    return tipo == kTipoDestinoInalcancavel || tipo == kTipoReducaoFonte ||
           tipo == kTipoTempoExcedido || tipo == kTipoProblemaParametro;
}

bool EhNossoPedido(const PedidoEco& pedido, const uint8_t* icmp, size_t tamanho) {
    return tamanho >= kCabecalhoIcmp && icmp[0] == kTipoPedidoEco &&
           (!pedido.identificadorConhecido || Ler16(icmp + 4) == pedido.identificador) &&
           Ler16(icmp + 6) == pedido.sequencia;
}

bool EhNossaResposta(const PedidoEco& pedido, uint32_t origem, const uint8_t* icmp,
                     size_t tamanho) {
    return tamanho >= kCabecalhoIcmp && icmp[0] == kTipoRespostaEco && origem == pedido.destino &&
           (!pedido.identificadorConhecido || Ler16(icmp + 4) == pedido.identificador) &&
           Ler16(icmp + 6) == pedido.sequencia;
}

}  // namespace

Analise AnalisarPacoteIp(const PedidoEco& pedido, const uint8_t* pacote, size_t tamanho,
                         RespostaEco& resposta) {
    if (tamanho < kCabecalhoIpMinimo || (pacote[0] >> 4) != 4 || pacote[9] != IPPROTO_ICMP) {
        return Analise::Alheio;
    }
    const size_t cabecalho = static_cast<size_t>(pacote[0] & 0x0F) * 4;
    if (cabecalho < kCabecalhoIpMinimo || tamanho < cabecalho + kCabecalhoIcmp) {
        return Analise::Alheio;
    }
    const uint32_t origem = LerIp(pacote + 12);
    const uint8_t* icmp = pacote + cabecalho;
    const size_t tamanhoIcmp = tamanho - cabecalho;
    if (EhNossaResposta(pedido, origem, icmp, tamanhoIcmp)) {
        resposta.endereco = origem;
        resposta.tamanhoDados = static_cast<uint16_t>(tamanhoIcmp - kCabecalhoIcmp);
        return Analise::Resposta;
    }
    if (!TipoDeErro(icmp[0])) {
        return Analise::Alheio;
    }
    // An error message quotes the IP header and the first 8 bytes of the
    // datagram that caused it: it is ours when it quotes our request.
    const uint8_t* interno = icmp + kCabecalhoIcmp;
    const size_t tamanhoInterno = tamanhoIcmp - kCabecalhoIcmp;
    if (tamanhoInterno < kCabecalhoIpMinimo || (interno[0] >> 4) != 4 ||
        interno[9] != IPPROTO_ICMP || LerIp(interno + 16) != pedido.destino) {
        return Analise::Alheio;
    }
    const size_t cabecalhoInterno = static_cast<size_t>(interno[0] & 0x0F) * 4;
    if (cabecalhoInterno < kCabecalhoIpMinimo || tamanhoInterno < cabecalhoInterno ||
        !EhNossoPedido(pedido, interno + cabecalhoInterno, tamanhoInterno - cabecalhoInterno)) {
        return Analise::Alheio;
    }
    resposta.endereco = origem;
    resposta.status = StatusDeErroIcmp(icmp[0], icmp[1]);
    resposta.tamanhoDados = 0;
    return Analise::Erro;
}

namespace {

// Errors of a datagram socket arrive on its error queue (IP_RECVERR) with the
// request they refer to as data.
Analise LerFilaDeErros(int fd, const PedidoEco& pedido, RespostaEco& resposta, long& erro) {
    std::array<uint8_t, 512> dados{};
    alignas(cmsghdr) std::array<uint8_t, 512> controle{};
    sockaddr_in de{};
    iovec iov{dados.data(), dados.size()};
    msghdr msg{};
    msg.msg_name = &de;
    msg.msg_namelen = sizeof de;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = controle.data();
    msg.msg_controllen = controle.size();
    const ssize_t n = recvmsg(fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (n < 0) {
        // A pending error with nothing queued would keep poll() waking up.
        int pendente = 0;
        socklen_t tamanho = sizeof pendente;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &pendente, &tamanho);
        return Analise::Alheio;
    }
    if (!EhNossoPedido(pedido, dados.data(), static_cast<size_t>(n))) {
        return Analise::Alheio;
    }
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR ||
            c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in))) {
            continue;
        }
        sock_extended_err ee{};
        std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
        resposta.tamanhoDados = 0;
        if (ee.ee_origin == SO_EE_ORIGIN_ICMP) {
            const auto* ofensor =
                reinterpret_cast<const uint8_t*>(CMSG_DATA(c)) + sizeof(sock_extended_err);
            sockaddr_in origem{};
            std::memcpy(&origem, ofensor, sizeof origem);
            resposta.endereco =
                origem.sin_family == AF_INET ? IpDeInAddr(origem.sin_addr.s_addr) : 0;
            resposta.status = StatusDeErroIcmp(ee.ee_type, ee.ee_code);
            erro = resposta.status;
        } else {
            erro = ErroDeEnvio(static_cast<int>(ee.ee_errno));
            resposta.status = static_cast<uint32_t>(erro);
        }
        return Analise::Erro;
    }
    return Analise::Alheio;
}

int AbrirSocket(ModoIcmp modo, bool& datagrama) {
    if (modo != ModoIcmp::Bruto) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd >= 0 || modo == ModoIcmp::Datagrama) {
            datagrama = true;
            return fd;
        }
    }
    datagrama = false;
    return socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
}

}  // namespace

uint32_t StatusDeErroIcmp(uint8_t tipo, uint8_t codigo) {
    switch (tipo) {
        case kTipoDestinoInalcancavel:
            switch (codigo) {
                case 0:  // network
                case 6:  // network unknown
                case 9:  // network administratively prohibited
                case 11:
                    return 11002;  // IP_DEST_NET_UNREACHABLE
                case 2:
                    return 11004;  // IP_DEST_PROT_UNREACHABLE
                case 3:
                    return 11005;  // IP_DEST_PORT_UNREACHABLE
                case 4:
                    return 11009;  // IP_PACKET_TOO_BIG
                case 5:
                    return 11012;  // IP_BAD_ROUTE
                default:
                    return kIpDestinoInalcancavel;
            }
        case kTipoReducaoFonte:
            return 11016;  // IP_SOURCE_QUENCH
        case kTipoTempoExcedido:
            return codigo == 1 ? 11014 : 11013;  // IP_TTL_EXPIRED_REASSEM / _TRANSIT
        case kTipoProblemaParametro:
            return 11015;  // IP_PARAM_PROBLEM
        default:
            return 11050;  // IP_GENERAL_FAILURE
    }
}

bool EcoIcmp(uint32_t destino, uint16_t tamanhoDados, uint32_t tempoLimiteMs, ModoIcmp modo,
             RespostaEco& resposta, long& erro, bool* semSocket) {
    if (semSocket != nullptr) {
        *semSocket = false;
    }
    resposta = RespostaEco{};
    resposta.tamanhoDados = tamanhoDados;
    if (tamanhoDados < 1 || tamanhoDados > kTamanhoMaximoEco) {
        erro = EINVAL;
        return false;
    }

    bool datagrama = false;
    Descritor socketIcmp(AbrirSocket(modo, datagrama));
    const int fd = socketIcmp.fd();
    if (fd < 0) {
        erro = errno;
        if (semSocket != nullptr) {
            *semSocket = erro == EACCES || erro == EPERM;
        }
        return false;
    }

    PedidoEco pedido;
    pedido.destino = destino;
    pedido.sequencia = ProximaSequencia();
    std::vector<uint8_t> pacote(kCabecalhoIcmp + tamanhoDados, 0);
    std::memcpy(pacote.data() + kCabecalhoIcmp, kDadosEco,
                std::min<size_t>(sizeof kDadosEco, tamanhoDados));
    pacote[0] = kTipoPedidoEco;
    if (datagrama) {
        // The kernel puts the socket's port in the identifier field and
        // hands this socket only replies that carry it.
        pedido.identificadorConhecido = false;
        const int sim = 1;
        setsockopt(fd, SOL_IP, IP_RECVERR, &sim, sizeof sim);
    } else {
        pedido.identificador = Aleatorio16();
        pacote[4] = static_cast<uint8_t>(pedido.identificador >> 8);
        pacote[5] = static_cast<uint8_t>(pedido.identificador);
        icmp_filter filtro{};
        filtro.data = ~((1U << kTipoRespostaEco) | (1U << kTipoDestinoInalcancavel) |
                        (1U << kTipoReducaoFonte) | (1U << kTipoTempoExcedido) |
                        (1U << kTipoProblemaParametro));
        setsockopt(fd, SOL_RAW, ICMP_FILTER, &filtro, sizeof filtro);
    }
    pacote[6] = static_cast<uint8_t>(pedido.sequencia >> 8);
    pacote[7] = static_cast<uint8_t>(pedido.sequencia);
    const uint16_t soma = SomaVerificacao(pacote.data(), pacote.size());
    pacote[2] = static_cast<uint8_t>(soma >> 8);
    pacote[3] = static_cast<uint8_t>(soma);

    sockaddr_in para{};
    para.sin_family = AF_INET;
    para.sin_addr.s_addr = InAddrDeIp(destino);
    const auto inicio = RelogioMonotonico::now();
    const auto limite = inicio + std::chrono::milliseconds(tempoLimiteMs);
    ssize_t enviados;
    do {
        enviados = sendto(fd, pacote.data(), pacote.size(), 0, reinterpret_cast<sockaddr*>(&para),
                          sizeof para);
    } while (enviados < 0 && errno == EINTR);
    if (enviados < 0) {
        erro = ErroDeEnvio(errno);
        return false;
    }
    if (datagrama) {
        sockaddr_in local{};
        socklen_t tamanhoLocal = sizeof local;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &tamanhoLocal) == 0) {
            pedido.identificador = ntohs(local.sin_port);
            pedido.identificadorConhecido = true;
        }
    }

    std::vector<uint8_t> recebido(65536);
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, RestanteMs(limite));
        if (r < 0 && errno != EINTR) {
            erro = errno;
            return false;
        }
        if (r == 0) {
            break;
        }
        if (r > 0) {
            Analise analise = Analise::Alheio;
            if (datagrama && (p.revents & POLLERR) != 0) {
                analise = LerFilaDeErros(fd, pedido, resposta, erro);
            } else if ((p.revents & POLLIN) != 0) {
                sockaddr_in de{};
                socklen_t tamanhoDe = sizeof de;
                const ssize_t n = recvfrom(fd, recebido.data(), recebido.size(), MSG_DONTWAIT,
                                           reinterpret_cast<sockaddr*>(&de), &tamanhoDe);
                if (n > 0 && datagrama) {
                    const uint32_t origem = IpDeInAddr(de.sin_addr.s_addr);
                    if (EhNossaResposta(pedido, origem, recebido.data(), static_cast<size_t>(n))) {
                        resposta.endereco = origem;
                        resposta.tamanhoDados = static_cast<uint16_t>(n - kCabecalhoIcmp);
                        analise = Analise::Resposta;
                    }
                } else if (n > 0) {
                    analise =
                        AnalisarPacoteIp(pedido, recebido.data(), static_cast<size_t>(n), resposta);
                }
            }
            if (analise == Analise::Resposta) {
                resposta.status = kIpSucesso;
                resposta.tempoMs = MsDesde(inicio);
                erro = 0;
                return true;
            }
            if (analise == Analise::Erro) {
                resposta.tempoMs = MsDesde(inicio);
                erro = resposta.status;
                return false;
            }
        }
        // Unrelated traffic must not stretch the wait beyond its limit.
        if (RelogioMonotonico::now() >= limite) {
            break;
        }
    }
    resposta.endereco = 0;
    resposta.status = kIpTempoEsgotado;
    resposta.tempoMs = MsDesde(inicio);
    erro = kIpTempoEsgotado;
    return false;
}

}  // namespace tvx::os
