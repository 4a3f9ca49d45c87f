// The wizard's first three pages as the technician meets them: titles and
// buttons, what each Next saves, the pages' refusals, the configuration file
// chosen on page 1 and the grid of page 3; and the real message box.
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <fstream>

#include "apoio.h"
#include "core/registros.h"

namespace tvx::teste {
namespace {

using Assistente = TesteUi;

// The visible buttons of the wizard, "(off)" after one that cannot be pressed.
QString Botoes(QWizard& w) {
    QStringList botoes;
    for (auto b : {QWizard::BackButton, QWizard::NextButton, QWizard::FinishButton,
                   QWizard::CancelButton, QWizard::HelpButton}) {
        if (w.button(b)->isVisible()) {
            botoes << w.buttonText(b) + (w.button(b)->isEnabled() ? "" : "(off)");
        }
    }
    return botoes.join(" | ");
}

void EscolherModelo(cAssistente& w, uint32_t modelo) {
    QComboBox* lista = w.PaginaModelo()->Controles().ctl1012;
    const int posicao = lista->findData(modelo);
    lista->setCurrentIndex(posicao);
    emit lista->activated(posicao);
}

TEST_F(Assistente, PrimeiroInicioPercorreAsQuatroPaginas) {
    Abrir();
    EXPECT_EQ(w->windowTitle(), QString("TVXNetCfg - v19.1.3 - Escolha do modelo"));
    EXPECT_EQ(Botoes(*w), QString("< &Voltar(off) | &Avançar > | Cancelar"));
    auto& modelo = w->PaginaModelo()->Controles();
    EXPECT_EQ(modelo.ctl1012->currentText(), QString("TVX2201U - Gateway Universal"));
    // The list is alphabetical: a choice is the catalogue's index, not the position.
    const QString instrucoes = modelo.ctl1015->text();
    EscolherModelo(*w, 2);
    EXPECT_EQ(eq.GetModelo(), 2u);
    EXPECT_NE(modelo.ctl1015->text(), instrucoes);
    EXPECT_FALSE(std::filesystem::exists(pasta / "tvxnetcfg.ini"));

    Avancar();
    EXPECT_EQ(Ini("CONFIG", "modelo"), "2");
    EXPECT_EQ(w->windowTitle(), QString("TVXNetCfg - v19.1.3 - Escolha do meio de comunicação"));
    EXPECT_EQ(Botoes(*w), QString("< &Voltar | &Avançar > | Cancelar"));
    auto& meio = w->PaginaMeio()->Controles();
    EXPECT_TRUE(meio.ctl1017->isChecked());
    EXPECT_EQ(meio.ctl1017->text(), QString("IP Default (192.168.0.101)"));
    EXPECT_EQ(meio.ctl1021->currentText(), QString("38400"));
    meio.ctl1018->click();
    EXPECT_TRUE(meio.ctl1003->isVisible());
    meio.ctl1003->definirTexto("127.0.0.5");
    Avancar();
    EXPECT_EQ(w->windowTitle(), QString("TVXNetCfg - v19.1.3 - Configuração"));
    EXPECT_EQ(Ini("MEIO", "tipo"), "1");
    EXPECT_EQ(Ini("MEIO", "ip"), "127.0.0.5");

    // Back and Next again: the second commit is the one saved.
    Voltar();
    EXPECT_TRUE(meio.ctl1018->isChecked());
    EXPECT_EQ(meio.ctl1003->texto(), QString("127.0.0.5"));
    meio.ctl1003->definirTexto("127.0.0.6");
    meio.ctl1022->setCurrentIndex(17);
    Avancar();
    EXPECT_EQ(Ini("MEIO", "ip"), "127.0.0.6");
    EXPECT_EQ(Ini("MEIO", "rtu"), "17");

    // A first start has no new address to send: one is typed.
    cPropertyRows& linhas = w->PaginaParametros()->Linhas();
    linhas.EditarEndereco(*linhas.Procurar("IP"), "10.0.0.5");
    linhas.EditarEndereco(*linhas.Procurar("Máscara"), "255.255.255.0");
    Avancar();
    EXPECT_EQ(w->windowTitle(), QString("TVXNetCfg - v19.1.3 - Programação"));
    EXPECT_EQ(Botoes(*w), QString("< &Voltar | &Concluir | Cancelar"));
    EXPECT_TRUE(caixas.empty());
}

// Model 0 and a medium that is none of the three in the file: page 1 says so;
// page 2 marks nothing and refuses Next without saving. The web unit offers
// its serial line alone, without rate or RTU.
TEST_F(Assistente, RecusasDasPaginas1E2) {
    std::ofstream(pasta / "tvxnetcfg.ini") << "[CONFIG]\r\nmodelo=0\r\n[MEIO]\r\ntipo=7\r\n";
    eq.Configuracao(false);
    Abrir();
    EXPECT_EQ(w->PaginaModelo()->Controles().ctl1012->currentIndex(), -1);
    EXPECT_EQ(caixas, (Caixas{{IconeMensagem::Erro, "Selecione um equipamento"}}));
    EscolherModelo(*w, 25);
    Avancar();
    auto& meio = w->PaginaMeio()->Controles();
    for (QRadioButton* r : {meio.ctl1017, meio.ctl1018, meio.ctl1019}) {
        EXPECT_FALSE(r->isChecked());
        EXPECT_EQ(r->isVisible(), r == meio.ctl1019);
    }
    std::filesystem::remove(pasta / "tvxnetcfg.ini");
    Avancar();
    EXPECT_EQ(w->currentId(), kPaginaMeio);
    EXPECT_EQ(caixas.back(),
              (CaixaMostrada{IconeMensagem::Erro, "Selecione um meio de comunicação."}));
    EXPECT_FALSE(std::filesystem::exists(pasta / "tvxnetcfg.ini"));
    meio.ctl1019->click();
    EXPECT_TRUE(meio.ctl1020->isVisible());
    EXPECT_FALSE(meio.ctl1021->isVisible());
    EXPECT_FALSE(meio.ctl1022->isVisible());
    Avancar();
    EXPECT_EQ(w->currentId(), kPaginaParametros);
    EXPECT_EQ(Ini("MEIO", "tipo"), "2");
    EXPECT_EQ(Ini("MEIO", "rtu"), "0");
}

// "Ler Configuração": a cancelled dialog changes nothing; a chosen file
// becomes the file the next Next saves into, and the pages show what it
// holds only when shown again.
TEST_F(Assistente, ArquivoEscolhidoNaPagina1) {
    eq.SetModelo(3);
    Abrir();
    auto& modelo = w->PaginaModelo()->Controles();
    modelo.ctl1030->click();
    EXPECT_EQ(dialogos, (std::vector<QString>{"Configuração de IP|" + QDir::currentPath() +
                                              "|Todas as configurações de IP (*.ini)"}));
    EXPECT_EQ(eq.caminhoConfiguracao, "");
    EXPECT_EQ(eq.GetModelo(), 3u);

    std::filesystem::create_directory(pasta / "salvas");
    const auto escolhido = pasta / "salvas" / "cliente.ini";
    std::ofstream(escolhido) << "[CONFIG]\r\nmodelo=21\r\nip=10.9.9.9\r\n[MEIO]\r\ntipo=2\r\n"
                                "velocidade=4800\r\nrtu=5\r\n";
    arquivoEscolhido = QString::fromStdString(escolhido.string());
    modelo.ctl1030->click();
    EXPECT_EQ(eq.GetModelo(), 21u);
    EXPECT_EQ(eq.GetIpNovo(), "10.9.9.9");
    EXPECT_EQ(modelo.ctl1012->currentText(), QString("TVX5150S"));
    Avancar();
    EXPECT_EQ(Ini("CONFIG", "modelo", escolhido), "21");
    EXPECT_FALSE(std::filesystem::exists(pasta / "tvxnetcfg.ini"));
    // Model 21 has no serial line: page 2 falls back to the factory address.
    EXPECT_TRUE(w->PaginaMeio()->Controles().ctl1017->isChecked());
    Voltar();
    EXPECT_EQ(modelo.ctl1012->currentText(), QString("TVX2700 - GWTX940"));
}

// Back throws the grid's edits away; a new gateway function brings its own
// rows at once; a refused Next keeps the page and its edits.
TEST_F(Assistente, GradeDaPagina3) {
    eq.registroGatewayUniversal[kGuFuncao] = 255;
    eq.SetModelo(1);
    eq.SetIpNovo("127.0.0.5");
    eq.SetMascaraNova("255.0.0.0");
    Abrir(2);
    cDlgIpMsGw* p = w->PaginaParametros();
    Digitar("IP", "127.0.0.42");
    EXPECT_EQ(p->Linhas().GetText("IP"), "127.0.0.42");
    Voltar();
    Avancar();
    EXPECT_EQ(p->Linhas().GetText("IP"), "127.0.0.5");
    EXPECT_EQ(eq.GetIpNovo(), "127.0.0.5");

    EXPECT_FALSE(p->Linhas().Procurar("IP do Gateway RX").has_value());
    Escolher("Função Gateway Universal", "Gateway TX940");
    Processar();
    EXPECT_EQ(eq.registroGatewayUniversal[kGuFuncao], 85);
    EXPECT_EQ(p->Lista().EditorVisivel(), nullptr) << "its row is gone";
    Digitar("IP do Gateway RX", "0.0.0.0");
    Digitar("RTU do TVX940", "5");
    Avancar();
    EXPECT_EQ(caixas, (Caixas{{IconeMensagem::Erro, "IP do Gateway RX inválido"}}));
    EXPECT_EQ(w->currentId(), kPaginaParametros);
    EXPECT_EQ(p->Linhas().GetText("RTU do TVX940"), "5");
    Digitar("IP do Gateway RX", "127.0.0.9");
    Avancar();
    EXPECT_EQ(w->currentId(), kPaginaProgramar);
    EXPECT_EQ(eq.registroGatewayUniversal[kGuRtu1], 5);
}

TEST_F(Assistente, CaixaRealTemTituloIconeESimNao) {
    DefinirFuncaoMensagem({});
    QWidget dono;
    QStringList vista;
    QTimer::singleShot(0, [&] {
        auto* caixa = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(caixa, nullptr);
        vista << caixa->windowTitle() << caixa->text() << caixa->button(QMessageBox::Yes)->text()
              << caixa->button(QMessageBox::No)->text();
        EXPECT_EQ(caixa->icon(), QMessageBox::Question);
        EXPECT_TRUE(caixa->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        caixa->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(MostrarMensagem(&dono, IconeMensagem::Pergunta, "Deseja Encerrar?"),
              RespostaMensagem::Nao);
    EXPECT_EQ(vista, (QStringList{"TVXNetCfg", "Deseja Encerrar?", "&Sim", "&Não"}));
    QTimer::singleShot(0, [&] {
        auto* caixa = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(caixa, nullptr);
        EXPECT_EQ(caixa->icon(), QMessageBox::Critical);
        caixa->accept();
    });
    cAvisosQt(&dono).Mostrar(TipoAviso::Erro, "Selecione um equipamento");
}

}  // namespace
}  // namespace tvx::teste
