#pragma once
// Two isolated networks joined by a cable: "the computer" is the isolated
// network of the calling thread (TVX_EM_REDE_ISOLADA or
// TVX_NO_PROCESSO_ISOLADO), "the field" a second one made here, verified
// like the first to hold nothing but lo. A veth pair joins them: tvx0 on the
// computer's side, campo0 on the field's, both up.
//
//     RedeCampo campo(rede);
//     ASSERT_TRUE(campo.Ok());
//     campo.Executar([&] { ... sockets, addresses, a simulator of the field ... });
//
// Whatever is made inside Executar (a socket, a thread, a child process)
// belongs to the field. The field, and the pair with it, disappears when the
// object is destroyed.
#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "support/rede_isolada.h"

namespace tvx::teste {

class RedeCampo {
  public:
    explicit RedeCampo(RedeIsolada& computador);
    ~RedeCampo();
    RedeCampo(const RedeCampo&) = delete;
    RedeCampo& operator=(const RedeCampo&) = delete;

    // Both networks verified and joined; a failure is reported to gtest.
    bool Ok() const { return ok_; }
    // Runs tarefa on the field's thread and waits for it.
    void Executar(const std::function<void()>& tarefa);
    // A command line with /bin/sh in the field (RedeIsolada::Executar there).
    int Comando(const std::string& comando, std::string* saida = nullptr);

  private:
    void Servir(RedeIsolada& campo);

    std::mutex mutex_;
    std::condition_variable cv_;
    std::function<void()> tarefa_;
    RedeIsolada* campo_ = nullptr;
    pid_t tid_ = 0;
    bool iniciado_ = false;
    bool fim_ = false;
    bool ok_ = false;
    std::thread thread_;
};

// The IPv4 addresses of an interface of rede, "a.b.c.d/p " each, in order.
std::string EnderecosIpv4(RedeIsolada& rede, const std::string& interface);

}  // namespace tvx::teste
