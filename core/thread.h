#pragma once
// A stoppable worker: one thread at a time runs Executa(); a stop request is
// an auto-reset event plus a flag, seen wherever the work calls DeveParar().
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace tvx {

class EventoAutoReset {
  public:
    void Sinalizar();
    void Limpar();
    // True when signalled within espera; consumes the signal.
    bool Aguardar(std::chrono::milliseconds espera);

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool sinalizado_ = false;
};

class cThread {
  public:
    cThread();
    // Stops and waits for a running thread. A derived class must call Para()
    // in its own destructor: the thread runs the derived Executa().
    virtual ~cThread();
    cThread(const cThread&) = delete;
    cThread& operator=(const cThread&) = delete;

    // Starts Executa() on a new thread; true without starting anything when a
    // thread is still running.
    bool Inicia();
    // Signals the stop and waits without limit for the thread to end.
    bool Para();
    // True when a stop was requested; waits up to esperaMs for the signal.
    bool DeveParar(uint32_t esperaMs);
    // True when the thread is still running after waiting up to esperaMs.
    bool EmExecucao(uint32_t esperaMs);

  protected:
    virtual uint32_t Executa() = 0;

  private:
    void Entrada();

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable terminou_;
    bool rodando_ = false;
    uint32_t codigoSaida_ = 0;
    EventoAutoReset eventoParar_;
    std::atomic<uint8_t> parar_{0};
};

}  // namespace tvx
