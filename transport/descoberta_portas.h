#pragma once
// Lists the computer's serial ports for the communication medium page.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tvx {

struct InfoPortaSerial {
    std::string caminhoDispositivo;  // /dev path
    std::string nomePorta;           // what cSerial::DefinirNomePorta opens, e.g. ttyUSB0
    std::string nomeAmigavel;        // e.g. "USB Serial Port (ttyUSB0)"
    bool usb = false;
    std::string descricao;
    uint8_t numeroPorta = 0;  // number after "COM" in nomePorta, 0 when none
};

// A discovery failure, carrying the text to show the technician.
class ErroDescobertaPortas : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kRaizSysfsTty = "/sys/class/tty";

// Empties portas, then appends one record per real port in the order the
// system lists them. Throws ErroDescobertaPortas.
void EnumerarPortas(std::vector<InfoPortaSerial>& portas,
                    const std::string& raizSysfs = kRaizSysfsTty);

}  // namespace tvx
