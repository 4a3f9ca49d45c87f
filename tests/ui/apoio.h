#pragma once
// What the widget tests share: a fresh working directory per test, the
// equipment object as a first start leaves it, message boxes and the file
// dialog answered and recorded, the grid of page 3 driven as the technician
// drives it, and readers for the files the wizard writes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <sstream>

#include "core/utilitarios.h"
#include "support/log_lido.h"
#include "ui/aplicacao.h"
#include "ui/campo_ip.h"
#include "ui/dlg_ip_ms_gw.h"
#include "ui/dlg_meio_comunicacao.h"
#include "ui/dlg_modelo.h"
#include "ui/dlg_programar.h"
#include "ui/edicao_mascarada.h"
#include "ui/lista_propriedades.h"
#include "ui/mensagens.h"
#include "ui_dlg_meio_comunicacao.h"
#include "ui_dlg_modelo.h"
#include "ui_dlg_programar.h"

namespace tvx::teste {

using namespace std::chrono_literals;

struct CaixaMostrada {
    IconeMensagem icone;
    QString texto;
    bool operator==(const CaixaMostrada&) const = default;
};
inline void PrintTo(const CaixaMostrada& caixa, std::ostream* saida) {
    *saida << static_cast<int>(caixa.icone) << ": \"" << caixa.texto.toStdString() << '"';
}
using Caixas = std::vector<CaixaMostrada>;

class TesteUi : public ::testing::Test {
  protected:
    void SetUp() override {
        anterior_ = std::filesystem::current_path();
        char modelo[] = "/tmp/tvx-ui-XXXXXX";
        ASSERT_NE(mkdtemp(modelo), nullptr);
        pasta = modelo;
        std::filesystem::current_path(pasta);
        eq.caminhoConfiguracao.clear();
        eq.janelaProgresso = nullptr;
        eq.infoModelo = InfoModelo{};
        eq.Configuracao(false);
        eq.CarregaInfoModelo();
        mensagem_ = DefinirFuncaoMensagem([this](QWidget*, IconeMensagem icone, const QString& t) {
            caixas.push_back({icone, t});
            return icone == IconeMensagem::Pergunta ? resposta : RespostaMensagem::Ok;
        });
        arquivo_ = DefinirFuncaoAbrirArquivo(
            [this](QWidget*, const QString& titulo, const QString& pasta_, const QString& filtro) {
                dialogos.push_back(titulo + "|" + pasta_ + "|" + filtro);
                return arquivoEscolhido;
            });
    }
    void TearDown() override {
        w.reset();
        Processar();
        DefinirFuncaoMensagem(mensagem_);
        DefinirFuncaoAbrirArquivo(arquivo_);
        eq.caminhoConfiguracao.clear();
        eq.janelaProgresso = nullptr;
        std::filesystem::current_path(anterior_);
        std::filesystem::remove_all(pasta);
    }

    // The wizard on the global equipment object, shown, moved on n pages.
    void Abrir(int paginas = 0) {
        w = std::make_unique<cAssistente>(eq);
        w->show();
        Processar();
        for (int i = 0; i < paginas; ++i) {
            Avancar();
        }
    }
    void Avancar() {
        w->next();
        Processar();
    }
    void Voltar() {
        w->back();
        Processar();
    }
    static void Processar(std::chrono::milliseconds tempo = 0ms) {
        QApplication::processEvents();
        QTest::qWait(static_cast<int>(tempo.count()));
        QApplication::processEvents();
    }
    // Processes events until cond holds or the time is up; the result of cond.
    static bool Aguardar(const std::function<bool()>& cond, std::chrono::milliseconds limite) {
        QElapsedTimer relogio;
        relogio.start();
        while (!cond() && relogio.elapsed() < limite.count()) {
            QTest::qWait(20);
        }
        return cond();
    }

    // The value of secao/chave in the wizard's configuration file, or "<ausente>".
    std::string Ini(const std::string& secao, const std::string& chave,
                    const std::filesystem::path& arquivo = "tvxnetcfg.ini") const {
        std::istringstream texto(LerArquivo((pasta / arquivo).string()));
        std::string atual;
        for (std::string linha; std::getline(texto, linha);) {
            linha.erase(linha.find_last_not_of('\r') + 1);
            if (linha.starts_with('[')) {
                atual = linha.substr(1, linha.size() - 2);
            } else if (atual == secao && linha.starts_with(chave + "=")) {
                return linha.substr(chave.size() + 1);
            }
        }
        return "<ausente>";
    }
    // The log's lines as the page showed them, without their time stamps.
    LogLido Log() const { return LerLog(LerArquivo((pasta / "tvxnetcfg.log").string())); }

    // The grid of page 3: a click on the row opens its editor.
    void Editar(const char* rotulo) {
        cDlgIpMsGw* p = w->PaginaParametros();
        const auto indice = p->Linhas().Procurar(rotulo);
        ASSERT_TRUE(indice.has_value()) << rotulo;
        p->Lista().Selecionar(*indice);
        Processar();
        ASSERT_NE(p->Lista().EditorVisivel(), nullptr) << rotulo;
    }
    void Marcar(const char* rotulo) {
        ASSERT_NO_FATAL_FAILURE(Editar(rotulo));
        w->PaginaParametros()->Lista().Check()->click();
        ASSERT_TRUE(w->PaginaParametros()->Linhas().GetCheck(rotulo)) << rotulo;
    }
    void Digitar(const char* rotulo, const char* texto) {
        ASSERT_NO_FATAL_FAILURE(Editar(rotulo));
        cPropertyList& lista = w->PaginaParametros()->Lista();
        if (lista.EditorVisivel() == lista.CampoIp()) {
            lista.CampoIp()->definirTexto(texto);
            return;
        }
        ASSERT_EQ(lista.EditorVisivel(), lista.Texto()) << rotulo;
        lista.Texto()->selectAll();
        QTest::keyClicks(lista.Texto(), texto);
    }
    void Escolher(const char* rotulo, const char* entrada) {
        ASSERT_NO_FATAL_FAILURE(Editar(rotulo));
        QComboBox* lista = w->PaginaParametros()->Lista().Lista();
        ASSERT_EQ(w->PaginaParametros()->Lista().EditorVisivel(), lista) << rotulo;
        const int indice = lista->findText(QString::fromUtf8(entrada));
        ASSERT_GE(indice, 0) << entrada;
        lista->setCurrentIndex(indice);
    }

    cEquipamento& eq = EquipamentoGlobal();
    std::unique_ptr<cAssistente> w;
    std::filesystem::path pasta;
    Caixas caixas;
    std::vector<QString> dialogos;  // title|folder|filter of each file dialog
    RespostaMensagem resposta = RespostaMensagem::Nao;
    QString arquivoEscolhido;  // what the file dialog answers; empty = Cancel

  private:
    std::filesystem::path anterior_;
    FuncaoMensagem mensagem_;
    FuncaoAbrirArquivo arquivo_;
};

}  // namespace tvx::teste
