#pragma once
// Records what page logic would show in message boxes, and answers No; and a
// working folder of its own for the pages that save the configuration file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/equipamento.h"
#include "paginas/avisos.h"
#include "support/log_lido.h"

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

// Each case in its own empty working directory, with the shared object as a
// first start leaves it.
class PastaDeTrabalho : public ::testing::Test {
  protected:
    void SetUp() override {
        anterior_ = std::filesystem::current_path();
        char modelo[] = "/tmp/tvx-paginas-XXXXXX";
        ASSERT_NE(mkdtemp(modelo), nullptr);
        pasta_ = modelo;
        std::filesystem::current_path(pasta_);
        eq.caminhoConfiguracao.clear();
        eq.Configuracao(false);
    }
    void TearDown() override {
        std::filesystem::current_path(anterior_);
        std::filesystem::remove_all(pasta_);
    }
    std::string Ini() const { return LerArquivo((pasta_ / "tvxnetcfg.ini").string()); }

    cEquipamento& eq = EquipamentoGlobal();
    AvisosGravados avisos;
    std::filesystem::path anterior_;
    std::filesystem::path pasta_;
};

}  // namespace tvx::teste
