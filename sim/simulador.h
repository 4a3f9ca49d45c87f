#pragma once
// A stand-in for one piece of equipment of any catalogue model. It speaks the
// real wire protocol over TCP (on the model's port) or over a pseudo-terminal,
// keeps its state between exchanges, and can be told to misbehave.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tvx::sim {

enum class Falha {
    Nenhuma,
    Recusar,          // NAK (0x15) where the acknowledgement goes; Modbus: exception reply
    Calar,            // receive and answer nothing
    FecharNoMeio,     // send part of the reply, then close the connection
    RespostaCurta,    // send only the first few bytes of the reply
    Lixo,             // send bytes that match nothing
    ExcecaoModbus,    // Modbus exception reply (function | 0x80, code 2)
    IpDiferente,      // family 6: echo an IP other than the one sent
    RespostaGigante,  // a reply of more than 2048 bytes
    SumirSerial,      // serial: close the pseudo-terminal mid-exchange
};

// Which request a fault applies to; empty fields match anything.
struct AlvoFalha {
    std::optional<uint8_t> comando{};  // 'L' or 'P' of a framed command
    std::optional<uint8_t> subcomando{};
    std::optional<uint16_t> registro{};  // first register of a Modbus request
    bool blocoBruto = false;             // only unframed blocks (families 1, 6, 9, 15)
    int ocorrencias = -1;                // how many matching requests fail; -1 = all
};

struct EstadoEquipamento {
    uint32_t ip = 0;  // IPv4 values, first octet in the lowest byte
    uint32_t mascara = 0;
    uint32_t gateway = 0;
    // Programmed but not yet in force: a reset (command 'L' 24) applies them.
    std::optional<std::array<uint32_t, 3>> pendente;
    std::array<uint8_t, 6> mac{};
    std::string idTelemetria;  // Latin-1 as received
    std::string celularSms;
    std::string url;
    uint8_t operadora = 0;
    uint8_t rtu = 1;
    uint8_t velocidade = 0;  // rate code last programmed
    uint8_t tempoReconexao = 0;
    std::array<uint8_t, 6> relogio{};  // last clock bytes received
    bool memoriaMassaZerada = false;
    std::vector<uint8_t> camposMemoria;         // last 866-byte memory-field payload
    std::array<uint8_t, 70> registroGateway{};  // families 6, 9, 15: last record received
    uint16_t entradas = 0xFFFF;                 // Modbus register 1280
    uint16_t saidas = 3;                        // 1281
    std::array<float, 7> medicoes{};            // registers 1024..1037
    int resets = 0;
};

struct Troca {
    bool recebido;  // true: from the program; false: to the program
    std::vector<uint8_t> bytes;
    std::string descricao;  // what the simulator understood or did
};

class Simulador {
  public:
    explicit Simulador(uint32_t modelo);
    ~Simulador();
    Simulador(const Simulador&) = delete;
    Simulador& operator=(const Simulador&) = delete;

    // Listens on endereco and porta (0: the model's port). False when it cannot.
    bool IniciarTcp(const std::string& endereco = "127.0.0.1", uint16_t porta = 0);
    uint16_t PortaTcp() const;
    // Opens a pseudo-terminal and serves on it; returns the path the program
    // opens as its serial port, or "" on failure.
    std::string IniciarSerial();
    void Parar();

    void DefinirFalha(Falha falha, AlvoFalha alvo = {});
    void DefinirEstado(const EstadoEquipamento& estado);
    EstadoEquipamento Estado() const;
    std::vector<Troca> Trocas() const;
    // Waits until at least n requests were handled, their replies written
    // (or espera passed).
    bool AguardarPedidos(size_t n, std::chrono::milliseconds espera);
    // Called for each exchange as it happens (the command line prints them).
    void AoTrocar(std::function<void(const Troca&)> observador);

    // Power cycle: programmed addresses waiting for a restart take effect and
    // open TCP connections drop, as when the technician switches it off and on.
    void Reiniciar();
    // Requests handled so far (garbage that made no request included).
    size_t Pedidos() const;
    // The pseudo-terminal path while serving serial, else "".
    std::string CaminhoSerial() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The TCP port of a model: 5006, 5007, 502 or 5003.
uint16_t PortaDoModelo(uint32_t modelo);

// A plausible device of the model fresh from the factory: 192.168.0.101,
// 255.255.255.0, gateway 0.0.0.0, MAC 02:B4:6D:00:<model>:65, RTU 1 at 38400,
// and live-looking measurements (4.125 A and so on).
EstadoEquipamento EstadoInicial(uint32_t modelo);

}  // namespace tvx::sim
