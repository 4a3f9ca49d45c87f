#pragma once
// The computer's network around a run of tvxnetcfg-cli: the diagnosis and
// the temporary address of --preparar-rede, all on the error output, none of
// it on the standard output or in the log.
#include <iosfwd>

#include "cli/opcoes.h"
#include "core/equipamento.h"

namespace tvx::cli {

// Removes what an earlier run that was killed left behind.
void RemoverSobrasDeRede(std::ostream& erros);
// Before the run: the diagnosis, and with --preparar-rede the address.
void PrepararRede(const Opcoes& opcoes, const cEquipamento& equipamento, std::ostream& erros);
// After the run, or when it is stopped: the address goes again.
void DesfazerRede(std::ostream& erros);

}  // namespace tvx::cli
