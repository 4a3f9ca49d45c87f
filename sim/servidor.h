#pragma once
// The two ways to reach the equipment: TCP connections on its port, and a
// pseudo-terminal standing for its serial line. Each runs one thread that
// cuts requests out of the byte stream and hands them to the equipment.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sim/falhas.h"
#include "sim/pedido.h"

namespace tvx::sim {

struct Tratador {
    std::function<Envio(const Pedido&, Meio)> atender;  // what the equipment does and answers
    std::function<void()> concluir;  // the reply is out (or there is none): the request is done
};

// How long the input may rest before an incomplete request is given up.
inline constexpr std::chrono::milliseconds kSilencioTcp{200};
inline constexpr std::chrono::milliseconds kSilencioSerial{100};
// A reply that cannot be written within this time is dropped.
inline constexpr std::chrono::milliseconds kTempoEnvio{2000};
inline constexpr size_t kMaximoConexoes = 8;

class ServidorTcp {
  public:
    ServidorTcp(uint32_t modelo, Tratador tratador, const std::atomic<unsigned>& reinicios);
    ~ServidorTcp();
    ServidorTcp(const ServidorTcp&) = delete;
    ServidorTcp& operator=(const ServidorTcp&) = delete;

    bool Iniciar(const std::string& endereco, uint16_t porta);
    uint16_t Porta() const { return porta_; }
    void Parar();

  private:
    struct Conexao;
    void Servir();
    // False when the connection must close.
    bool Atender(Conexao& conexao, bool ocioso);

    uint32_t modelo_;
    Tratador tratador_;
    const std::atomic<unsigned>& reinicios_;
    int escuta_ = -1;
    int despertar_[2] = {-1, -1};
    uint16_t porta_ = 0;
    std::atomic<bool> parar_{false};
    std::thread thread_;
};

class ServidorSerial {
  public:
    ServidorSerial(uint32_t modelo, Tratador tratador);
    ~ServidorSerial();
    ServidorSerial(const ServidorSerial&) = delete;
    ServidorSerial& operator=(const ServidorSerial&) = delete;

    // The path of the pseudo-terminal's slave, or "" on failure.
    std::string Iniciar();
    const std::string& Caminho() const { return caminho_; }
    void Parar();

  private:
    void Servir();
    void FecharLinha();

    uint32_t modelo_;
    Tratador tratador_;
    int mestre_ = -1;
    int escravo_ = -1;  // held open so the line never hangs up between the program's opens
    int despertar_[2] = {-1, -1};
    std::string caminho_;
    std::atomic<bool> parar_{false};
    std::thread thread_;
};

// Writes all bytes to a non-blocking descriptor within kTempoEnvio.
bool EscreverTudo(int fd, const std::vector<uint8_t>& bytes, bool socket);

}  // namespace tvx::sim
