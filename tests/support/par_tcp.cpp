#include "support/par_tcp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace tvx::teste {

ParTcp::ParTcp(const std::string& endereco, uint16_t porta) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(porta);
    if (inet_pton(AF_INET, endereco.c_str(), &sa.sin_addr) != 1 ||
        (ntohl(sa.sin_addr.s_addr) >> 24) != 127) {
        throw std::invalid_argument("ParTcp only listens on loopback: " + endereco);
    }
    escuta_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int um = 1;
    setsockopt(escuta_, SOL_SOCKET, SO_REUSEADDR, &um, sizeof um);
    socklen_t n = sizeof sa;
    if (bind(escuta_, reinterpret_cast<sockaddr*>(&sa), n) != 0 || listen(escuta_, 4) != 0 ||
        getsockname(escuta_, reinterpret_cast<sockaddr*>(&sa), &n) != 0) {
        close(escuta_);
        throw std::runtime_error("ParTcp cannot listen on " + endereco);
    }
    porta_ = ntohs(sa.sin_port);
    servidor_ = std::thread([this] { Servir(); });
}

ParTcp::~ParTcp() {
    {
        std::lock_guard<std::mutex> l(mutex_);
        parar_ = true;
    }
    servidor_.join();
    close(escuta_);
}

void ParTcp::Acrescentar(Acao acao) {
    std::lock_guard<std::mutex> l(mutex_);
    acoes_.push_back(std::move(acao));
}

std::vector<uint8_t> ParTcp::Recebido(size_t minimo, std::chrono::milliseconds espera) {
    std::unique_lock<std::mutex> l(mutex_);
    mudou_.wait_for(l, espera, [&] { return recebido_.size() >= minimo; });
    return recebido_;
}

int ParTcp::Conexoes() const {
    std::lock_guard<std::mutex> l(mutex_);
    return conexoes_;
}

// One connection at a time; each segment received takes the next action.
void ParTcp::Servir() {
    int conexao = -1;
    for (;;) {
        pollfd p{conexao >= 0 ? conexao : escuta_, POLLIN, 0};
        const bool pronto = poll(&p, 1, 20) > 0;
        std::unique_lock<std::mutex> l(mutex_);
        if (parar_) {
            break;
        }
        if (!pronto) {
            continue;
        }
        if (conexao < 0) {
            conexao = accept4(escuta_, nullptr, nullptr, SOCK_CLOEXEC);
            conexoes_ += conexao >= 0;
            continue;
        }
        uint8_t buffer[4096];
        const ssize_t n = recv(conexao, buffer, sizeof buffer, 0);
        Acao acao{{}, n <= 0, acoes_.empty()};
        if (n > 0) {
            recebido_.insert(recebido_.end(), buffer, buffer + n);
            if (!acoes_.empty()) {
                acao = std::move(acoes_.front());
                acoes_.pop_front();
            }
        }
        l.unlock();
        mudou_.notify_all();
        if (acao.fechar) {
            close(conexao);
            conexao = -1;
        } else if (!acao.calar && !acao.resposta.empty()) {
            send(conexao, acao.resposta.data(), acao.resposta.size(), MSG_NOSIGNAL);
        }
    }
    if (conexao >= 0) {
        close(conexao);
    }
}

std::vector<uint8_t> Hex(const std::string& texto) {
    std::vector<uint8_t> bytes;
    unsigned valor = 0;
    int digitos = 0;
    for (const char c : texto) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            valor = valor * 16 + std::stoul(std::string(1, c), nullptr, 16);
            if (++digitos % 2 == 0) {
                bytes.push_back(static_cast<uint8_t>(valor));
                valor = 0;
            }
        }
    }
    return bytes;
}

std::string ParaHex(const uint8_t* dados, size_t tamanho) {
    std::string texto;
    char par[4];
    for (size_t i = 0; i < tamanho; ++i) {
        std::snprintf(par, sizeof par, i ? " %02X" : "%02X", dados[i]);
        texto += par;
    }
    return texto;
}

std::string ParaHex(const std::vector<uint8_t>& dados) {
    return ParaHex(dados.data(), dados.size());
}

}  // namespace tvx::teste
