#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "sim/servidor.h"

namespace tvx::sim {

namespace {

using Relogio = std::chrono::steady_clock;

constexpr size_t kBlocoLeitura = 4096;
constexpr int kEsperaOciosa = 100;  // ms between looks at the stop flag when nothing happens

void Drenar(int fd) {
    uint8_t lixo[64];
    while (read(fd, lixo, sizeof lixo) > 0) {
    }
}

}  // namespace

bool EscreverTudo(int fd, const std::vector<uint8_t>& bytes, bool socket) {
    const auto limite = Relogio::now() + kTempoEnvio;
    size_t feito = 0;
    while (feito < bytes.size()) {
        const ssize_t n = socket
                              ? send(fd, bytes.data() + feito, bytes.size() - feito, MSG_NOSIGNAL)
                              : write(fd, bytes.data() + feito, bytes.size() - feito);
        if (n > 0) {
            feito += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;
        }
        const auto resta =
            std::chrono::duration_cast<std::chrono::milliseconds>(limite - Relogio::now()).count();
        if (resta <= 0) {
            return false;
        }
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, static_cast<int>(resta)) <= 0) {
            return false;
        }
    }
    return true;
}

struct ServidorTcp::Conexao {
    Conexao(int descritor, uint32_t modelo) : fd(descritor), extrator(modelo, Meio::Tcp) {}
    ~Conexao() { close(fd); }
    Conexao(const Conexao&) = delete;
    Conexao& operator=(const Conexao&) = delete;

    int fd;
    Extrator extrator;
    Relogio::time_point ultimo = Relogio::now();
    bool fechar = false;
};

ServidorTcp::ServidorTcp(uint32_t modelo, Tratador tratador, const std::atomic<unsigned>& reinicios)
    : modelo_(modelo), tratador_(std::move(tratador)), reinicios_(reinicios) {}

ServidorTcp::~ServidorTcp() {
    Parar();
}

bool ServidorTcp::Iniciar(const std::string& endereco, uint16_t porta) {
    if (thread_.joinable() || escuta_ >= 0) {
        return false;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(porta);
    if (inet_pton(AF_INET, endereco.c_str(), &sa.sin_addr) != 1) {
        return false;
    }
    escuta_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (escuta_ < 0) {
        return false;
    }
    int um = 1;
    setsockopt(escuta_, SOL_SOCKET, SO_REUSEADDR, &um, sizeof um);
    socklen_t tamanho = sizeof sa;
    if (bind(escuta_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        listen(escuta_, static_cast<int>(kMaximoConexoes)) != 0 ||
        getsockname(escuta_, reinterpret_cast<sockaddr*>(&sa), &tamanho) != 0 ||
        pipe2(despertar_, O_CLOEXEC | O_NONBLOCK) != 0) {
        close(escuta_);
        escuta_ = -1;
        return false;
    }
    porta_ = ntohs(sa.sin_port);
    parar_ = false;
    thread_ = std::thread([this] { Servir(); });
    return true;
}

void ServidorTcp::Parar() {
    parar_ = true;
    if (despertar_[1] >= 0) {
        const uint8_t um = 1;
        [[maybe_unused]] const ssize_t n = write(despertar_[1], &um, 1);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    for (int& fd : {std::ref(escuta_), std::ref(despertar_[0]), std::ref(despertar_[1])}) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
}

bool ServidorTcp::Atender(Conexao& conexao, bool ocioso) {
    while (std::optional<Pedido> pedido = conexao.extrator.Proximo(ocioso)) {
        const Envio envio = tratador_.atender(*pedido, Meio::Tcp);
        const bool escrito = envio.bytes.empty() || EscreverTudo(conexao.fd, envio.bytes, true);
        tratador_.concluir();
        if (!escrito || envio.fecharDepois || envio.sumir) {
            return false;
        }
    }
    return true;
}

void ServidorTcp::Servir() {
    std::vector<std::unique_ptr<Conexao>> conexoes;
    unsigned geracao = reinicios_.load();
    std::vector<pollfd> fds;
    while (!parar_) {
        fds.clear();
        fds.push_back({despertar_[0], POLLIN, 0});
        fds.push_back({escuta_, POLLIN, 0});
        int espera = kEsperaOciosa;
        const auto agora = Relogio::now();
        for (const auto& c : conexoes) {
            fds.push_back({c->fd, POLLIN, 0});
            if (!c->extrator.Vazio()) {
                const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(
                                       c->ultimo + kSilencioTcp - agora)
                                       .count();
                espera = std::clamp(static_cast<int>(resta) + 1, 0, espera);
            }
        }
        if (poll(fds.data(), fds.size(), espera) < 0 && errno != EINTR) {
            break;
        }
        if (parar_) {
            break;
        }
        if (fds[0].revents) {
            Drenar(despertar_[0]);
        }
        if (reinicios_.load() != geracao) {
            // Switched off and on: every connection is gone.
            geracao = reinicios_.load();
            conexoes.clear();
            continue;
        }
        const size_t antigas = conexoes.size();
        for (size_t i = 0; i < antigas; ++i) {
            Conexao& c = *conexoes[i];
            if (!(fds[2 + i].revents & (POLLIN | POLLHUP | POLLERR))) {
                continue;
            }
            uint8_t bloco[kBlocoLeitura];
            const ssize_t n = recv(c.fd, bloco, sizeof bloco, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                // What the peer left unfinished dies with the connection.
                Atender(c, true);
                c.fechar = true;
                continue;
            }
            if (n > 0) {
                c.extrator.Alimentar(bloco, static_cast<size_t>(n));
                c.ultimo = Relogio::now();
                c.fechar = !Atender(c, false);
            }
        }
        for (auto& c : conexoes) {
            if (!c->fechar && !c->extrator.Vazio() && Relogio::now() - c->ultimo >= kSilencioTcp) {
                c->fechar = !Atender(*c, true);
            }
        }
        std::erase_if(conexoes, [](const auto& c) { return c->fechar; });
        if (fds[1].revents & POLLIN) {
            for (;;) {
                const int fd = accept4(escuta_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0) {
                    break;
                }
                if (conexoes.size() >= kMaximoConexoes) {
                    close(fd);
                    continue;
                }
                conexoes.push_back(std::make_unique<Conexao>(fd, modelo_));
            }
        }
    }
}

}  // namespace tvx::sim
