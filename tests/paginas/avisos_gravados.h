#pragma once
// Records what page logic would show in message boxes, and answers No.
#include <string>
#include <utility>
#include <vector>

#include "paginas/avisos.h"

namespace tvx::teste {

using Aviso = std::pair<TipoAviso, std::string>;
using Avisos = std::vector<Aviso>;

inline Aviso Erro(const std::string& t) {
    return {TipoAviso::Erro, t};
}

struct AvisosGravados : cAvisos {
    void Mostrar(TipoAviso tipo, const std::string& texto) override {
        vistos.emplace_back(tipo, texto);
    }
    bool Perguntar(const std::string&) override { return false; }
    Avisos vistos;
};

}  // namespace tvx::teste
