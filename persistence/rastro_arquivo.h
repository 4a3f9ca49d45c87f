#pragma once
// The frame trace (transport/rastro.h) into a file: opened as the log is,
// never through a link and never anything but a regular file, appended to a
// frame at a time.
#include <string>

#include "persistence/os/arquivos.h"

namespace tvx {

inline constexpr const char* kVariavelRastro = "TVXNETCFG_TRACE";

// Writes the trace's opening line to caminho and, when that worked, sends
// every frame of this process there.
os::ResultadoArquivo IniciarRastroEmArquivo(const std::string& caminho);

}  // namespace tvx
