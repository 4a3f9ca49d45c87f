#pragma once
// A fresh folder per test, removed afterwards, and whole-file byte helpers.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace tvx::teste {

class PastaTemporaria : public testing::Test {
  protected:
    void SetUp() override {
        const char* base = std::getenv("TMPDIR");
        std::string modelo = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                             "/tvx_persistencia_XXXXXX";
        ASSERT_NE(::mkdtemp(modelo.data()), nullptr);
        pasta_ = modelo;
    }
    void TearDown() override {
        std::error_code erro;
        std::filesystem::remove_all(pasta_, erro);
    }

    std::string Caminho(const std::string& nome) const { return pasta_ + "/" + nome; }

    static void Escrever(const std::string& caminho, const std::string& bytes) {
        std::ofstream f(caminho, std::ios::binary | std::ios::trunc);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(f.good()) << caminho;
    }
    static std::string Ler(const std::string& caminho) {
        std::ifstream f(caminho, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
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
