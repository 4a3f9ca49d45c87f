#pragma once
// What the widget tests share: a fresh working directory per test, the
// equipment object as a first start leaves it, message boxes and the file
// dialog answered and recorded, and readers for the files the wizard writes.
#include <gtest/gtest.h>

#include <QString>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/equipamento.h"
#include "ui/aplicacao.h"
#include "ui/mensagens.h"

namespace tvx::teste {

struct CaixaMostrada {
    IconeMensagem icone;
    QString texto;
    bool operator==(const CaixaMostrada& outra) const {
        return icone == outra.icone && texto == outra.texto;
    }
};
void PrintTo(const CaixaMostrada& caixa, std::ostream* saida);

struct DialogoAberto {
    QString titulo;
    QString pasta;
    QString filtro;
};

// Drops the offscreen platform's notice about size hints, printed for every
// window it sizes; everything else Qt says still shows.
void FiltrarMensagensDoQt();

// Whether this process can send an ICMP echo to 127.0.0.1 (root, or a user
// the ping group range admits). Runs that must last a while need it.
bool EcoLocalDisponivel();

class TesteUi : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A wizard on the global equipment object, shown and with its first page up.
    std::unique_ptr<cAssistente> AbrirAssistente();
    static void Processar(std::chrono::milliseconds tempo = std::chrono::milliseconds(0));
    // Processes events until cond holds or the time is up; the result of cond.
    static bool Aguardar(const std::function<bool()>& cond, std::chrono::milliseconds limite);

    // The value of section/key in an INI file, or "<ausente>".
    std::string ValorIni(const std::filesystem::path& caminho, const std::string& secao,
                         const std::string& chave) const;
    // The texts of the log's lines without their time stamp, as UTF-8; a line
    // without a well-formed stamp is returned as "<sem data> " and the line.
    std::vector<std::string> LinhasDoLog() const;

    cEquipamento& eq = EquipamentoGlobal();
    std::filesystem::path pasta;
    std::vector<CaixaMostrada> caixas;
    std::vector<DialogoAberto> dialogos;
    RespostaMensagem respostaPergunta = RespostaMensagem::Nao;
    QString arquivoEscolhido;  // what the file dialog answers; empty = Cancel

  private:
    std::filesystem::path anterior_;
    FuncaoMensagem mensagemAnterior_;
    FuncaoAbrirArquivo arquivoAnterior_;
};

}  // namespace tvx::teste
