#pragma once
// A fresh folder per test, removed afterwards, and whole-file byte helpers.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "support/log_lido.h"

namespace tvx::teste {

class PastaTemporaria : public testing::Test {
  protected:
    void SetUp() override {
        std::string modelo = (std::filesystem::temp_directory_path() / "tvx_persistencia_XXXXXX");
        ASSERT_NE(::mkdtemp(modelo.data()), nullptr);
        pasta_ = modelo;
    }
    void TearDown() override {
        std::error_code erro;
        std::filesystem::remove_all(pasta_, erro);
    }
    std::string Caminho(const std::string& nome) const { return pasta_ + "/" + nome; }
    static void Escrever(const std::string& caminho, const std::string& bytes) {
        std::ofstream(caminho, std::ios::binary | std::ios::trunc) << bytes;
    }
    static std::string Ler(const std::string& caminho) { return LerArquivo(caminho); }
    // Names in a folder, to see that nothing was left behind.
    static std::set<std::string> Nomes(const std::string& pasta) {
        std::set<std::string> nomes;
        for (const auto& e : std::filesystem::directory_iterator(pasta)) {
            nomes.insert(e.path().filename().string());
        }
        return nomes;
    }

    std::string pasta_;
};

}  // namespace tvx::teste
