#include "ui/receptor_progresso.h"

#include <QCoreApplication>
#include <utility>

namespace tvx {

cEventoProgresso::cEventoProgresso(uint32_t mensagem_, LinhaProgresso linha_)
    : QEvent(Tipo()), mensagem(mensagem_), linha(std::move(linha_)) {}

QEvent::Type cEventoProgresso::Tipo() {
    static const auto tipo = static_cast<QEvent::Type>(QEvent::registerEventType());
    return tipo;
}

bool cReceptorProgresso::PostarMensagem(uint32_t mensagem, LinhaProgresso linha) {
    std::lock_guard<std::mutex> trava(mutex_);
    if (alvo_ == nullptr) {
        return false;
    }
    // The event queue owns the event and frees it, also when the target goes
    // away before it is delivered.
    QCoreApplication::postEvent(alvo_, new cEventoProgresso(mensagem, std::move(linha)));
    return true;
}

void cReceptorProgresso::Desligar() {
    std::lock_guard<std::mutex> trava(mutex_);
    alvo_ = nullptr;
}

}  // namespace tvx
