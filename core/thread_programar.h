#pragma once
// The worker of the programming page: runs one programming, test or read run
// of the equipment and reports every step as a progress line.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "core/equipamento.h"
#include "core/progresso.h"
#include "core/thread.h"

namespace tvx {

inline constexpr uint32_t kAcaoLer = 0;
inline constexpr uint32_t kAcaoProgramar = 1;
inline constexpr uint32_t kAcaoTestar = 2;

inline constexpr const char* kVersaoPrograma = "TVXNetCfg - v19.1.3";

// What a programming run has done to the device so far, as far as the run
// can know: what a front end tells the technician when the run was stopped.
enum class EstadoEquipamento : uint8_t {
    Intacto,      // nothing that changes the device was sent
    Incerto,      // a change was sent and its answer is not known
    Alterado,     // extra settings accepted; the address not programmed
    Programado,   // the new address accepted; no restart sent
    Reiniciando,  // the new address accepted and the restart sent
};

class cThreadProgramar : public cThread {
  public:
    explicit cThreadProgramar(cEquipamento& equipamento);
    ~cThreadProgramar() override;

    // Written by the page, also while a run is active (a run reads them at its start).
    std::atomic<JanelaProgresso*> janela{nullptr};
    std::atomic<uint32_t> acao{kAcaoLer};
    // Set by a programming run whose IP programming succeeded.
    std::atomic<uint8_t> programado{0};
    // Set by the runs as they go; Intacto when a run starts.
    std::atomic<EstadoEquipamento> estado{EstadoEquipamento::Intacto};

    // Why the link could not be opened, when it can tell (a serial port:
    // no such device, no permission, held by another program, no serial
    // device), noted with the run's line that reports the failure: given
    // that line, the reason, once; empty for any other line. Any thread.
    std::string RetirarMotivoFalha(std::string_view linha);

    // Echo series: ARP removal, quantidade echoes of 32 bytes (250 ms after
    // each answer), then, with varredura, sizes 64..2048. False on a failed
    // counted echo or a stop request.
    bool PingarSerie(const std::string& ip, int quantidade, bool varredura);

    // The runs; each posts its lines to janela.
    void Programar();
    void Ler(bool detalhado);
    void Testar();

  protected:
    uint32_t Executa() override;

  private:
    // The window of the worker run in progress, or the page's current one when
    // a run or a series is called outside the worker.
    JanelaProgresso* Destino() const;
    void PostarFixo(const char* literal);
    void PostarCopia(const std::string& texto);
    // After a failed Conecta: the reason the link gives, if any, for the
    // line about to be posted.
    void AnotarMotivoFalha(const char* linha);

    cEquipamento& equipamento_;
    JanelaProgresso* janelaDaExecucao_ = nullptr;
    std::mutex mutexMotivo_;
    std::string motivoFalha_;
    std::string linhaDoMotivo_;
};

}  // namespace tvx
