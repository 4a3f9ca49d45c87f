#include "transport/os/porta_serial_linux.h"

// termios2, BOTHER and the TCGETS2/TCSETS2 requests come from the kernel's
// own header, which defines a struct termios of its own: <termios.h> (and
// anything that pulls it in, such as <pty.h>) must stay out of this file.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>

#include "transport/os/motivo_serial.h"

namespace tvx {

namespace {

using Relogio = std::chrono::steady_clock;

// A stop request is seen within one slice of a wait.
constexpr int kFatiaEsperaMs = 50;
// A UART still works when the two ends differ by a few percent; further away
// the line would only carry garbage, so such a rate counts as refused.
constexpr uint32_t kDesvioVelocidadePercentual = 3;
constexpr int kMaxInterrupcoes = 100;
// At most a quarter of a second for a lock that a starting child still holds.
constexpr int kTentativasTrava = 10;
constexpr std::chrono::milliseconds kPausaTrava{25};

struct CodigoVelocidade {
    unsigned codigo;
    uint32_t velocidade;
};

// Drivers may answer with a classic Bnnn code instead of BOTHER.
constexpr CodigoVelocidade kCodigosVelocidade[] = {
    {B0, 0},
    {B50, 50},
    {B75, 75},
    {B110, 110},
    {B134, 134},
    {B150, 150},
    {B200, 200},
    {B300, 300},
    {B600, 600},
    {B1200, 1200},
    {B1800, 1800},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
    {B230400, 230400},
    {B460800, 460800},
    {B500000, 500000},
    {B576000, 576000},
    {B921600, 921600},
    {B1000000, 1000000},
    {B1152000, 1152000},
    {B1500000, 1500000},
    {B2000000, 2000000},
    {B2500000, 2500000},
    {B3000000, 3000000},
    {B3500000, 3500000},
    {B4000000, 4000000},
};

uint32_t DecodificarVelocidade(unsigned codigo, unsigned explicita) {
    if (codigo == BOTHER) {
        return explicita;
    }
    for (const auto& c : kCodigosVelocidade) {
        if (c.codigo == codigo) {
            return c.velocidade;
        }
    }
    return 0;
}

void Decodificar(const termios2& t, LinhaSerial& linha) {
    const unsigned codigoSaida = t.c_cflag & CBAUD;
    const unsigned codigoEntrada = (t.c_cflag >> IBSHIFT) & CBAUD;
    linha.velocidadeSaida = DecodificarVelocidade(codigoSaida, t.c_ospeed);
    // An input code of B0 means "as the output".
    linha.velocidadeEntrada = codigoEntrada == B0
                                  ? linha.velocidadeSaida
                                  : DecodificarVelocidade(codigoEntrada, t.c_ispeed);
    switch (t.c_cflag & CSIZE) {
        case CS5:
            linha.bitsDados = 5;
            break;
        case CS6:
            linha.bitsDados = 6;
            break;
        case CS7:
            linha.bitsDados = 7;
            break;
        default:
            linha.bitsDados = 8;
            break;
    }
    linha.paridade = (t.c_cflag & PARENB) != 0;
    linha.paridadeImpar = (t.c_cflag & PARODD) != 0;
    linha.paridadeFixa = (t.c_cflag & CMSPAR) != 0;
    linha.duasParadas = (t.c_cflag & CSTOPB) != 0;
    linha.controleHardware = (t.c_cflag & CRTSCTS) != 0;
    linha.controleSoftware = (t.c_iflag & (IXON | IXOFF | IXANY)) != 0;
    linha.receptorLigado = (t.c_cflag & CREAD) != 0;
    linha.ignoraModem = (t.c_cflag & CLOCAL) != 0;
    linha.bruto = (t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN)) == 0 &&
                  (t.c_oflag & OPOST) == 0 &&
                  (t.c_iflag & (IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL)) == 0;
}

bool Proxima(uint32_t pedida, uint32_t obtida) {
    const uint64_t desvio = pedida > obtida ? pedida - obtida : obtida - pedida;
    return desvio * 100 <= uint64_t{pedida} * kDesvioVelocidadePercentual;
}

// Milliseconds left until fim, rounded up so that a wait never ends early.
int MsAte(Relogio::time_point fim, Relogio::time_point agora) {
    if (agora >= fim) {
        return 0;
    }
    const auto resto = std::chrono::ceil<std::chrono::milliseconds>(fim - agora).count();
    return static_cast<int>(std::min<long long>(resto, INT_MAX));
}

}  // namespace

bool LerLinhaSerial(int descritor, LinhaSerial& linha) {
    termios2 t{};
    if (::ioctl(descritor, TCGETS2, &t) != 0) {
        return false;
    }
    Decodificar(t, linha);
    return true;
}

