#include "support/rede_campo.h"

#include <unistd.h>

#include <vector>

namespace tvx::teste {

RedeCampo::RedeCampo(RedeIsolada& computador) {
    thread_ = std::thread([this] {
        const bool disponivel =
            ExecutarEmRedeIsolada([this](RedeIsolada& campo) { Servir(campo); });
        const std::lock_guard<std::mutex> trava(mutex_);
        if (!disponivel) {
            ADD_FAILURE() << "the field's isolated network is unavailable";
        }
        iniciado_ = true;  // also when the body never ran
        campo_ = nullptr;
        cv_.notify_all();
    });
    {
        std::unique_lock<std::mutex> trava(mutex_);
        cv_.wait(trava, [this] { return iniciado_; });
        if (campo_ == nullptr) {
            return;
        }
    }
    // The field was verified to hold lo alone before it served anything.
    ok_ = computador.Interfaces() == std::vector<std::string>{"lo"} &&
          computador.Executar("ip link add tvx0 type veth peer name campo0 netns " +
                              std::to_string(tid_) + " && ip link set tvx0 up") == 0 &&
          Comando("ip link set campo0 up") == 0 &&
          computador.Interfaces() == std::vector<std::string>{"lo", "tvx0"};
    EXPECT_TRUE(ok_) << "joining the computer and the field";
}

RedeCampo::~RedeCampo() {
    // The pair goes now, not whenever the kernel gets round to the field's
    // namespace: the next field of the same test makes its own tvx0.
    if (ok_) {
        Comando("ip link del campo0");
    }
    {
        const std::lock_guard<std::mutex> trava(mutex_);
        fim_ = true;
        cv_.notify_all();
    }
    thread_.join();
}

void RedeCampo::Servir(RedeIsolada& campo) {
    std::unique_lock<std::mutex> trava(mutex_);
    campo_ = &campo;
    tid_ = gettid();
    iniciado_ = true;
    cv_.notify_all();
    for (;;) {
        cv_.wait(trava, [this] { return fim_ || tarefa_; });
        if (fim_) {
            return;
        }
        const std::function<void()> tarefa = tarefa_;
        trava.unlock();
        tarefa();
        trava.lock();
        tarefa_ = nullptr;
        cv_.notify_all();
    }
}

void RedeCampo::Executar(const std::function<void()>& tarefa) {
    std::unique_lock<std::mutex> trava(mutex_);
    if (campo_ == nullptr) {
        ADD_FAILURE() << "the field is not there";
        return;
    }
    tarefa_ = tarefa;
    cv_.notify_all();
    cv_.wait(trava, [this] { return !tarefa_; });
}

int RedeCampo::Comando(const std::string& comando, std::string* saida) {
    int resultado = -1;
    Executar([&] { resultado = campo_->Executar(comando, saida); });
    return resultado;
}

std::string EnderecosIpv4(RedeIsolada& rede, const std::string& interface) {
    std::string s;
    rede.Executar("ip -4 -o addr show dev " + interface + " | awk '{printf \"%s \", $4}'", &s);
    return s;
}

}  // namespace tvx::teste
