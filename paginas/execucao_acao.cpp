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

std::string TextoEstadoDoEquipamento(EstadoEquipamento estado, const cEquipamento& equipamento) {
    const std::string& ip = equipamento.GetIpNovo();
    switch (estado) {
        case EstadoEquipamento::Intacto:
            return "equipamento não programado (nada que o altere foi enviado)";
        case EstadoEquipamento::Alterado:
            return "IP não programado; os passos extras já aceitos ficaram no equipamento";
        case EstadoEquipamento::Programado:
            if (equipamento.PermiteReset() && !equipamento.ModeloComDip()) {
                return "equipamento programado com o IP " + ip +
                       "; não foi reiniciado: desligue e ligue o equipamento para o IP valer";
            }
            return "equipamento programado com o IP " + ip;
        case EstadoEquipamento::Reiniciando:
            return "equipamento programado com o IP " + ip +
                   " e reiniciando; em uns 10 s ele responde no IP novo (use test)";
        case EstadoEquipamento::Incerto:
            break;
    }
    return "estado do equipamento desconhecido (parado com uma programação a caminho); "
           "leia-o com read antes de repetir";
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
