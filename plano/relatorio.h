#pragma once
// The record of a plan for the technician to keep, print or send: a page of
// HTML that needs nothing beside it (styles inline, no scripts) and the same
// table as CSV, one line per device, with a link to each device's log.
// Everything that came from the plan or a device is escaped.
#include <cstddef>
#include <string>

#include "plano/estado.h"
#include "plano/plano.h"

namespace tvx::plano {

inline constexpr const char* kRelatorioHtml = "relatorio.html";
inline constexpr const char* kRelatorioCsv = "relatorio.csv";

// "equipamento-07.log": the device's own log, in the report's folder.
std::string NomeLogDispositivo(const Plano& plano, size_t indice);

// "Equipamentos: 3 — feitos: 2, com falha: 1, pulados: 0, interrompidos: 0, pendentes: 0"
std::string TextoResumo(const EstadoPlano& estado);

// geradoEm: "06/12/2026 14:03:09".
std::string TextoRelatorioHtml(const Plano& plano, const EstadoPlano& estado,
                               const std::string& geradoEm);
// The table row of one device (one line of the page).
std::string LinhaRelatorioHtml(const Plano& plano, const EstadoPlano& estado, size_t indice);
// Windows-1252, CR LF, ';'.
std::string TextoRelatorioCsv(const Plano& plano, const EstadoPlano& estado);

}  // namespace tvx::plano
