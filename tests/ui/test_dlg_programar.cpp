// The programming page: the box, the log, the buttons and the runs they
// start. Runs here only ever reach loopback addresses.
#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <thread>

#include "apoio/apoio_ui.h"
#include "ui/dlg_programar.h"
#include "ui_dlg_programar.h"

namespace tvx::teste {
namespace {

using namespace std::chrono_literals;

class PaginaProgramar : public TesteUi {
  protected:
    void SetUp() override {
        TesteUi::SetUp();
        // Every address a run may reach is a loopback one; nothing listens on
        // the equipment's port, so a programming run ends at its connection.
        eq.SetModelo(3);
        eq.CarregaInfoModelo();
        eq.SetMeio(kMeioEsteIp);
        eq.SetIpProgramacao("127.0.0.1");
        eq.SetIpNovo("127.0.0.1");
        eq.SetMascaraNova("255.0.0.0");
        eq.SetGatewayNovo("0.0.0.0");
        eq.Configuracao(true);
        w = AbrirAssistente();
        for (int i = 0; i < 3; ++i) {
            w->next();
            Processar();
        }
        ASSERT_EQ(w->currentId(), kPaginaProgramar);
        ASSERT_EQ(eq.GetIpProgramacao(), "127.0.0.1");
        ASSERT_EQ(eq.GetIpNovo(), "127.0.0.1");
        pagina = w->PaginaProgramar();
        ui = &pagina->Controles();
    }
    void TearDown() override {
        w.reset();
        TesteUi::TearDown();
    }
    QString Caixa() const { return ui->ctl1028->toPlainText(); }
    bool RunTerminou() {
        return Aguardar([this] { return !pagina->Trabalho().EmExecucao(0); }, 20s);
    }
    QAbstractButton* Voltar() const { return w->button(QWizard::BackButton); }

