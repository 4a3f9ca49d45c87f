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
        log_.relogio = [] { return Relogio{5, 12, 2026, 14, 3, 9}; };
        log_.DefinirArquivo(Caminho("tvxnetcfg.log"));
    }
    std::string Log_() const { return Ler(Caminho("tvxnetcfg.log")); }
    // A log of exactly tamanho bytes, made of recognisable lines.
    void Encher(long tamanho, char marca) {
        std::string bytes(static_cast<size_t>(tamanho), marca);
        for (size_t i = 99; i < bytes.size(); i += 100) {
            bytes[i - 1] = '\r';
            bytes[i] = '\n';
        }
        Escrever(Caminho("tvxnetcfg.log"), bytes);
    }

    cLog log_;
};

TEST_F(Log, LinhaComDataHoraTabulacoesECrLf) {
    ASSERT_TRUE(log_.Escrever("Programação iniciada..."));
    ASSERT_TRUE(log_.Escrever("OK"));
    EXPECT_EQ(Log_(),
              std::string(kPrefixo) + "Programa\xE7\xE3o iniciada...\r\n" + kPrefixo + "OK\r\n");
}

TEST_F(Log, DataComZerosAEsquerdaDiaPrimeiro) {
    log_.relogio = [] { return Relogio{1, 2, 2027, 0, 0, 5}; };
    ASSERT_TRUE(log_.Escrever(""));
    EXPECT_EQ(Log_(), "01/02/2027\t00:00:05\t\r\n");
}

TEST_F(Log, MensagemDeVariasLinhasSoAPrimeiraComData) {
    // The lines after the first start in the text's column: none starts with text.
    ASSERT_TRUE(log_.Escrever("IP: 10.0.0.1\r\nMASK: 255.0.0.0\nGW: 10.0.0.254\r5"));
    EXPECT_EQ(Log_(), std::string(kPrefixo) +
                          "IP: 10.0.0.1\r\n\t\tMASK: 255.0.0.0\r\n\t\tGW: 10.0.0.254\r\n\t\t5\r\n");
}

TEST_F(Log, AosLimiteGiraParaOBackupEComecaNovo) {
    Encher(kLimiteLog, 'a');
    const std::string cheio = Log_();
    ASSERT_TRUE(log_.Escrever("Tarefas finalizadas."));
    EXPECT_EQ(Ler(Caminho(kBackup)), cheio);
    EXPECT_EQ(Log_(), std::string(kPrefixo) + "Tarefas finalizadas.\r\n");
}

TEST_F(Log, UmByteAbaixoDoLimiteAindaAnexaEAProximaGira) {
    Encher(kLimiteLog - 1, 'b');
    ASSERT_TRUE(log_.Escrever("um"));
    EXPECT_FALSE(std::filesystem::exists(Caminho(kBackup)));
    const std::string acima = Log_();
    EXPECT_EQ(acima.size(), static_cast<size_t>(kLimiteLog - 1) + 20 + 4);
    ASSERT_TRUE(log_.Escrever("dois"));
    EXPECT_EQ(Ler(Caminho(kBackup)), acima);
    EXPECT_EQ(Log_(), std::string(kPrefixo) + "dois\r\n");
}

TEST_F(Log, DuasRotacoesNoMesmoSegundoNaoPerdemNada) {
    Encher(kLimiteLog, 'a');
    const std::string primeiro = Log_();
    ASSERT_TRUE(log_.Escrever("1"));
    Encher(kLimiteLog, 'b');
    const std::string segundo = Log_();
    ASSERT_TRUE(log_.Escrever("2"));
    Encher(kLimiteLog, 'c');
    const std::string terceiro = Log_();
    ASSERT_TRUE(log_.Escrever("3"));

    EXPECT_EQ(Ler(Caminho(kBackup)), primeiro);
    EXPECT_EQ(Ler(Caminho("05122026-140309-2_tvxnetcfg.log")), segundo);
    EXPECT_EQ(Ler(Caminho("05122026-140309-3_tvxnetcfg.log")), terceiro);
    EXPECT_EQ(Log_(), std::string(kPrefixo) + "3\r\n");
    EXPECT_EQ(Nomes(pasta_).size(), 4u);
}

TEST_F(Log, SemNomeDeBackupLivreContinuaNoMesmoArquivo) {
    Escrever(Caminho(kBackup), "velho");
    for (int n = 2; n <= 999; ++n) {
        Escrever(Caminho("05122026-140309-" + std::to_string(n) + "_tvxnetcfg.log"), "velho");
    }
    Encher(kLimiteLog, 'a');
    const std::string cheio = Log_();
    ASSERT_TRUE(log_.Escrever("não se perde"));
    EXPECT_EQ(Log_(), cheio + kPrefixo + "n\xE3o se perde\r\n");
    EXPECT_EQ(Ler(Caminho(kBackup)), "velho");
}

TEST_F(Log, BackupAoLadoDeUmLogEmOutraPasta) {
    std::filesystem::create_directory(Caminho("logs"));
    log_.DefinirArquivo(Caminho("logs/tvxnetcfg.log"));
    Escrever(Caminho("logs/tvxnetcfg.log"), std::string(static_cast<size_t>(kLimiteLog), 'z'));
    ASSERT_TRUE(log_.Escrever("x"));
    EXPECT_EQ(Ler(Caminho(std::string("logs/") + kBackup)).size(), static_cast<size_t>(kLimiteLog));
    EXPECT_EQ(Ler(Caminho("logs/tvxnetcfg.log")), std::string(kPrefixo) + "x\r\n");
}

TEST_F(Log, LocalSemEscritaDevolveFalso) {
    log_.DefinirArquivo(Caminho("nao_existe/tvxnetcfg.log"));
    EXPECT_FALSE(log_.Escrever("x"));
    // A folder by the log's name.
    std::filesystem::create_directory(Caminho("pasta.log"));
    log_.DefinirArquivo(Caminho("pasta.log"));
    EXPECT_FALSE(log_.Escrever("x"));
    EXPECT_EQ(Nomes(pasta_), std::set<std::string>{"pasta.log"});
}

TEST_F(Log, NomeVazioNaoEscreveEDevolveVerdadeiro) {
    log_.DefinirArquivo("");
    EXPECT_TRUE(log_.Escrever("x"));
    EXPECT_TRUE(Nomes(pasta_).empty());
}

TEST(LogConstrucao, NomePadrao) {
    cLog log;
    EXPECT_EQ(log.Arquivo(), "cLog.log");
    log.DefinirArquivo("tvxnetcfg.log");
    EXPECT_EQ(log.Arquivo(), "tvxnetcfg.log");
}

}  // namespace
}  // namespace tvx
