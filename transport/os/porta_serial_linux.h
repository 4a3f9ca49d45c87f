#pragma once
// The Linux side of cSerial: one tty device driven through termios2, modem
// control ioctls and poll. Every system call of the serial port lives in the
// matching .cpp, so that a Windows layer can stand beside it with the same
// operations.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tvx {

// The line as the kernel holds it, decoded from termios2 so that callers
// need not include the kernel headers (they clash with <termios.h>).
struct LinhaSerial {
    uint32_t velocidadeSaida = 0;
    uint32_t velocidadeEntrada = 0;
    uint8_t bitsDados = 0;
    bool paridade = false;
    bool paridadeImpar = false;
    bool paridadeFixa = false;  // CMSPAR: mark or space
    bool duasParadas = false;
    bool controleHardware = false;  // CRTSCTS
    bool controleSoftware = false;  // IXON, IXOFF or IXANY
    bool receptorLigado = false;    // CREAD
    bool ignoraModem = false;       // CLOCAL
    // No line editing, echo, signals, output processing or input mapping.
    bool bruto = false;
};

// Reads the line settings of an open tty. For a pseudo-terminal master the
// kernel answers with the settings of its slave.
bool LerLinhaSerial(int descritor, LinhaSerial& linha);

class PortaSerialOs {
  public:
    enum class Leitura {
        byte,    // one byte stored
        vazia,   // the read time-out passed without a byte
        falha,   // the device reported an error or hung up
        parada,  // the reading flag was cleared while waiting
    };
    enum class Rts {
        comutado,  // the line changed
        semLinha,  // the device has no modem-control lines (pseudo-terminal)
        falha,
    };

    PortaSerialOs() = default;
    ~PortaSerialOs();
    PortaSerialOs(const PortaSerialOs&) = delete;
    PortaSerialOs& operator=(const PortaSerialOs&) = delete;

    // Opens the device for reading and writing, without making it the
    // controlling terminal, and takes it for this process alone: the kernel's
    // exclusive mode where the device allows it and an advisory lock that
    // another opener of the same device sees.
    bool Abrir(const std::string& caminho);
    bool Aberta() const { return descritor_ >= 0; }
    void Fechar();

    // Raw line at any rate (termios2 with BOTHER), receiver on, modem lines
    // ignored, no flow control. paradas: 0 one, 1 one and a half (two on
    // Linux), other two; paridade: 1 even, 2 odd, 3 space, other none;
    // bitsDados 0 keeps the current size. False when the kernel refuses the
    // settings or runs the line more than 3% away from the requested rate.
    bool Configurar(uint32_t velocidade, uint8_t bitsDados, uint8_t paradas, uint8_t paridade);
    // Discards what waits in both directions.
    bool Descartar();
    Rts DefinirRts(bool ligado);
    // Writes every byte, waiting for room while the device is busy, until
    // limite has passed.
    bool EscreverTudo(const uint8_t* dados, size_t tamanho, std::chrono::milliseconds limite);
    // Waits until the last bit has left the transmitter, at most about
    // limite for the queue to empty.
    bool AguardarTransmissao(std::chrono::milliseconds limite);
    // Waits up to tempoMs for one byte. The wait is cut into short slices so
    // that clearing lendo ends it promptly.
    Leitura LerByte(uint8_t& byte, uint32_t tempoMs, const std::atomic<bool>& lendo);

    // The rate of the last configuration, 0 before any.
    uint32_t Velocidade() const { return velocidade_; }
    int Descritor() const { return descritor_; }
    // errno of the last call that failed, 0 when none has.
    int UltimoErro() const { return erro_; }

  private:
    bool Falhou();

    int descritor_ = -1;
    int erro_ = 0;
    uint32_t velocidade_ = 0;
};

}  // namespace tvx
