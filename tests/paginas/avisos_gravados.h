#pragma once
// Records what page logic would show in message boxes, with the row each is
// about, and answers No.
#include <string>
#include <tuple>
#include <vector>

#include "paginas/avisos.h"

namespace tvx::teste {

using Aviso = std::tuple<TipoAviso, std::string, std::string>;  // kind, text, row
using Avisos = std::vector<Aviso>;

inline Aviso Erro(const std::string& t, const std::string& rotulo = "") {
    return {TipoAviso::Erro, t, rotulo};
}

struct AvisosGravados : cAvisos {
    void Mostrar(TipoAviso tipo, const std::string& texto) override {
        vistos.emplace_back(tipo, texto, "");
    }
    void MostrarSobre(TipoAviso tipo, const std::string& texto,
                      const std::string& rotulo) override {
        vistos.emplace_back(tipo, texto, rotulo);
    }
    bool Perguntar(const std::string&) override { return false; }
    Avisos vistos;
};

}  // namespace tvx::teste
