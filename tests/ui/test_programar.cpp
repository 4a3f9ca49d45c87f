// The programming page: the box and the log, its buttons, Back and Finish
// around the runs they start. Its runs reach 127.0.0.1 only, where nothing
// listens on the equipment's port: a programming run ends at its connection.
#include <QScrollBar>
#include <thread>

#include "apoio.h"

namespace tvx::teste {
namespace {

class PaginaProgramar : public TesteUi {
  protected:
    void SetUp() override {
        TesteUi::SetUp();
        eq.SetModelo(3);
        eq.CarregaInfoModelo();
        eq.SetMeio(kMeioEsteIp);
        eq.SetIpProgramacao("127.0.0.1");
        eq.SetIpNovo("127.0.0.1");
        eq.SetMascaraNova("255.0.0.0");
        eq.Configuracao(true);
        Abrir(3);
        ASSERT_EQ(w->currentId(), kPaginaProgramar);
        pagina = w->PaginaProgramar();
        ui = &pagina->Controles();
    }
    QString Caixa() const { return ui->ctl1028->toPlainText(); }
    bool Terminou() {
        return Aguardar([this] { return !pagina->Trabalho().EmExecucao(0); }, 20s);
    }
    QAbstractButton* Botao(QWizard::WizardButton b) const { return w->button(b); }

    cDlgProgramar* pagina = nullptr;
    Ui::DlgProgramar* ui = nullptr;
};

// Lines posted from another thread arrive in order once the page's thread
// takes its events, each in the box and in the log; Clear empties the box
// only, and Stop without a run adds its two lines.
TEST_F(PaginaProgramar, LinhasNaCaixaENoLog) {
    std::vector<std::string> linhas;
    for (int i = 0; i < 200; ++i) {
        linhas.push_back("Ping recebido de 127.0.0.1 ,Status=0 ,Tempo:" + std::to_string(i) +
                         " ms ,Bytes:32");
    }
    linhas.push_back("IP programado:\r\nIP:127.0.0.1\r5");
    std::thread trabalhador([&] {
        for (const std::string& linha : linhas) {
            PostarTexto(pagina->Receptor(), MensagemIncluirProcesso(), linha);
        }
        // A message under another number is not a progress line.
        pagina->Receptor()->PostarMensagem(MensagemIncluirProcesso() + 1, {"outra", false});
    });
    trabalhador.join();
    EXPECT_EQ(Caixa(), QString(""));
    Processar();
    std::string esperado;
    for (const std::string& linha : linhas) {
        esperado += "\n" + linha;
    }
    // The box breaks at CR LF alone; the log at a lone CR too.
    std::erase(esperado, '\r');
    EXPECT_EQ(Caixa().toStdString(), esperado);
    std::string noLog = esperado.substr(1);
    noLog.replace(noLog.rfind(".15"), 3, ".1\n5");
    EXPECT_EQ(ui->ctl1028->verticalScrollBar()->value(),
              ui->ctl1028->verticalScrollBar()->maximum())
        << "the box shows the newest line";
    ui->ctl1004->click();
    EXPECT_EQ(Caixa(), QString(""));
    ui->ctl1003->click();
    EXPECT_EQ(Caixa(), QString("\nFinalizando tarefas...\nTarefas finalizadas."));
    const LogLido log = Log();
    EXPECT_EQ(log.texto, noLog + "\nFinalizando tarefas...\nTarefas finalizadas.\n");
    EXPECT_EQ(log.mensagens, linhas.size() + 2) << "a line with a break is one message";
    EXPECT_TRUE(log.crlf);
}

// Finish before anything was programmed starts a programming run; once
// something was, it asks, and only Yes closes the wizard.
TEST_F(PaginaProgramar, ConcluirProgramaOuPergunta) {
    Botao(QWizard::FinishButton)->click();
    ASSERT_TRUE(Terminou());
    Processar(300ms);
    EXPECT_TRUE(Caixa().startsWith("\nTVXNetCfg - v19.1.3\nProgramação iniciada...\n"))
        << Caixa().toStdString();
    EXPECT_TRUE(caixas.empty());
    EXPECT_EQ(pagina->Trabalho().programado, 0);

    pagina->Trabalho().programado = 1;
    ui->ctl1004->click();
    Botao(QWizard::FinishButton)->click();
    Processar();
    EXPECT_EQ(caixas, (Caixas{{IconeMensagem::Pergunta, "Deseja Encerrar?"}}));
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(pagina->Trabalho().EmExecucao(0));
    EXPECT_EQ(Caixa(), QString(""));
    resposta = RespostaMensagem::Sim;
    Botao(QWizard::FinishButton)->click();
    Processar();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Accepted);
}

// Back stays off while a run uses the equipment object; Stop ends the run;
// closing the page during a run waits for it and lets go of the object.
TEST_F(PaginaProgramar, VoltarDesligadoDuranteAExecucao) {
    RespostaEco eco;
    if (!Pingar(TextoParaIp("127.0.0.1"), eco, 32, 1000)) {
        GTEST_SKIP() << "no ICMP echo to 127.0.0.1 for this user: the runs would end at once";
    }
    // The test run echoes the new address 35 times: long enough to look.
    ui->ctl1001->click();
    EXPECT_FALSE(Botao(QWizard::BackButton)->isEnabled());
    Processar(300ms);
    EXPECT_FALSE(Botao(QWizard::BackButton)->isEnabled());
    EXPECT_TRUE(Caixa().contains("Verificando IP programado...")) << Caixa().toStdString();
    ui->ctl1003->click();
    EXPECT_FALSE(pagina->Trabalho().EmExecucao(0));
    EXPECT_TRUE(Botao(QWizard::BackButton)->isEnabled());
    Processar();
    EXPECT_EQ(Caixa().count("\nFinalizando tarefas...\nTarefas finalizadas.\n"), 1)
        << Caixa().toStdString();

    // Program twice at once: one run; it turns Back on again when it ends.
    ui->ctl1000->click();
    ui->ctl1000->click();
    EXPECT_FALSE(Botao(QWizard::BackButton)->isEnabled());
    ASSERT_TRUE(Terminou());
    EXPECT_TRUE(Aguardar([this] { return Botao(QWizard::BackButton)->isEnabled(); }, 2s));
    EXPECT_EQ(Caixa().count("Programação iniciada..."), 1);

    ui->ctl1001->click();
    ASSERT_TRUE(pagina->Trabalho().EmExecucao(0));
    PostarTexto(pagina->Receptor(), MensagemIncluirProcesso(), "pendente");
    w.reset();
    EXPECT_EQ(eq.janelaProgresso, nullptr);
    Processar();
    EXPECT_EQ(Log().texto.find("pendente"), std::string::npos) << "a page gone gets nothing";
}

}  // namespace
}  // namespace tvx::teste
