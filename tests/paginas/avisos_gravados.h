#pragma once
// Records what page logic would show in message boxes, and answers No.
#include <string>
#include <utility>
#include <vector>

#include "paginas/avisos.h"

namespace tvx::teste {

struct AvisosGravados : cAvisos {
    std::vector<std::pair<TipoAviso, std::string>> mostrados;
    void Mostrar(TipoAviso tipo, const std::string& texto) override {
        mostrados.emplace_back(tipo, texto);
    }
    bool Perguntar(const std::string&) override { return false; }
};

}  // namespace tvx::teste
