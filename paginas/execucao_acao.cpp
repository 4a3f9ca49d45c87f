#include "paginas/execucao_acao.h"

#include <optional>
#include <utility>

namespace tvx {

const char* LinhaDeSucesso(uint32_t acao) {
    switch (acao) {
        case kAcaoProgramar:
            return "Programação finalizada.";
        case kAcaoTestar:
            return "IP programado OK.";
        default:
            return "Leitura finalizada.";
    }
}

cExecucaoAcao::cExecucaoAcao(cEquipamento& equipamento, uint32_t acao, Receptor receptor)
    : acao_(acao), receptor_(std::move(receptor)), trabalho_(equipamento) {}

cExecucaoAcao::~cExecucaoAcao() {
    if (parador_.joinable()) {
        parador_.join();
    }
    trabalho_.Para();
}

void cExecucaoAcao::Iniciar() {
    trabalho_.janela = &fila_;
    trabalho_.acao = acao_;
    trabalho_.Inicia();
}

void cExecucaoAcao::Entregar(const std::string& texto) {
    if (texto == LinhaDeSucesso(acao_)) {
        sucesso_ = true;
    }
    if (texto == kLinhaSemProgramacaoIp) {
        semProgramacaoIp_ = true;
    }
    ultima_ = texto;
    receptor_(texto, trabalho_.RetirarMotivoFalha(texto));
}

bool cExecucaoAcao::Acompanhar(std::chrono::milliseconds espera) {
    if (fim_) {
        return false;
    }
    if (std::optional<LinhaProgresso> linha = fila_.Retirar(espera)) {
        Entregar(linha->texto);
        while (std::optional<LinhaProgresso> mais = fila_.Retirar(std::chrono::milliseconds(0))) {
            Entregar(mais->texto);
        }
        return true;
    }
    const bool terminou = parando_ ? parado_.load() : !trabalho_.EmExecucao(0);
    if (!terminou) {
        return true;
    }
    while (std::optional<LinhaProgresso> resto = fila_.Retirar(std::chrono::milliseconds(0))) {
        Entregar(resto->texto);
    }
    if (parador_.joinable()) {
        parador_.join();
    }
    if (parando_) {
        Entregar(kLinhaTarefasFinalizadas);
    }
    fim_ = true;
    return false;
}

void cExecucaoAcao::Parar() {
    if (parando_ || fim_) {
        return;
    }
    parando_ = true;
    Entregar(kLinhaFinalizandoTarefas);
    // The wait is the worker's: the lines it posts meanwhile still show.
    parador_ = std::thread([this] {
        trabalho_.Para();
        parado_ = true;
    });
}

}  // namespace tvx
