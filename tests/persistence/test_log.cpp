#include "persistence/log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "pasta_temporaria.h"

namespace tvx {
namespace {

constexpr const char* kPrefixo = "05/12/2026\t14:03:09\t";
constexpr const char* kBackup = "05122026-140309_tvxnetcfg.log";

class Log : public teste::PastaTemporaria {
  protected:
    void SetUp() override {
        PastaTemporaria::SetUp();
        EXPECT_EQ(log_.Arquivo(), "cLog.log");
        log_.relogio = [] { return Relogio{5, 12, 2026, 14, 3, 9}; };
        log_.DefinirArquivo(Caminho("tvxnetcfg.log"));
    }
    std::string Log_() const { return Ler(Caminho("tvxnetcfg.log")); }
    // A log of exactly tamanho bytes, made of recognisable lines.
    std::string Encher(long tamanho, char marca, const std::string& nome = "tvxnetcfg.log") {
        std::string bytes(static_cast<size_t>(tamanho), marca);
        for (size_t i = 99; i < bytes.size(); i += 100) {
            bytes[i - 1] = '\r';
            bytes[i] = '\n';
        }
        Escrever(Caminho(nome), bytes);
        return bytes;
    }

    cLog log_;
};

TEST_F(Log, LinhasComDataHoraTabulacoesECrLf) {
    ASSERT_TRUE(log_.Escrever("Programação iniciada..."));
    ASSERT_TRUE(log_.Escrever("IP: 10.0.0.1\r\nMASK: 255.0.0.0\nGW: 10.0.0.254"));
    log_.relogio = [] { return Relogio{1, 2, 2027, 0, 0, 5}; };
    ASSERT_TRUE(log_.Escrever(""));
    EXPECT_EQ(Log_(), std::string(kPrefixo) + "Programa\xE7\xE3o iniciada...\r\n" + kPrefixo +
                          "IP: 10.0.0.1\r\nMASK: 255.0.0.0\r\nGW: 10.0.0.254\r\n"
                          "01/02/2027\t00:00:05\t\r\n");
}

TEST_F(Log, NoLimiteGiraParaOBackupSemPerderNada) {
    // One byte below the limit still appends; the next line rotates.
    const std::string quase = Encher(kLimiteLog - 1, 'b');
    ASSERT_TRUE(log_.Escrever("um"));
    EXPECT_FALSE(std::filesystem::exists(Caminho(kBackup)));
    ASSERT_TRUE(log_.Escrever("dois"));
    EXPECT_EQ(Ler(Caminho(kBackup)), quase + kPrefixo + "um\r\n");
    EXPECT_EQ(Log_(), std::string(kPrefixo) + "dois\r\n");
    // Further rotations in the same second take numbered names.
    const std::string segundo = Encher(kLimiteLog, 'c');
    ASSERT_TRUE(log_.Escrever("3"));
    const std::string terceiro = Encher(kLimiteLog, 'd');
    ASSERT_TRUE(log_.Escrever("4"));
    EXPECT_EQ(Ler(Caminho("05122026-140309-2_tvxnetcfg.log")), segundo);
    EXPECT_EQ(Ler(Caminho("05122026-140309-3_tvxnetcfg.log")), terceiro);
    EXPECT_EQ(Log_(), std::string(kPrefixo) + "4\r\n");
    EXPECT_EQ(Nomes(pasta_).size(), 4u);
    // With no free name left it goes on in the same file.
    for (int n = 4; n <= 999; ++n) {
        Escrever(Caminho("05122026-140309-" + std::to_string(n) + "_tvxnetcfg.log"), "velho");
    }
    const std::string cheio = Encher(kLimiteLog, 'a');
    ASSERT_TRUE(log_.Escrever("não se perde"));
    EXPECT_EQ(Log_(), cheio + kPrefixo + "n\xE3o se perde\r\n");
}

TEST_F(Log, BackupAoLadoDoLogEmOutraPastaELocalSemEscrita) {
    std::filesystem::create_directory(Caminho("logs"));
    log_.DefinirArquivo(Caminho("logs/tvxnetcfg.log"));
    const std::string cheio = Encher(kLimiteLog, 'z', "logs/tvxnetcfg.log");
    ASSERT_TRUE(log_.Escrever("x"));
    EXPECT_EQ(Ler(Caminho(std::string("logs/") + kBackup)), cheio);
    EXPECT_EQ(Ler(Caminho("logs/tvxnetcfg.log")), std::string(kPrefixo) + "x\r\n");

    log_.DefinirArquivo(Caminho("nao_existe/tvxnetcfg.log"));
    EXPECT_FALSE(log_.Escrever("x"));
    log_.DefinirArquivo(Caminho("logs"));  // a folder by the log's name
    EXPECT_FALSE(log_.Escrever("x"));
    log_.DefinirArquivo("");  // no name: nothing written, and that is fine
    EXPECT_TRUE(log_.Escrever("x"));
    EXPECT_EQ(Nomes(pasta_), std::set<std::string>{"logs"});
}

}  // namespace
}  // namespace tvx
