#pragma once
// The block tvxnetcfg-cli writes on the error output before it acts: what it
// will do, to which device, with which values and where each value came from
// (an option, the profile, or the default of a missing profile), then the
// model's preparation steps that the wizard shows on page 1.
#include <iosfwd>

#include "cli/opcoes.h"
#include "core/equipamento.h"

namespace tvx::cli {

void EscreverResumo(const Opcoes& opcoes, const cEquipamento& equipamento, bool perfilExiste,
                    std::ostream& erros);

}  // namespace tvx::cli
