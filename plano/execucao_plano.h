#pragma once
// A plan carried out: its devices one at a time, each through the same worker
// and page logic as a single run of the wizard or tvxnetcfg-cli, with the
// technician's say before each; the state file written before a device
// starts and after it ends; each device's lines into a log of its own in the
// report's folder; the report after each device and at the end.
//
// The engine shows nothing and never waits for the technician: a front end
// (tvxnetcfg-cli plan, the wizard's plan window) shows Pergunta(), answers
// with Continuar, Pular, Repetir or Encerrar, and calls Acompanhar while a
// device runs. No device that is done, or that was interrupted (it may hold
// part of a programming), runs again unless the technician says so: Repetir,
// or RepetirTambem before the plan starts.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "core/equipamento.h"
#include "paginas/execucao_acao.h"
#include "persistence/log.h"
#include "plano/estado.h"
#include "plano/os/trava.h"
#include "plano/plano.h"

namespace tvx::plano {

enum class Fase {
    Oferta,    // a device waits for the go: Continuar (or Repetir, see ExigeRepetir), Pular
    Execucao,  // its actions run: Acompanhar, Parar
    Decisao,   // it failed or was stopped: Repetir, Pular
    Fim,       // nothing left to offer; Repetir(indice) still runs a device again
};

class cObservadorPlano {
  public:
    virtual ~cObservadorPlano() = default;
    // A progress line of the device that runs, as its run posted it (the
    // device's log already has it).
    virtual void Linha(size_t indice, const std::string& texto) = 0;
    // Right before a device's first action: a front end's look at the network.
    virtual void AntesDoEquipamento(size_t /*indice*/, const cEquipamento& /*equipamento*/,
                                    uint32_t /*acao*/) {}
    // The phase, or the state of a device, changed.
    virtual void Mudou() {}
    // What the technician must know that is no line of a run (a state file
    // or a report that could not be written).
    virtual void Aviso(const std::string& texto) = 0;
};

class cExecucaoPlano {
  public:
    // pastaRelatorio empty: beside the plan, "PLANO.relatorio" for "PLANO.csv".
    cExecucaoPlano(Plano plano, std::string pastaRelatorio, cObservadorPlano& observador);
    ~cExecucaoPlano();
    cExecucaoPlano(const cExecucaoPlano&) = delete;
    cExecucaoPlano& operator=(const cExecucaoPlano&) = delete;

    // Takes the plan for this program (one program per plan), reads its state
    // file (a device it has as running becomes interrupted) and writes it
    // back, makes the report's folder, and offers the first device not done.
    // False, with why, when any of that fails: then nothing may be sent.
    bool Abrir(std::string& erro);

    // A device (index from 0) that is offered when reached like a pending one
    // even when it is done or was interrupted. Before Abrir.
    void RepetirTambem(size_t indice) { repetir_.insert(indice); }

    const Plano& Dados() const { return plano_; }
    const EstadoPlano& Estado() const { return estado_; }
    Fase FaseAtual() const { return fase_; }
    // The device offered, running, or awaiting the decision.
    std::optional<size_t> Atual() const { return atual_; }
    // The device offered was interrupted and may hold part of a programming:
    // Continuar refuses it, only Repetir runs it.
    bool ExigeRepetir() const;
    // What the front end asks or shows now.
    std::string Pergunta() const;

    // Oferta: runs the device offered. False when it needs Repetir, or when its
    // state could not be written (told through Aviso; nothing is sent then).
    bool Continuar();
    // Oferta, Decisao: on to the next device; one never tried becomes skipped,
    // any other keeps its state.
    void Pular();
    // Runs again the device awaiting the decision or offered, or with indice
    // any device (not while one runs). False as Continuar.
    bool Repetir(std::optional<size_t> indice = std::nullopt);
    // Oferta, Decisao: no more devices; the report is written.
    void Encerrar();
    // Execucao: hands the lines that came to the observer (waiting up to
    // espera for the first) and moves on when an action ends. False once no
    // device runs.
    bool Acompanhar(std::chrono::milliseconds espera);
    // Execucao: stops the device's run as "P&arar" does; it ends interrupted.
    void Parar();

    std::string ArquivoEstado() const;
    const std::string& PastaRelatorio() const { return pasta_; }
    std::string CaminhoLog(size_t indice) const;
    // The report as it stands (also written after each device and at the end).
    bool GravarRelatorio();

  private:
    void Oferecer();
    bool Iniciar(size_t indice);
    void IniciarAcao();
    void Terminar(EstadoLinha estado, const std::string& ultima);
    void Receber(const std::string& texto);
    bool GravarEstado();
    std::string Descricao(size_t indice) const;

    Plano plano_;
    std::string pasta_;
    cObservadorPlano& observador_;
    os::TravaPlano trava_;
    EstadoPlano estado_;
    std::set<size_t> repetir_;
    Fase fase_ = Fase::Fim;
    std::optional<size_t> atual_;
    size_t cursor_ = 0;

    // The device that runs.
    std::unique_ptr<cEquipamento> equipamento_;
    std::unique_ptr<cExecucaoAcao> execucao_;
    cLog log_;
    size_t acao_ = 0;
    std::chrono::steady_clock::time_point inicio_;
    bool semProgramacaoIp_ = false;
    bool depoisDeExtra_ = false;
    std::string leitura_;
};

}  // namespace tvx::plano
