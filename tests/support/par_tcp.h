#pragma once
// A scripted TCP peer on a loopback address for the channel and equipment
// tests: it accepts one connection at a time, records every byte that
// arrives and answers each received segment with the next scripted action.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tvx::teste {

class ParTcp {
  public:
    struct Acao {
        std::vector<uint8_t> resposta;  // sent as one segment
        bool fechar = false;            // close the connection instead
        bool calar = false;             // receive and answer nothing
    };

    // porta 0 picks a free port. Only 127.0.0.0/8 addresses.
    explicit ParTcp(const std::string& endereco = "127.0.0.1", uint16_t porta = 0);
    ~ParTcp();
    ParTcp(const ParTcp&) = delete;
    ParTcp& operator=(const ParTcp&) = delete;

    uint16_t Porta() const { return porta_; }
    void Responder(std::vector<uint8_t> resposta) {
        Acrescentar({std::move(resposta), false, false});
    }
    void Fechar() { Acrescentar({{}, true, false}); }
    void Calar() { Acrescentar({{}, false, true}); }
    // Waits up to espera for at least minimo bytes in total; returns all so far.
    std::vector<uint8_t> Recebido(size_t minimo,
                                  std::chrono::milliseconds espera = std::chrono::seconds(5));
    int Conexoes() const;

  private:
    void Acrescentar(Acao acao);
    void Servir();

    int escuta_ = -1;
    uint16_t porta_ = 0;
    std::thread servidor_;
    mutable std::mutex mutex_;
    std::condition_variable mudou_;
    std::deque<Acao> acoes_;
    std::vector<uint8_t> recebido_;
    int conexoes_ = 0;
    bool parar_ = false;
};

// The bytes of a hex text such as "10 02 01 4C".
std::vector<uint8_t> Hex(const std::string& texto);
std::string ParaHex(const uint8_t* dados, size_t tamanho);
std::string ParaHex(const std::vector<uint8_t>& dados);

inline long long MsDesde(std::chrono::steady_clock::time_point inicio) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 inicio)
        .count();
}

}  // namespace tvx::teste
