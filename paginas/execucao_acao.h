#pragma once
// One run of the programming page without widgets: the action on a worker of
// its own, its lines handed over in the order they were posted, a stop as
// "P&arar" makes it, and whether the action ended with its success line.
// The headless front end and a plan's devices run through it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "core/equipamento.h"
#include "core/progresso.h"
#include "core/thread_programar.h"

namespace tvx {

inline constexpr const char* kLinhaFinalizandoTarefas = "Finalizando tarefas...";
inline constexpr const char* kLinhaTarefasFinalizadas = "Tarefas finalizadas.";
inline constexpr const char* kLinhaSemProgramacaoIp = "Programação de IP não será feita.";

// The line with which the action (kAcao...) ends when it went through:
// "Programação finalizada.", "IP programado OK." or "Leitura finalizada.".
const char* LinhaDeSucesso(uint32_t acao);

// What a stopped run left the device with, as the technician is told it:
// "equipamento programado com o IP 10.0.0.50 e reiniciando; ...".
std::string TextoEstadoDoEquipamento(EstadoEquipamento estado, const cEquipamento& equipamento);

class cExecucaoAcao {
  public:
    // receptor gets every line, on the thread that calls Acompanhar and Parar,
    // with why the link could not be opened beside the run's line that says
    // so (when the link can tell; empty for every other line).
    using Receptor = std::function<void(const std::string& texto, const std::string& motivo)>;

    cExecucaoAcao(cEquipamento& equipamento, uint32_t acao, Receptor receptor);
    // A run still going is stopped and waited for.
    ~cExecucaoAcao();
    cExecucaoAcao(const cExecucaoAcao&) = delete;
    cExecucaoAcao& operator=(const cExecucaoAcao&) = delete;

    void Iniciar();
    // Hands over the lines that have come (waiting up to espera for the
    // first). False once the run has ended and every line is handed over.
    bool Acompanhar(std::chrono::milliseconds espera);
    // "Finalizando tarefas..." at once; the worker is stopped in the
    // background, so the lines it posts meanwhile still come, and
    // "Tarefas finalizadas." after the last of them. Only the first call counts.
    void Parar();

    bool Parando() const { return parando_; }
    // The success line came (a stopped run may have got that far too).
    bool Sucesso() const { return sucesso_; }
    const std::string& UltimaLinha() const { return ultima_; }
    // The run said "Programação de IP não será feita.": the new address
    // answered already and was left alone.
    bool SemProgramacaoIp() const { return semProgramacaoIp_; }
    // What the run has done to the device so far; once a stopped run has
    // ended, what it left the device with.
    EstadoEquipamento EstadoDoEquipamento() const { return trabalho_.estado.load(); }

  private:
    void Entregar(const std::string& texto);

    const uint32_t acao_;
    Receptor receptor_;
    FilaProgresso fila_;  // outlives the worker that posts to it
    cThreadProgramar trabalho_;
    std::thread parador_;
    std::atomic<bool> parado_{false};
    bool parando_ = false;
    bool sucesso_ = false;
    bool semProgramacaoIp_ = false;
    bool fim_ = false;
    std::string ultima_;
};

}  // namespace tvx
