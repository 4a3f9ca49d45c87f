#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "sim/servidor.h"

namespace tvx::sim {

namespace {

using Relogio = std::chrono::steady_clock;

constexpr int kEsperaOciosa = 100;
constexpr std::chrono::milliseconds kFolgaAntesDeSumir{50};

}  // namespace

ServidorSerial::ServidorSerial(uint32_t modelo, Tratador tratador)
    : modelo_(modelo), tratador_(std::move(tratador)) {}

ServidorSerial::~ServidorSerial() {
    Parar();
}

std::string ServidorSerial::Iniciar() {
    if (thread_.joinable() || mestre_ >= 0) {
        return "";
    }
    mestre_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char nome[128] = {};
    if (mestre_ < 0 || grantpt(mestre_) != 0 || unlockpt(mestre_) != 0 ||
        ptsname_r(mestre_, nome, sizeof nome) != 0) {
        FecharLinha();
        return "";
    }
    escravo_ = open(nome, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios modo{};
    if (escravo_ < 0 || tcgetattr(escravo_, &modo) != 0) {
        FecharLinha();
        return "";
    }
    // A serial line carries bytes untouched: no echo, no line editing.
    cfmakeraw(&modo);
    tcsetattr(escravo_, TCSANOW, &modo);
    fcntl(mestre_, F_SETFL, fcntl(mestre_, F_GETFL) | O_NONBLOCK);
    if (pipe2(despertar_, O_CLOEXEC | O_NONBLOCK) != 0) {
        FecharLinha();
        return "";
    }
    caminho_ = nome;
    parar_ = false;
    thread_ = std::thread([this] { Servir(); });
    return caminho_;
}

void ServidorSerial::FecharLinha() {
    if (mestre_ >= 0) {
        close(mestre_);
        mestre_ = -1;
    }
    if (escravo_ >= 0) {
        close(escravo_);
        escravo_ = -1;
    }
}

void ServidorSerial::Parar() {
    parar_ = true;
    if (despertar_[1] >= 0) {
        const uint8_t um = 1;
        [[maybe_unused]] const ssize_t n = write(despertar_[1], &um, 1);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    FecharLinha();
    for (int& fd : despertar_) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
}

void ServidorSerial::Servir() {
    Extrator extrator(modelo_, Meio::Serial);
    Relogio::time_point ultimo = Relogio::now();
    const auto atender = [&](bool ocioso) {
        while (std::optional<Pedido> pedido = extrator.Proximo(ocioso)) {
            const Envio envio = tratador_.atender(*pedido, Meio::Serial);
            if (envio.sumir) {
                // The equipment is unplugged once the request is in: let the
                // program finish transmitting it, then the line is gone for good.
                std::this_thread::sleep_for(kFolgaAntesDeSumir);
                FecharLinha();
                tratador_.concluir();
                return false;
            }
            if (!envio.bytes.empty()) {
                EscreverTudo(mestre_, envio.bytes, false);
            }
            tratador_.concluir();
        }
        return true;
    };
    while (!parar_ && mestre_ >= 0) {
        int espera = kEsperaOciosa;
        if (!extrator.Vazio()) {
            const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   ultimo + kSilencioSerial - Relogio::now())
                                   .count();
            espera = std::clamp(static_cast<int>(resta) + 1, 0, espera);
        }
        pollfd fds[2] = {{despertar_[0], POLLIN, 0}, {mestre_, POLLIN, 0}};
        if (poll(fds, 2, espera) < 0 && errno != EINTR) {
            break;
        }
        if (parar_) {
            break;
        }
        if (fds[1].revents & POLLIN) {
            uint8_t bloco[4096];
            const ssize_t n = read(mestre_, bloco, sizeof bloco);
            if (n > 0) {
                extrator.Alimentar(bloco, static_cast<size_t>(n));
                ultimo = Relogio::now();
                if (!atender(false)) {
                    break;
                }
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            // No slave side open for a moment: nothing to read, do not spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!extrator.Vazio() && Relogio::now() - ultimo >= kSilencioSerial) {
            if (!atender(true)) {
                break;
            }
        }
    }
}

}  // namespace tvx::sim