    std::unique_ptr<cAssistente> w;
    cDlgProgramar* pagina = nullptr;
    Ui::DlgProgramar* ui = nullptr;
};

TEST_F(PaginaProgramar, BotoesECaixaComoNoModelo) {
    EXPECT_EQ(ui->ctl1000->text(), QString("&Programar"));
    EXPECT_EQ(ui->ctl1001->text(), QString("&Testar"));
    EXPECT_EQ(ui->ctl1002->text(), QString("&Ler"));
    EXPECT_EQ(ui->ctl1003->text(), QString("P&arar"));
    EXPECT_EQ(ui->ctl1004->text(), QString("L&impar"));
    for (QWidget* b : {static_cast<QWidget*>(ui->ctl1000), static_cast<QWidget*>(ui->ctl1001),
                       static_cast<QWidget*>(ui->ctl1002), static_cast<QWidget*>(ui->ctl1003),
                       static_cast<QWidget*>(ui->ctl1004)}) {
        EXPECT_TRUE(b->isVisible()) << b->objectName().toStdString();
    }
    // The network tools are there but never shown.
    EXPECT_EQ(ui->ctl1035->text(), QString("Desligar Firewall"));
    EXPECT_EQ(ui->ctl1036->text(), QString("Ligar Firewall"));
    EXPECT_EQ(ui->ctl1037->text(), QString("Forçar IP Dinâmico"));
    EXPECT_EQ(ui->ctl1038->text(), QString("Forçar IP Fixo"));
    for (QWidget* b : {static_cast<QWidget*>(ui->ctl1035), static_cast<QWidget*>(ui->ctl1036),
                       static_cast<QWidget*>(ui->ctl1037), static_cast<QWidget*>(ui->ctl1038),
                       static_cast<QWidget*>(ui->rotuloFerramentas)}) {
        EXPECT_TRUE(b->isHidden()) << b->objectName().toStdString();
    }
    EXPECT_EQ(ui->rotuloFerramentas->text(),
              QString("Ferramentas de Rede: Use no modo administrador. O IP fixo forçado é o "
                      "192.168.0.100"));
    EXPECT_FALSE(ui->ctl1028->isReadOnly());
    EXPECT_EQ(ui->ctl1028->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(ui->ctl1028->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(ui->ctl1028->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(PaginaProgramar, PararSemExecucaoAcrescentaAsDuasLinhasNaCaixaENoLog) {
    ui->ctl1003->click();
    EXPECT_EQ(Caixa(), QString("\nFinalizando tarefas...\nTarefas finalizadas."));
    EXPECT_EQ(LinhasDoLog(),
              (std::vector<std::string>{"Finalizando tarefas...", "Tarefas finalizadas."}));
    EXPECT_TRUE(Voltar()->isEnabled());
}

TEST_F(PaginaProgramar, LimparEsvaziaSoACaixaEALinhaSeguinteComecaComQuebra) {
    pagina->AdicionaLinha("primeira");
    pagina->AdicionaLinha("segunda");
    EXPECT_EQ(Caixa(), QString("\nprimeira\nsegunda"));
    ui->ctl1004->click();
    EXPECT_EQ(Caixa(), QString(""));
    pagina->AdicionaLinha("terceira");
    EXPECT_EQ(Caixa(), QString("\nterceira"));
    // The box breaks at CR LF alone.
    pagina->AdicionaLinha("um\rdois\r\ntres");
    EXPECT_EQ(Caixa(), QString("\nterceira\numdois\ntres"));
    EXPECT_EQ(LinhasDoLog(), (std::vector<std::string>{"primeira", "segunda", "terceira", "um",
                                                       "<sem data> dois", "<sem data> tres"}));
}

TEST_F(PaginaProgramar, LinhasDeOutraThreadChegamEmOrdemNaCaixaENoLog) {
    const uint32_t mensagem = MensagemIncluirProcesso();
    std::vector<std::string> esperado;
    for (int i = 0; i < 200; ++i) {
        esperado.push_back("Ping recebido de 127.0.0.1 ,Status=0 ,Tempo:" + std::to_string(i) +
                           " ms ,Bytes:32");
    }
    esperado.push_back("IP programado:\r\nIP:127.0.0.1");
    esperado.push_back("Programação finalizada.");
    std::thread trabalhador([&] {
        for (const std::string& linha : esperado) {
            ASSERT_TRUE(PostarTexto(pagina->Receptor(), mensagem, linha));
        }
        // A message under another number is not a progress line.
        pagina->Receptor()->PostarMensagem(mensagem + 1, {"outra mensagem", false});
    });
    trabalhador.join();
    // Nothing arrives before the page's thread processes its events.
    EXPECT_EQ(Caixa(), QString(""));
    Processar();
    QString caixaEsperada;
    for (const std::string& linha : esperado) {
        caixaEsperada += "\n" + QString::fromStdString(linha).replace("\r\n", "\n");
    }
    EXPECT_EQ(Caixa(), caixaEsperada);
    const auto log = LinhasDoLog();
    ASSERT_EQ(log.size(), esperado.size() + 1);  // the line break inside one line
    for (size_t i = 0; i < 200; ++i) {
        EXPECT_EQ(log[i], esperado[i]);
    }
    EXPECT_EQ(log[200], "IP programado:");
    EXPECT_EQ(log[201], "<sem data> IP:127.0.0.1");
    EXPECT_EQ(log[202], "Programação finalizada.");
    // The box shows the newest line.
    EXPECT_EQ(ui->ctl1028->verticalScrollBar()->value(),
              ui->ctl1028->verticalScrollBar()->maximum());
}

TEST_F(PaginaProgramar, LinhasPendentesQuandoAPaginaSomeNaoChegamANada) {
    for (int i = 0; i < 50; ++i) {
        PostarTexto(pagina->Receptor(), MensagemIncluirProcesso(), "pendente");
    }
    w.reset();
    Processar();
    EXPECT_EQ(LinhasDoLog(), std::vector<std::string>{});
}

TEST_F(PaginaProgramar, ProgramarDuasVezesDepressaIniciaUmaSoExecucao) {
    if (!EcoLocalDisponivel()) {
        GTEST_SKIP() << "no ICMP echo to 127.0.0.1 for this user: the run would end at once";
    }
    ui->ctl1000->click();
    ui->ctl1000->click();
    ASSERT_TRUE(RunTerminou());
    Processar(300ms);
    const QStringList linhas = Caixa().split('\n');
    EXPECT_EQ(linhas.count("Programação iniciada..."), 1) << Caixa().toStdString();
    EXPECT_EQ(linhas.count("TVXNetCfg - v19.1.3"), 1);
    const auto log = LinhasDoLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Programação iniciada..."), 1);
}

TEST_F(PaginaProgramar, ConcluirSemProgramacaoBemSucedidaIniciaUmaProgramacao) {
    ASSERT_EQ(pagina->Trabalho().programado, 0);
    w->button(QWizard::FinishButton)->click();
    Processar();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->currentId(), kPaginaProgramar);
    EXPECT_TRUE(caixas.empty());
    ASSERT_TRUE(RunTerminou());
    Processar(300ms);
    const QStringList linhas = Caixa().split('\n');
    ASSERT_GE(linhas.size(), 3);
    EXPECT_EQ(linhas[0], QString(""));
    EXPECT_EQ(linhas[1], QString("TVXNetCfg - v19.1.3"));
    EXPECT_EQ(linhas[2], QString("Programação iniciada..."));
    // The connection fails: nothing was programmed, so Finish runs again.
    EXPECT_EQ(pagina->Trabalho().programado, 0);
    w->button(QWizard::FinishButton)->click();
    ASSERT_TRUE(RunTerminou());
    Processar(300ms);
    EXPECT_EQ(Caixa().split('\n').count("Programação iniciada..."), 2);
    EXPECT_TRUE(caixas.empty());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(PaginaProgramar, ConcluirDepoisDeProgramadoPerguntaESoNoSimFecha) {
    pagina->Trabalho().programado = 1;
    respostaPergunta = RespostaMensagem::Nao;
    w->button(QWizard::FinishButton)->click();
    Processar();
    EXPECT_EQ(caixas, (std::vector<CaixaMostrada>{{IconeMensagem::Pergunta, "Deseja Encerrar?"}}));
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(pagina->Trabalho().EmExecucao(0));
    EXPECT_EQ(Caixa(), QString(""));

    respostaPergunta = RespostaMensagem::Sim;
    w->button(QWizard::FinishButton)->click();
    Processar();
    EXPECT_EQ(caixas.size(), 2u);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Accepted);
}

TEST_F(PaginaProgramar, VoltarFicaDesligadoDuranteAExecucao) {
    if (!EcoLocalDisponivel()) {
        GTEST_SKIP() << "no ICMP echo to 127.0.0.1 for this user: the run would end at once";
    }
    EXPECT_TRUE(Voltar()->isEnabled());
    // The test run echoes the new address 35 times: long enough to look.
    ui->ctl1001->click();
    EXPECT_TRUE(pagina->ExecucaoAtiva());
    EXPECT_FALSE(Voltar()->isEnabled());
    Processar(300ms);
    EXPECT_FALSE(Voltar()->isEnabled());
    EXPECT_TRUE(Caixa().contains("Verificando IP programado...")) << Caixa().toStdString();

    ui->ctl1003->click();
    EXPECT_FALSE(pagina->Trabalho().EmExecucao(0));
    EXPECT_TRUE(Voltar()->isEnabled());
    Processar();
    const QStringList linhas = Caixa().split('\n');
    EXPECT_EQ(linhas.count("Finalizando tarefas..."), 1);
    EXPECT_EQ(linhas.count("Tarefas finalizadas."), 1);
    EXPECT_LT(linhas.indexOf("Verificando IP programado..."),
              linhas.indexOf("Finalizando tarefas..."));
    const auto log = LinhasDoLog();
    EXPECT_EQ(log.front(), "TVXNetCfg - v19.1.3");
    EXPECT_NE(std::find(log.begin(), log.end(), "Tarefas finalizadas."), log.end());

    // A run that ends by itself turns Back on again.
    ui->ctl1000->click();
    EXPECT_FALSE(Voltar()->isEnabled());
    ASSERT_TRUE(RunTerminou());
    EXPECT_TRUE(Aguardar([this] { return Voltar()->isEnabled(); }, 2s));
    w->back();
    Processar();
    EXPECT_EQ(w->currentId(), kPaginaParametros);
}

TEST_F(PaginaProgramar, FecharDuranteUmaExecucaoEsperaPorElaESoltaOEquipamento) {
    ui->ctl1000->click();
    ui->ctl1001->click();
    EXPECT_TRUE(pagina->Trabalho().EmExecucao(0));
    w.reset();
    EXPECT_EQ(eq.janelaProgresso, nullptr);
    Processar();
}

}  // namespace
}  // namespace tvx::teste
