#include "core/thread_programar.h"

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
    janelaDaExecucao_ = nullptr;
    return 0;
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
