#include "transport/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

namespace tvx {

namespace {

// poll() rather than select(): a descriptor number above FD_SETSIZE must not
// write past an fd_set. Interrupted waits resume for the time that is left,
// so a signal neither cuts a wait short nor stretches it. The wait is cut
// into slices so that a stop of the run ends it within one slice (0 then).
constexpr long long kFatiaParadaMs = 100;

int Aguardar(int fd, short eventos, int segundos, const std::function<bool()>& parar) {
    using Relogio = std::chrono::steady_clock;
    const long long totalMs = std::max(segundos, 0) * 1000LL;
    const auto limite = Relogio::now() + std::chrono::milliseconds(totalMs);
    for (;;) {
        const auto restante =
            std::chrono::ceil<std::chrono::milliseconds>(limite - Relogio::now()).count();
        long long esperaMs = std::clamp<long long>(restante, 0, INT_MAX);
        if (parar) {
            if (parar()) {
                return 0;
            }
            esperaMs = std::min(esperaMs, kFatiaParadaMs);
        }
        pollfd p{fd, eventos, 0};
        const int r = poll(&p, 1, static_cast<int>(esperaMs));
        if (r > 0 || (r < 0 && errno != EINTR)) {
            return r;
        }
        if (r == 0 && esperaMs >= restante) {
            return 0;
        }
    }
}

}  // namespace

SocketException::SocketException(const std::string& texto, bool mensagemSistema) : texto_(texto) {
    if (mensagemSistema) {
        const int erro = errno;
        texto_ += ": ";
        texto_ += std::strerror(erro);
    }
}

SocketException::~SocketException() = default;

const char* SocketException::what() const noexcept {
    return texto_.c_str();
}

TcpSocket::TcpSocket() {
    // Linux needs no start-up of its socket layer, so "Unable to load WinSock
    // DLL" has no counterpart here. The descriptor is not inherited by the
    // command lines the program may run.
    handle_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (handle_ < 0) {
        handle_ = -1;
        throw SocketException("Socket creation failed (socket())", true);
    }
    const int flags = fcntl(handle_, F_GETFL, 0);
    if (flags < 0 || fcntl(handle_, F_SETFL, flags | O_NONBLOCK) < 0) {
        close(handle_);
        handle_ = -1;
    }
    timeout_ = 60;
}

TcpSocket::~TcpSocket() {
    if (handle_ >= 0) {
        close(handle_);
        handle_ = -1;
    }
}

void TcpSocket::SetTimeout(int segundos) {
    timeout_ = segundos;
}

bool TcpSocket::IsValid() const {
    return handle_ != -1;
}

void TcpSocket::FillAddress(const std::string& host, uint16_t porta, sockaddr_in& endereco) {
    std::memset(&endereco, 0, sizeof endereco);
    endereco.sin_family = AF_INET;
    endereco.sin_port = htons(porta);
    // A text with a NUL inside is no host name (the rest would be ignored).
    if (host.find('\0') != std::string::npos) {
        throw SocketException("Failed to resolve name (gethostbyname())");
    }
    // A dotted address needs no name server.
    if (inet_pton(AF_INET, host.c_str(), &endereco.sin_addr) == 1) {
        return;
    }
    addrinfo dica{};
    dica.ai_family = AF_INET;
    dica.ai_socktype = SOCK_STREAM;
    dica.ai_protocol = IPPROTO_TCP;
    addrinfo* lista = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &dica, &lista) != 0 || lista == nullptr) {
        if (lista != nullptr) {
            freeaddrinfo(lista);
        }
        throw SocketException("Failed to resolve name (gethostbyname())");
    }
    sockaddr_in primeiro{};
    std::memcpy(&primeiro, lista->ai_addr, std::min<size_t>(sizeof primeiro, lista->ai_addrlen));
    endereco.sin_addr = primeiro.sin_addr;
    freeaddrinfo(lista);
}

bool TcpSocket::Connect(const std::string& host, uint16_t porta) {
    if (handle_ < 0 || host.empty() || porta == 0) {
        return false;
    }
    sockaddr_in endereco{};
    FillAddress(host, porta, endereco);

    errno = 0;
    if (connect(handle_, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) < 0) {
        // EINTR: the connection goes on in the background, as EINPROGRESS.
        if (errno != EINPROGRESS && errno != EISCONN && errno != EINTR) {
            Close();
            return false;
        }
    }
    return WaitConnected();
}

bool TcpSocket::WaitConnected() {
    const int r = Aguardar(handle_, POLLIN | POLLOUT, timeout_, parar_);
    if (r <= 0) {
        Shutdown();
        return false;
    }
    // A refused or failed connection also wakes the wait: only the pending
    // error tells it from an established one.
    int erro = 0;
    socklen_t tamanho = sizeof erro;
    if (getsockopt(handle_, SOL_SOCKET, SO_ERROR, &erro, &tamanho) < 0 || erro != 0) {
        Close();
        errno = erro;
        return false;
    }
    return IsValid();
}

bool TcpSocket::Send(const uint8_t* buffer, int tamanho) {
    if (handle_ < 0 || buffer == nullptr || tamanho < 1) {
        return false;
    }
    // A peer that has gone away must give false here, not SIGPIPE.
    if (send(handle_, buffer, static_cast<size_t>(tamanho), MSG_NOSIGNAL) > 0) {
        return true;
    }
    Shutdown();
    return false;
}

int TcpSocket::Receive(uint8_t* buffer, int capacidade) {
    if (handle_ < 0 || buffer == nullptr || capacidade < 1) {
        return 0;
    }
    const ssize_t n = recv(handle_, buffer, static_cast<size_t>(capacidade), 0);
    if (n > 0) {
        return static_cast<int>(n);
    }
    Shutdown();
    return 0;
}

void TcpSocket::DiscardInput() {
    if (handle_ < 0) {
        return;
    }
    uint8_t resto[512];
    // Stops at the first call that finds nothing (EAGAIN), the end of the
    // stream or an error, which the next receive reports; and after 64 KiB,
    // so that a peer that never stops sending cannot keep the run here.
    for (int i = 0; i < 128 && recv(handle_, resto, sizeof resto, MSG_DONTWAIT) > 0; ++i) {
    }
}

bool TcpSocket::WaitReadable() {
    if (handle_ < 0) {
        return false;
    }
    // End of stream and errors also count as readable: the Receive that
    // follows reports them.
    if (Aguardar(handle_, POLLIN, timeout_, parar_) > 0) {
        return true;
    }
    Shutdown();
    return false;
}

int TcpSocket::Shutdown() {
    if (handle_ < 0) {
        return -1;
    }
    const int antigo = handle_;
    shutdown(antigo, SHUT_WR);
    handle_ = -1;
    return close(antigo);
}

int TcpSocket::Close() {
    if (handle_ < 0) {
        return -1;
    }
    const int antigo = handle_;
    handle_ = -1;
    return close(antigo);
}

}  // namespace tvx
