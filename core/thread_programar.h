#pragma once
// The worker of the programming page: runs one programming, test or read run
// of the equipment and reports every step as a progress line.
#include <atomic>
#include <cstdint>
#include <string>

#include "core/equipamento.h"
#include "core/progresso.h"
#include "core/thread.h"

namespace tvx {

inline constexpr uint32_t kAcaoLer = 0;
inline constexpr uint32_t kAcaoProgramar = 1;
inline constexpr uint32_t kAcaoTestar = 2;

inline constexpr const char* kVersaoPrograma = "TVXNetCfg - v19.1.3";

class cThreadProgramar : public cThread {
public:
    explicit cThreadProgramar(cEquipamento& equipamento);
    ~cThreadProgramar() override;

    // Written by the page, also while a run is active (a run reads them at its start).
    std::atomic<JanelaProgresso*> janela{nullptr};
    std::atomic<uint32_t> acao{kAcaoLer};
    // Set by a programming run whose IP programming succeeded.
    std::atomic<uint8_t> programado{0};

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

    cEquipamento& equipamento_;
    JanelaProgresso* janelaDaExecucao_ = nullptr;
};

}  // namespace tvx
