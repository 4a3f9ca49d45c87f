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
        }
        *fd = -1;
    }
}

void PtyTeste::Escrever(const std::vector<uint8_t>& bytes) {
    for (size_t feito = 0; feito < bytes.size();) {
        const ssize_t n = write(mestre_, bytes.data() + feito, bytes.size() - feito);
        if (n <= 0) {
            throw std::runtime_error("pty write failed");
        }
        feito += static_cast<size_t>(n);
    }
}

std::vector<uint8_t> PtyTeste::Ler(size_t minimo, std::chrono::milliseconds espera) {
    using Relogio = std::chrono::steady_clock;
    std::vector<uint8_t> bytes;
    uint8_t buffer[512];
    pollfd p{mestre_, POLLIN, 0};
    for (const auto limite = Relogio::now() + espera; bytes.size() < minimo;) {
        const auto resta =
            std::chrono::duration_cast<std::chrono::milliseconds>(limite - Relogio::now()).count();
        const ssize_t n = resta > 0 && poll(&p, 1, static_cast<int>(resta)) > 0
                              ? read(mestre_, buffer, sizeof buffer)
                              : 0;
        if (n <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

}  // namespace tvx::teste
