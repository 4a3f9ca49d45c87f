#pragma once
// The configuration file as the pages load and save it, with what the
// technician is told when the file cannot be read or written.
#include "core/equipamento.h"
#include "paginas/avisos.h"
#include "persistence/locais.h"

namespace tvx {

inline constexpr const char* kComValoresPadrao = "O assistente começa com os valores padrão.";
inline constexpr const char* kEscolhasNaoGuardadas =
    "As escolhas não foram guardadas para a próxima vez.";

// At start: the file's values; when the file is there but cannot be read, a
// box that says so and why, and only then the defaults.
void CarregarConfiguracaoInicial(cEquipamento& equipamento, cAvisos& avisos);

// The program's start: where this run keeps its files (the profile's path
// goes into the equipment object), then the profile loaded from there.
LocaisArquivos IniciarArquivos(cEquipamento& equipamento, cAvisos& avisos);

// Next of the pages that save: a file that cannot be written is said, and
// the page moves on all the same (its values are in the equipment object).
void GravarConfiguracao(cEquipamento& equipamento, cAvisos& avisos);

// "não foi ..." as the first words of a box: "Não foi ...".
std::string ComoFrase(const std::string& texto);

}  // namespace tvx
