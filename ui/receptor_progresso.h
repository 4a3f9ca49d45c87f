#pragma once
// Carries progress lines from the worker thread to a Qt object on the
// user-interface thread: each posted line becomes a posted Qt event, so the
// worker never touches a widget and the lines arrive in posting order. Once
// disconnected, further lines are dropped instead of reaching an object that
// may be gone.
#include <QEvent>
#include <QObject>
#include <mutex>

#include "core/progresso.h"

namespace tvx {

class cEventoProgresso : public QEvent {
  public:
    cEventoProgresso(uint32_t mensagem, LinhaProgresso linha);
    static QEvent::Type Tipo();

    uint32_t mensagem;
    LinhaProgresso linha;
};

class cReceptorProgresso : public JanelaProgresso {
  public:
    explicit cReceptorProgresso(QObject* alvo) : alvo_(alvo) {}
    ~cReceptorProgresso() override { Desligar(); }
    cReceptorProgresso(const cReceptorProgresso&) = delete;
    cReceptorProgresso& operator=(const cReceptorProgresso&) = delete;

    // Any thread. False when disconnected.
    bool PostarMensagem(uint32_t mensagem, LinhaProgresso linha) override;
    // From here on nothing is posted; a post in progress has finished.
    void Desligar();

  private:
    std::mutex mutex_;
    QObject* alvo_;
};

}  // namespace tvx
