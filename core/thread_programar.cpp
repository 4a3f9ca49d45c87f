#include "core/thread_programar.h"

#include <utility>

namespace tvx {

cThreadProgramar::cThreadProgramar(cEquipamento& equipamento) : equipamento_(equipamento) {}

// The thread runs this class's Executa(): it must have ended before any part
// of the object goes away.
cThreadProgramar::~cThreadProgramar() {
    Para();
}

uint32_t cThreadProgramar::Executa() {
    // One window for the whole run, even if the page hands over another one
    // meanwhile: the lines of a run belong together.
    janelaDaExecucao_ = janela.load();
    estado = EstadoEquipamento::Intacto;
    {
        std::lock_guard<std::mutex> trava(mutexMotivo_);
        motivoFalha_.clear();
        linhaDoMotivo_.clear();
    }
    // Every wait of the link sees a stop at once, and nothing more is sent
    // after it; the run then takes the branch of a failed exchange.
    equipamento_.canal.DefinirConsultaParada([this] { return DeveParar(0); });
    PostarFixo(kVersaoPrograma);
    switch (acao.load()) {
        case kAcaoLer:
            Ler(true);
            break;
        case kAcaoProgramar:
            Programar();
            break;
        case kAcaoTestar:
            Testar();
            break;
        default:
            PostarFixo("Finalizado.");
            break;
    }
    equipamento_.canal.DefinirConsultaParada(nullptr);
    janelaDaExecucao_ = nullptr;
    return 0;
}

std::string cThreadProgramar::RetirarMotivoFalha(std::string_view linha) {
    std::lock_guard<std::mutex> trava(mutexMotivo_);
    if (motivoFalha_.empty() || linha != linhaDoMotivo_) {
        return {};
    }
    linhaDoMotivo_.clear();
    return std::exchange(motivoFalha_, std::string());
}

void cThreadProgramar::AnotarMotivoFalha(const char* linha) {
    if (equipamento_.UsaTcp()) {
        return;
    }
    std::lock_guard<std::mutex> trava(mutexMotivo_);
    motivoFalha_ = equipamento_.canal.Serial().MotivoFalhaAbertura();
    linhaDoMotivo_ = linha;
}

JanelaProgresso* cThreadProgramar::Destino() const {
    return janelaDaExecucao_ ? janelaDaExecucao_ : janela.load();
}

void cThreadProgramar::PostarFixo(const char* literal) {
    PostarTextoFixo(Destino(), MensagemIncluirProcesso(), literal);
}

void cThreadProgramar::PostarCopia(const std::string& texto) {
    PostarTexto(Destino(), MensagemIncluirProcesso(), texto);
}

}  // namespace tvx
