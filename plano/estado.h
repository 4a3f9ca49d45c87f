#pragma once
// What has become of each device of a plan, kept beside the plan in a file of
// its own ("PLANO.estado.csv" for "PLANO.csv"; the plan itself is never
// written). The file is replaced whole, atomically, before a device starts
// and after it ends, so that a program killed in the middle of a device
// leaves that device marked as running, which the next start turns into
// interrupted. Each device's state follows the row's content, not its place:
// rows may be added or moved between starts; a row whose content changed
// starts over as pending, and states whose row has gone stay in the file.
//
// Windows-1252 with CR LF and ';', as a spreadsheet of this country opens it.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "plano/plano.h"

namespace tvx::plano {

enum class EstadoLinha { Pendente, EmExecucao, Feito, Falhou, Pulado, Interrompido };

// "pendente", "em execução", "feito", "falhou", "pulado", "interrompido".
const char* TextoEstado(EstadoLinha estado);

struct ResultadoDispositivo {
    EstadoLinha estado = EstadoLinha::Pendente;
    std::string data;  // of the last start: "06/12/2026"
    std::string hora;  // "14:03:09"
    long duracao = 0;  // seconds, start to end of its last attempt
    std::string ipLido;
    std::string mascaraLida;
    std::string gatewayLido;
    std::string leitura;      // the device's own text, as the read shows it
    std::string ultimaLinha;  // the last line of its last run
};

struct EstadoPlano {
    std::vector<ResultadoDispositivo> resultados;  // one per device of the plan
    std::vector<std::vector<std::string>> orfaos;  // rows of the file no device has
};

// "PLANO.estado.csv" beside "PLANO.csv" (any other name: name + ".estado.csv").
std::string CaminhoEstado(const std::string& caminhoPlano);

// The file's bytes.
std::string TextoEstadoPlano(const Plano& plano, const EstadoPlano& estado);
// What the file says about this plan's devices; a device it does not name is
// pending, one it has as running is interrupted. False, with why, for a file
// that is not one of these.
bool LerEstadoPlano(std::string_view bytes, const Plano& plano, EstadoPlano& estado,
                    std::string& erro);

}  // namespace tvx::plano
