#pragma once
// One serial port for the channel: 8 data bits, no parity, one stop bit, RTS
// raised while transmitting (RS-485 converters), byte-by-byte reads bounded by
// the read time-out and a fixed number of attempts.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tvx {

class PortaSerialOs;  // the operating-system layer (transport/os/)

inline constexpr uint8_t kIndicePortaPorNome = 255;
inline constexpr uint8_t kIndiceVelocidadePadrao = 6;  // 9600
inline constexpr uint8_t kIndiceVelocidade38400 = 9;
inline constexpr uint32_t kTempoLeituraPadraoMs = 3000;

class cSerial {
  public:
    cSerial();
    ~cSerial();
    cSerial(const cSerial&) = delete;
    cSerial& operator=(const cSerial&) = delete;

    bool DefinirPadrao();
    // Copies at most 511 characters; the port index becomes 255 (use the name).
    bool DefinirNomePorta(std::string_view nome);
    std::string NomePorta() const;
    // False for an index above 15; 15 is accepted and runs at 9600.
    bool DefinirIndiceVelocidade(uint8_t indice);
    uint8_t IndiceVelocidade() const { return indiceVelocidade_; }
    bool DefinirTempoLeitura(uint32_t ms);
    uint32_t TempoLeitura() const { return tempoLeituraMs_; }

    bool AbrirPorta();
    bool PortaAberta() const;
    void FecharPorta();
    // The device file AbrirPorta opens for the current name: "COMn" is
    // /dev/ttyS(n-1), a bare name is under /dev, a path is used as it is.
    std::string CaminhoDispositivo() const;

    bool EscreverPorta(const uint8_t* buffer, size_t tamanho);
    uint16_t LerBytes(uint8_t* buffer, uint16_t capacidade, uint16_t esperado);
    uint8_t LerRespostaModbus(const uint8_t* requisicao, uint8_t* resposta, uint16_t capacidade);
    // Safe from any thread: ends a read loop after the byte in progress.
    void PararLeitura();
    // Asked before each write and every tenth of a second while a read
    // waits: true (a stop of the run) ends the read as PararLeitura does
    // and refuses the write.
    void DefinirConsultaParada(std::function<bool()> parar) { parar_ = std::move(parar); }
    // Bytes the last LerRespostaModbus took from the line.
    uint16_t UltimosLidos() const { return lidos_; }
    // Why the last AbrirPorta could not open the device, in words for the
    // technician; empty after an open that succeeded.
    const std::string& MotivoFalhaAbertura() const { return motivoFalha_; }

  private:
    // A PortaSerialOs::Leitura, as an int: the OS layer stays out of this header.
    int LerUmByte(uint8_t& byte);
    bool Parada() const { return parar_ && parar_(); }

    std::unique_ptr<PortaSerialOs> porta_;
    uint8_t indicePorta_ = 0;
    uint8_t indiceVelocidade_ = 0;
    uint8_t paradas_ = 0;   // stop-bits selector, always 0 here
    uint8_t paridade_ = 0;  // parity selector, always 0 here
    uint32_t tempoLeituraMs_ = 0;
    uint8_t bitsDados_ = 8;
    std::string nome_;
    std::atomic<bool> lendo_{false};
    std::function<bool()> parar_;
    uint16_t lidos_ = 0;
    std::string motivoFalha_;
};

// The device file a port name opens, as cSerial::CaminhoDispositivo says.
std::string CaminhoDaPorta(std::string_view nome);
// "COM1".."COM20" for 0..19; false (destino unchanged) for 20 or more.
bool NomeComPorIndice(std::string& destino, unsigned indice);
// "110".."256000" for 0..14; nullptr for 15 or more.
const char* TextoVelocidade(unsigned indice);
// Index 0..14 of the equal text (exact), or 255.
uint8_t IndiceDaVelocidade(std::string_view texto);
// Baud rate of an index; 9600 outside 0..14.
uint32_t VelocidadePorIndice(unsigned indice);

}  // namespace tvx
