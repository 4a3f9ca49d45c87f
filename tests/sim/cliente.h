#pragma once
// The far end of the simulator in its tests: a plain TCP client on a
// loopback address and the program's side of the pseudo-terminal.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/simulador.h"
#include "transport/codec.h"

namespace tvx::teste {

using namespace std::chrono_literals;

// Reads from fd until minimo bytes came, the peer closed, or espera passed;
// once something came, a pause of pausa ends the reply as well.
inline std::vector<uint8_t> LerAte(
    int fd, size_t minimo, std::chrono::milliseconds espera, bool* fechado = nullptr,
    std::chrono::milliseconds pausa = std::chrono::milliseconds(300)) {
    std::vector<uint8_t> bytes;
    const auto limite = std::chrono::steady_clock::now() + espera;
    if (fechado) {
        *fechado = false;
    }
    while (bytes.size() < minimo) {
        const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(
                               limite - std::chrono::steady_clock::now())
                               .count();
        if (resta <= 0) {
            break;
        }
        const long limiteEspera = bytes.empty() ? resta : std::min<long>(resta, pausa.count());
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(limiteEspera)) <= 0) {
            break;
        }
        uint8_t buffer[8192];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (fechado) {
                *fechado = true;
            }
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

class ClienteTcp {
  public:
    ClienteTcp(const std::string& endereco, uint16_t porta) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(porta);
        if (inet_pton(AF_INET, endereco.c_str(), &sa.sin_addr) != 1 ||
            (ntohl(sa.sin_addr.s_addr) >> 24) != 127) {
            throw std::invalid_argument("loopback only: " + endereco);
        }
        if (connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
            close(fd_);
            throw std::runtime_error("cannot connect to " + endereco);
        }
    }
    ~ClienteTcp() { close(fd_); }
    ClienteTcp(const ClienteTcp&) = delete;
    ClienteTcp& operator=(const ClienteTcp&) = delete;

    void Enviar(const std::vector<uint8_t>& bytes) {
        size_t feito = 0;
        while (feito < bytes.size()) {
            const ssize_t n = send(fd_, bytes.data() + feito, bytes.size() - feito, MSG_NOSIGNAL);
            if (n <= 0) {
                throw std::runtime_error("send failed");
            }
            feito += static_cast<size_t>(n);
        }
    }
    std::vector<uint8_t> Receber(size_t minimo, std::chrono::milliseconds espera = 3s) {
        return LerAte(fd_, minimo, espera, &fechado_);
    }
    std::vector<uint8_t> Trocar(const std::vector<uint8_t>& pedido, size_t minimo) {
        Enviar(pedido);
        return Receber(minimo);
    }
    // True when the peer closes within espera (bytes still in flight are read and dropped).
    bool FechadoPeloPar(std::chrono::milliseconds espera = 2s) {
        LerAte(fd_, SIZE_MAX, espera, &fechado_, espera);
        return fechado_;
    }
    bool Fechado() const { return fechado_; }

  private:
    int fd_ = -1;
    bool fechado_ = false;
};

// Test programs of several checkouts may run side by side on one machine, each
// wanting the same model port: when the preferred loopback address is taken,
// random ones of 127.64.0.0/10 are tried. ouvir starts listening on one.
inline std::string EnderecoLivre(const std::string& preferido,
                                 const std::function<bool(const std::string&)>& ouvir) {
    if (ouvir(preferido)) {
        return preferido;
    }
    std::mt19937 gerador(std::random_device{}());
    for (int tentativa = 0; tentativa < 50; ++tentativa) {
        const std::string endereco = "127." + std::to_string(64 + gerador() % 64) + "." +
                                     std::to_string(gerador() % 256) + "." +
                                     std::to_string(1 + gerador() % 254);
        if (ouvir(endereco)) {
            return endereco;
        }
    }
    throw std::runtime_error("no free loopback address for port tests");
}

// A simulated device on a loopback address of its own (porta 0: the model's).
struct Servido {
    Servido(uint32_t modelo, const std::string& preferido, uint16_t porta = 0)
        : sim(modelo), endereco(EnderecoLivre(preferido, [&](const std::string& e) {
              return sim.IniciarTcp(e, porta);
          })) {}
    ClienteTcp Conectar() { return ClienteTcp(endereco, sim.PortaTcp()); }

    sim::Simulador sim;
    std::string endereco;
};

