#include "support/pty_teste.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace tvx::teste {

PtyTeste::PtyTeste() {
    char nome[128] = {};
    termios modo{};
    cfmakeraw(&modo);
    if (openpty(&mestre_, &escravo_, nome, &modo, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    fcntl(mestre_, F_SETFD, FD_CLOEXEC);
    fcntl(escravo_, F_SETFD, FD_CLOEXEC);
    caminho_ = nome;
}

PtyTeste::~PtyTeste() {
    Desligar();
}

void PtyTeste::Desligar() {
    for (int* fd : {&escravo_, &mestre_}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

void PtyTeste::Escrever(const std::vector<uint8_t>& bytes) {
    size_t feito = 0;
    while (feito < bytes.size()) {
        const ssize_t n = write(mestre_, bytes.data() + feito, bytes.size() - feito);
        if (n <= 0) {
            throw std::runtime_error("pty write failed");
        }
        feito += static_cast<size_t>(n);
    }
}

std::vector<uint8_t> PtyTeste::Ler(size_t minimo, std::chrono::milliseconds espera) {
    std::vector<uint8_t> bytes;
    const auto limite = std::chrono::steady_clock::now() + espera;
    while (bytes.size() < minimo) {
        const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(
            limite - std::chrono::steady_clock::now());
        if (resta.count() <= 0) {
            break;
        }
        pollfd p{mestre_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(resta.count())) <= 0) {
            break;
        }
        uint8_t buffer[512];
        const ssize_t n = read(mestre_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

}  // namespace tvx::teste