PortaSerialOs::~PortaSerialOs() {
    Fechar();
}

bool PortaSerialOs::Falhou() {
    erro_ = errno;
    return false;
}

bool PortaSerialOs::Abrir(const std::string& caminho) {
    Fechar();
    erro_ = 0;
    if (caminho.empty()) {
        erro_ = ENOENT;
        return false;
    }
    int fd = -1;
    for (int i = 0; i < kMaxInterrupcoes; ++i) {
        fd = ::open(caminho.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0 || errno != EINTR) {
            break;
        }
    }
    if (fd < 0) {
        return Falhou();
    }
    // TIOCEXCL does not stop root, and the wizard may well run as root: the
    // advisory lock is what another copy of the program (or any other
    // careful serial tool) runs into. Our own lock of a moment ago may still
    // be held by a child another thread of this process is starting (it holds
    // our descriptors until it runs its program): a reconnection waits that
    // out, for a bounded time, before calling the port busy.
    bool travada = false;
    for (int tentativa = 0; tentativa < kTentativasTrava; ++tentativa) {
        travada = ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
        if (travada) {
            break;
        }
        std::this_thread::sleep_for(kPausaTrava);
    }
    if (!travada) {
        ::close(fd);
        erro_ = EBUSY;
        return false;
    }
    // Only a terminal device is a serial port: a regular file or /dev/null
    // would swallow the frames and never answer, so it is refused here,
    // where the technician can be told so.
    struct stat st {};
    termios2 t{};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || ::ioctl(fd, TCGETS2, &t) != 0) {
        ::close(fd);
        erro_ = ENOTTY;
        return false;
    }
    // A program that announced the port in a lock file (a serial terminal,
    // a dialler) keeps it, as it would keep it from them.
    if (DonoPeloArquivoDeLock(caminho) != 0) {
        ::close(fd);
        erro_ = EBUSY;
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    descritor_ = fd;
    return true;
}

void PortaSerialOs::Fechar() {
    if (descritor_ < 0) {
        return;
    }
    // Output still queued after a failed write would hold close() for the
    // driver's closing delay (30 s by default): nobody waits for it anymore.
    ::ioctl(descritor_, TCFLSH, TCIOFLUSH);
    ::ioctl(descritor_, TIOCNXCL);
    ::close(descritor_);
    descritor_ = -1;
    velocidade_ = 0;
}

bool PortaSerialOs::Configurar(uint32_t velocidade, uint8_t bitsDados, uint8_t paradas,
                               uint8_t paridade) {
    if (descritor_ < 0) {
        erro_ = EBADF;
        return false;
    }
    velocidade_ = velocidade;
    termios2 t{};
    if (::ioctl(descritor_, TCGETS2, &t) != 0) {
        return Falhou();
    }

    unsigned tamanho = t.c_cflag & CSIZE;
    switch (bitsDados) {
        case 0:
            break;
        case 5:
            tamanho = CS5;
            break;
        case 6:
            tamanho = CS6;
            break;
        case 7:
            tamanho = CS7;
            break;
        case 8:
            tamanho = CS8;
            break;
        default:
            erro_ = EINVAL;
            return false;
    }

    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON |
                   IXOFF | IXANY | IMAXBEL | INPCK);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);
    t.c_cflag &=
        ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= tamanho | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    if (paradas != 0) {
        // Linux has no separate one-and-a-half: the UART makes 1.5 of CSTOPB
        // with five data bits.
        t.c_cflag |= CSTOPB;
    }
    switch (paridade) {
        case 1:
            t.c_cflag |= PARENB;
            break;
        case 2:
            t.c_cflag |= PARENB | PARODD;
            break;
        case 3:
            t.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    if (t.c_cflag & PARENB) {
        t.c_iflag |= INPCK;
    }
    t.c_ispeed = velocidade;
    t.c_ospeed = velocidade;
    // One byte satisfies a read; with O_NONBLOCK an empty queue then answers
    // EAGAIN and only a hang-up answers 0.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::ioctl(descritor_, TCSETS2, &t) != 0) {
        return Falhou();
    }

    // The kernel takes rates a UART cannot make and quietly runs the nearest
    // one it can; the settings read back tell.
    termios2 lida{};
    if (::ioctl(descritor_, TCGETS2, &lida) != 0) {
        return Falhou();
    }
    LinhaSerial linha;
    Decodificar(lida, linha);
    if (!Proxima(velocidade, linha.velocidadeSaida) ||
        !Proxima(velocidade, linha.velocidadeEntrada) || (lida.c_cflag & CSIZE) != tamanho) {
        erro_ = EINVAL;
        return false;
    }
    return true;
}