// The program's side of the simulator's pseudo-terminal, raw like a COM port.
class LinhaSerial {
  public:
    explicit LinhaSerial(const std::string& caminho) {
        fd_ = open(caminho.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) {
            throw std::runtime_error("cannot open " + caminho);
        }
        termios modo{};
        tcgetattr(fd_, &modo);
        cfmakeraw(&modo);
        tcsetattr(fd_, TCSANOW, &modo);
    }
    ~LinhaSerial() { close(fd_); }
    LinhaSerial(const LinhaSerial&) = delete;
    LinhaSerial& operator=(const LinhaSerial&) = delete;

    void Enviar(const std::vector<uint8_t>& bytes) {
        if (write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            throw std::runtime_error("write failed");
        }
    }
    std::vector<uint8_t> Receber(size_t minimo, std::chrono::milliseconds espera = 3s) {
        return LerAte(fd_, minimo, espera, &fechado_);
    }
    std::vector<uint8_t> Trocar(const std::vector<uint8_t>& pedido, size_t minimo) {
        Enviar(pedido);
        return Receber(minimo);
    }
    bool Fechado() const { return fechado_; }

  private:
    int fd_ = -1;
    bool fechado_ = false;
};

// Frames exactly as the program's codec builds them.
inline std::vector<uint8_t> QuadroDle(uint8_t rtu, uint8_t comando, uint8_t subcomando,
                                      const std::vector<uint8_t>& dados = {}) {
    std::vector<uint8_t> quadro(4096);
    const int16_t n = MontarQuadroDle(quadro.data(), 4096, rtu, comando, subcomando,
                                      static_cast<int32_t>(dados.size()), dados.data());
    quadro.resize(static_cast<size_t>(n));
    return quadro;
}

inline std::vector<uint8_t> QuadroDleTcp(uint8_t rtu, uint8_t comando, uint8_t subcomando,
                                         const std::vector<uint8_t>& dados = {}) {
    const std::vector<uint8_t> dle = QuadroDle(rtu, comando, subcomando, dados);
    std::vector<uint8_t> quadro(4096);
    const int32_t n =
        EncapsularTcp(quadro.data(), 4096, dle.data(), static_cast<int32_t>(dle.size()), rtu, 0);
    quadro.resize(static_cast<size_t>(n));
    return quadro;
}

inline std::vector<uint8_t> QuadroSimples(uint8_t comando, uint8_t subcomando,
                                          const std::vector<uint8_t>& dados = {}) {
    std::vector<uint8_t> quadro(4096);
    const int16_t n = MontarQuadroSimples(quadro.data(), 4096, comando, subcomando,
                                          static_cast<int32_t>(dados.size()), dados.data());
    quadro.resize(static_cast<size_t>(n));
    return quadro;
}

// Tag, then texts in 20-byte slots.
inline std::vector<uint8_t> CargaIp(const std::string& ip, const std::string& mascara,
                                    const std::string& gateway, const char* tag = "TVX5150S") {
    std::vector<uint8_t> carga(68, 0);
    std::copy(tag, tag + 8, carga.begin());
    std::copy(ip.begin(), ip.end(), carga.begin() + 8);
    std::copy(mascara.begin(), mascara.end(), carga.begin() + 28);
    std::copy(gateway.begin(), gateway.end(), carga.begin() + 48);
    return carga;
}

inline std::vector<uint8_t> ComTag(const char* tag, std::vector<uint8_t> resto) {
    resto.insert(resto.begin(), tag, tag + 8);
    return resto;
}

// The text of a read reply from its offset up to its zero byte.
inline std::string TextoEm(const std::vector<uint8_t>& resposta, size_t inicio) {
    std::string texto;
    for (size_t i = inicio; i < resposta.size() && resposta[i] != 0; ++i) {
        texto += static_cast<char>(resposta[i]);
    }
    return texto;
}

inline uint16_t CrcCms(const std::vector<uint8_t>& bytes, size_t inicio, size_t fim) {
    uint16_t crc = 0;
    Crc16Cms(crc, bytes.data() + inicio, fim - inicio);
    return crc;
}

inline uint32_t Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return static_cast<uint32_t>(a) | static_cast<uint32_t>(b) << 8 |
           static_cast<uint32_t>(c) << 16 | static_cast<uint32_t>(d) << 24;
}

}  // namespace tvx::teste
