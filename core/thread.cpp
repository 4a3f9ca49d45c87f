#include "core/thread.h"

#include <system_error>

namespace tvx {

namespace {

// The object whose Executa() runs on the calling thread, if any: a worker that
// asks to stop itself must not wait for its own end.
thread_local const cThread* tObjetoDaThread = nullptr;

}  // namespace

void EventoAutoReset::Sinalizar() {
    {
        std::lock_guard<std::mutex> trava(mutex_);
        sinalizado_ = true;
    }
    cv_.notify_one();
}

void EventoAutoReset::Limpar() {
    std::lock_guard<std::mutex> trava(mutex_);
    sinalizado_ = false;
}

bool EventoAutoReset::Aguardar(std::chrono::milliseconds espera) {
    std::unique_lock<std::mutex> trava(mutex_);
    if (espera.count() > 0) {
        cv_.wait_for(trava, espera, [this] { return sinalizado_; });
    }
    if (!sinalizado_) {
        return false;
    }
    sinalizado_ = false;
    return true;
}

cThread::cThread() = default;

cThread::~cThread() {
    // A derived class should already have stopped the thread in its own
    // destructor; this is the last line of defence, so that a forgotten stop
    // never leaves a joinable std::thread behind (which would terminate).
    Para();
    if (thread_.joinable()) {
        if (tObjetoDaThread == this) {
            thread_.detach();
        } else {
            thread_.join();
        }
    }
}

bool cThread::Inicia() {
    parar_.store(0);
    eventoParar_.Limpar();

    if (EmExecucao(50)) {
        return true;
    }
    // The previous thread has returned from Executa(); collect it before the
    // std::thread object is reused.
    if (thread_.joinable()) {
        thread_.join();
    }

    {
        std::lock_guard<std::mutex> trava(mutex_);
        rodando_ = true;
    }
    try {
        thread_ = std::thread(&cThread::Entrada, this);
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> trava(mutex_);
        rodando_ = false;
        return false;
    }
    return true;
}

bool cThread::Para() {
    if (!EmExecucao(50)) {
        return true;
    }
    // The flag goes up before the event so that a worker woken by the event
    // finds it set at every later check.
    parar_.store(1);
    eventoParar_.Sinalizar();

    // The worker cannot wait for itself to end: the request stands, and the
    // caller learns that nothing was waited for.
    if (tObjetoDaThread == this) {
        return false;
    }

    std::this_thread::yield();
    {
        std::unique_lock<std::mutex> trava(mutex_);
        terminou_.wait(trava, [this] { return !rodando_; });
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    return true;
}

bool cThread::DeveParar(uint32_t esperaMs) {
    if (parar_.load() != 0) {
        return true;
    }
    return eventoParar_.Aguardar(std::chrono::milliseconds(esperaMs));
}

bool cThread::EmExecucao(uint32_t esperaMs) {
    std::unique_lock<std::mutex> trava(mutex_);
    terminou_.wait_for(trava, std::chrono::milliseconds(esperaMs), [this] { return !rodando_; });
    return rodando_;
}

void cThread::Entrada() {
    // An exception escaping a std::thread would end the whole program in the
    // middle of a device exchange; the run ends with an error code instead, and
    // the running flag still falls so that Para() does not wait forever.
    tObjetoDaThread = this;
    uint32_t codigo = 0xFFFFFFFFu;
    try {
        codigo = Executa();
    } catch (...) {
        codigo = 0xFFFFFFFFu;
    }
    {
        std::lock_guard<std::mutex> trava(mutex_);
        codigoSaida_ = codigo;
        rodando_ = false;
    }
    terminou_.notify_all();
}

}  // namespace tvx