bool PortaSerialOs::Descartar() {
    if (::ioctl(descritor_, TCFLSH, TCIOFLUSH) != 0) {
        return Falhou();
    }
    return true;
}

PortaSerialOs::Rts PortaSerialOs::DefinirRts(bool ligado) {
    int linha = TIOCM_RTS;
    if (::ioctl(descritor_, ligado ? TIOCMBIS : TIOCMBIC, &linha) == 0) {
        return Rts::comutado;
    }
    if (errno == ENOTTY || errno == EINVAL) {
        return Rts::semLinha;
    }
    Falhou();
    return Rts::falha;
}

bool PortaSerialOs::EscreverTudo(const uint8_t* dados, size_t tamanho,
                                 std::chrono::milliseconds limite) {
    if (descritor_ < 0) {
        erro_ = EBADF;
        return false;
    }
    const auto fim = Relogio::now() + limite;
    size_t escritos = 0;
    while (escritos < tamanho) {
        const ssize_t n = ::write(descritor_, dados + escritos, tamanho - escritos);
        if (n > 0) {
            escritos += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return Falhou();
        }
        const auto agora = Relogio::now();
        if (agora >= fim) {
            erro_ = ETIMEDOUT;
            return false;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        pollfd p{descritor_, POLLOUT, 0};
        const int r = ::poll(&p, 1, MsAte(fim, agora));
        if (r < 0 && errno != EINTR) {
            return Falhou();
        }
        if (r > 0 && (p.revents & POLLOUT) == 0) {
            // Hung up or in error: no room will ever come.
            erro_ = EIO;
            return false;
        }
    }
    return true;
}

bool PortaSerialOs::AguardarTransmissao(std::chrono::milliseconds limite) {
    if (descritor_ < 0) {
        erro_ = EBADF;
        return false;
    }
    // The drain request of the kernel cannot be bounded, so wait for the
    // driver's queue first, with a limit; what is left after it (the UART's
    // FIFO and shift register) is a few characters long.
    const auto fim = Relogio::now() + limite;
    for (;;) {
        int naFila = 0;
        if (::ioctl(descritor_, TIOCOUTQ, &naFila) != 0 || naFila <= 0) {
            break;
        }
        const auto agora = Relogio::now();
        if (agora >= fim) {
            erro_ = ETIMEDOUT;
            ::ioctl(descritor_, TCFLSH, TCOFLUSH);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(2, MsAte(fim, agora))));
    }
    // TCSBRK with a non-zero argument is tcdrain(): it returns once the
    // transmitter is empty, the moment RTS may drop.
    for (int i = 0; i < kMaxInterrupcoes; ++i) {
        if (::ioctl(descritor_, TCSBRK, 1) == 0) {
            return true;
        }
        if (errno != EINTR) {
            return Falhou();
        }
    }
    return Falhou();
}

PortaSerialOs::Leitura PortaSerialOs::LerByte(uint8_t& byte, uint32_t tempoMs,
                                              const std::atomic<bool>& lendo) {
    if (descritor_ < 0) {
        erro_ = EBADF;
        return Leitura::falha;
    }
    const auto fim = Relogio::now() + std::chrono::milliseconds(tempoMs);
    bool avisado = false;  // poll reported an error or a hang-up
    for (int interrupcoes = 0;;) {
        const ssize_t n = ::read(descritor_, &byte, 1);
        if (n == 1) {
            return Leitura::byte;
        }
        if (n == 0) {
            // With VMIN 1 an empty read only comes from a hang-up.
            erro_ = EIO;
            return Leitura::falha;
        }
        if (errno == EINTR) {
            if (++interrupcoes > kMaxInterrupcoes) {
                return Leitura::falha;
            }
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            Falhou();
            return Leitura::falha;
        }
        if (avisado) {
            erro_ = EIO;
            return Leitura::falha;
        }
        const auto agora = Relogio::now();
        if (agora >= fim) {
            return Leitura::vazia;
        }
        if (!lendo.load()) {
            return Leitura::parada;
        }
        pollfd p{descritor_, POLLIN, 0};
        const int r = ::poll(&p, 1, std::min(kFatiaEsperaMs, MsAte(fim, agora)));
        if (r < 0) {
            if (errno != EINTR) {
                Falhou();
                return Leitura::falha;
            }
            if (++interrupcoes > kMaxInterrupcoes) {
                return Leitura::falha;
            }
            continue;
        }
        if (r > 0) {
            if (p.revents & POLLNVAL) {
                erro_ = EBADF;
                return Leitura::falha;
            }
            avisado = (p.revents & POLLIN) == 0 && (p.revents & (POLLERR | POLLHUP)) != 0;
        }
    }
}

}  // namespace tvx
