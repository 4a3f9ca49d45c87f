#pragma once
// What tvxnetcfg-cli can be asked before any run: the catalogue, a model's
// rows of the parameters page, the serial ports, the version.
#include <iosfwd>
#include <string>
#include <vector>

#include "paginas/propriedades.h"

namespace tvx::cli {

// --list-models: one line per model: number, name, family, the media its
// page 2 offers.
void ListarModelos(std::ostream& saida);

// --list-params: every row of the parameters page as it stands: group
// titles, then each row's label, what it takes and its current value.
void ListarParametros(const cPropertyRows& linhas, std::ostream& saida);

// --list-ports: each port's name (what --port takes), its device file and
// its description. False, with the reason on erros, when the ports could
// not be listed; true with a note on erros when there are none.
bool ListarPortas(std::ostream& saida, std::ostream& erros);

// The labels --param takes (a model's rows), one per line, indented.
std::string RotulosValidos(const std::vector<std::string>& rotulos);

}  // namespace tvx::cli
