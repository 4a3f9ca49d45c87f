#pragma once
// One run of tvxnetcfg-cli: the wizard's pages without windows, then one
// action on the worker, its lines on the terminal and in the log.
#include <csignal>
#include <iosfwd>
#include <string>

#include "cli/opcoes.h"
#include "core/equipamento.h"
#include "persistence/log.h"

namespace tvx::cli {

inline constexpr int kSaidaSucesso = 0;
inline constexpr int kSaidaFalha = 1;
inline constexpr int kSaidaRecusa = 2;
// The new address already answered on the network: the run went to its end
// without programming it.
inline constexpr int kSaidaConflito = 3;
// Stopped (Ctrl+C, SIGTERM, SIGHUP), by what the device was left with: the
// address not programmed; programmed (restarting, or to be restarted); not
// known (stopped while a change was on its way).
inline constexpr int kSaidaParadaSemIp = 4;
inline constexpr int kSaidaParadaProgramado = 5;
inline constexpr int kSaidaParadaIncerto = 6;

// The signals that stop a run (SIGINT, SIGTERM, and SIGHUP: the terminal
// closed or the SSH session dropped). They must be blocked in every thread (block
// them before any thread starts): the run takes them with sigtimedwait, so
// no system call of the worker is ever interrupted by them.
sigset_t SinaisDeParada();

// A progress line with its CR LF pairs as line feeds.
std::string ParaTerminal(const std::string& texto);
// One progress line: into the log first, so that a terminal that went away (a
// pipe closed by its reader, an SSH session dropped) takes no line with it
// and ends no run; then on saida. After a failed write on saida,
// escreverSaida is false and saida gets nothing more. Returns how the log took it.
os::ResultadoArquivo AdicionarLinha(const std::string& texto, cLog& log, std::ostream& saida,
                                    bool& escreverSaida);

// Loads the configuration, applies the options and the page checks, and runs
// the action. Returns the exit code.
int Executar(const Opcoes& opcoes, cEquipamento& equipamento, std::ostream& saida,
             std::ostream& erros);

}  // namespace tvx::cli
