// The wizard as a whole: first start, page order, titles, buttons, and the
// saves on each Next.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>
#include <fstream>

#include "apoio/apoio_ui.h"
#include "ui/campo_ip.h"
#include "ui/dlg_meio_comunicacao.h"
#include "ui/dlg_modelo.h"
#include "ui_dlg_meio_comunicacao.h"
#include "ui_dlg_modelo.h"

namespace tvx::teste {
namespace {

using Assistente = TesteUi;

// What the wizard offers on its active page: the visible buttons and which of
// them can be pressed.
std::string Botoes(QWizard& w) {
    std::string texto;
    const std::pair<QWizard::WizardButton, const char*> botoes[] = {
        {QWizard::BackButton, "Voltar"},     {QWizard::NextButton, "Avancar"},
        {QWizard::FinishButton, "Concluir"}, {QWizard::CancelButton, "Cancelar"},
        {QWizard::HelpButton, "Ajuda"},
    };
    for (const auto& [botao, nome] : botoes) {
        QAbstractButton* b = w.button(botao);
        if (b != nullptr && b->isVisible()) {
            texto += std::string(texto.empty() ? "" : " ") + nome + (b->isEnabled() ? "" : "(off)");
        }
    }
    return texto;
}

TEST_F(Assistente, PrimeiroInicioSemArquivoPercorreAsQuatroPaginas) {
    auto w = AbrirAssistente();
    EXPECT_EQ(w->currentId(), kPaginaModelo);
    EXPECT_EQ(w->windowTitle(), QString("TVXNetCfg - v19.1.3 - Escolha do modelo"));
    EXPECT_EQ(Botoes(*w), "Voltar(off) Avancar Cancelar");
    EXPECT_EQ(w->buttonText(QWizard::BackButton), QString("< &Voltar"));
    EXPECT_EQ(w->buttonText(QWizard::NextButton), QString("&Avançar >"));
    EXPECT_EQ(w->buttonText(QWizard::FinishButton), QString("&Concluir"));
    EXPECT_EQ(w->buttonText(QWizard::CancelButton), QString("Cancelar"));
    EXPECT_EQ(w->wizardStyle(), QWizard::ClassicStyle);
    EXPECT_FALSE(w->windowIcon().isNull());

    auto& modelo = w->PaginaModelo()->Controles();
    EXPECT_EQ(modelo.ctl1012->currentText(), QString("TVX2201U - Gateway Universal"));
    EXPECT_EQ(modelo.ctl1012->currentData().toUInt(), 1u);
    EXPECT_EQ(modelo.ctl1034->text(),
              QString("Escolha um modelo de equipamento para a programação de IP ou outras "
                      "funções."));
    std::string instrucoes;
    ObtemInstrucoes(1, instrucoes);
    EXPECT_EQ(modelo.ctl1015->text(), QString::fromStdString(instrucoes).replace("\r\n", "\n"));
    EXPECT_TRUE(caixas.empty());
    EXPECT_FALSE(std::filesystem::exists(pasta / "tvxnetcfg.ini"));

    w->next();
    Processar();
    const auto ini = pasta / "tvxnetcfg.ini";
    ASSERT_TRUE(std::filesystem::exists(ini));
    EXPECT_EQ(ValorIni(ini, "CONFIG", "modelo"), "1");
    EXPECT_EQ(ValorIni(ini, "MEIO", "tipo"), "0");
    EXPECT_EQ(ValorIni(ini, "MEIO", "velocidade"), "38400");
    EXPECT_EQ(ValorIni(ini, "MEIO", "rtu"), "1");
    EXPECT_EQ(ValorIni(ini, "ESPECIAL", "operadora"), "0");

    EXPECT_EQ(w->currentId(), kPaginaMeio);
    EXPECT_EQ(w->windowTitle(), QString("TVXNetCfg - v19.1.3 - Escolha do meio de comunicação"));
    EXPECT_EQ(Botoes(*w), "Voltar Avancar Cancelar");
    auto& meio = w->PaginaMeio()->Controles();
    EXPECT_TRUE(meio.ctl1017->isChecked());
    EXPECT_EQ(meio.ctl1017->text(), QString("IP Default (192.168.0.101)"));
    EXPECT_EQ(meio.ctl1021->currentText(), QString("38400"));
    EXPECT_EQ(meio.ctl1022->currentText(), QString("001"));
    EXPECT_EQ(meio.ctl1022->count(), 256);

    w->next();
    Processar();
    EXPECT_EQ(w->currentId(), kPaginaParametros);
    EXPECT_EQ(w->windowTitle(), QString("TVXNetCfg - v19.1.3 - Configuração"));
    EXPECT_EQ(Botoes(*w), "Voltar Avancar Cancelar");
    EXPECT_EQ(ValorIni(ini, "MEIO", "ip"), "192.168.0.101");

    w->next();
    Processar();
    EXPECT_EQ(w->currentId(), kPaginaProgramar);
    EXPECT_EQ(w->windowTitle(), QString("TVXNetCfg - v19.1.3 - Programação"));
    EXPECT_EQ(Botoes(*w), "Voltar Concluir Cancelar");
    EXPECT_TRUE(caixas.empty());
}

TEST_F(Assistente, VoltarDaPagina3EAvancarGravaOsValoresDoSegundoCommit) {
    eq.SetModelo(2);
    auto w = AbrirAssistente();
    w->next();
    Processar();
    auto& meio = w->PaginaMeio()->Controles();
    meio.ctl1018->click();
    EXPECT_TRUE(meio.ctl1003->isVisible());
    meio.ctl1003->definirTexto("127.0.0.5");
    w->next();
    Processar();
    const auto ini = pasta / "tvxnetcfg.ini";
    EXPECT_EQ(ValorIni(ini, "MEIO", "tipo"), "1");
    EXPECT_EQ(ValorIni(ini, "MEIO", "ip"), "127.0.0.5");

    w->back();
    Processar();
    EXPECT_EQ(w->currentId(), kPaginaMeio);
    EXPECT_TRUE(meio.ctl1018->isChecked());
    EXPECT_EQ(meio.ctl1003->texto(), QString("127.0.0.5"));
    meio.ctl1003->definirTexto("127.0.0.6");
    meio.ctl1022->setCurrentIndex(17);
    w->next();
    Processar();
    EXPECT_EQ(w->currentId(), kPaginaParametros);
    EXPECT_EQ(ValorIni(ini, "MEIO", "ip"), "127.0.0.6");
    EXPECT_EQ(ValorIni(ini, "MEIO", "rtu"), "17");
    EXPECT_EQ(eq.GetIpProgramacao(), "127.0.0.6");
    EXPECT_EQ(eq.GetRtu(), 17u);
}

TEST_F(Assistente, Modelo0NoArquivoAbreSemSelecaoEAvancaComEle) {
    std::ofstream(pasta / "tvxnetcfg.ini") << "[CONFIG]\r\nmodelo=0\r\n";
    eq.Configuracao(false);
    auto w = AbrirAssistente();
    auto& modelo = w->PaginaModelo()->Controles();
    EXPECT_EQ(modelo.ctl1012->currentIndex(), -1);
    EXPECT_EQ(caixas,
              (std::vector<CaixaMostrada>{{IconeMensagem::Erro, "Selecione um equipamento"}}));
    w->next();
    Processar();
    EXPECT_EQ(w->currentId(), kPaginaMeio);
    EXPECT_EQ(eq.GetModelo(), 0u);
    EXPECT_EQ(ValorIni(pasta / "tvxnetcfg.ini", "CONFIG", "modelo"), "0");
}

TEST_F(Assistente, EscolherNaListaUsaOIndiceDoCatalogoENaoAPosicao) {
    auto w = AbrirAssistente();
    QComboBox* lista = w->PaginaModelo()->Controles().ctl1012;
    ASSERT_EQ(lista->count(), 34);
    for (int i = 0; i < lista->count(); ++i) {
        lista->setCurrentIndex(i);
        emit lista->activated(i);
        const uint32_t indice = lista->itemData(i).toUInt();
        std::string nome, instrucoes;
        ObtemNomeModelo(indice, nome);
        ObtemInstrucoes(indice, instrucoes);
        EXPECT_EQ(lista->itemText(i).toStdString(), nome);
        EXPECT_EQ(eq.GetModelo(), indice);
        EXPECT_EQ(w->PaginaModelo()->Controles().ctl1015->text(),
                  QString::fromStdString(instrucoes).replace("\r\n", "\n"));
    }
    EXPECT_EQ(lista->itemText(0), QString("Analisador TVX5150S"));
    EXPECT_TRUE(caixas.empty());
}

TEST_F(Assistente, Modelo25EscondeIpDefaultEComSerialMostraSoAPorta) {
    auto w = AbrirAssistente();
    QComboBox* lista = w->PaginaModelo()->Controles().ctl1012;
    const int posicao = lista->findText("TVX3300WEB");
    lista->setCurrentIndex(posicao);
    emit lista->activated(posicao);
    w->next();
    Processar();
    auto& meio = w->PaginaMeio()->Controles();
    EXPECT_FALSE(meio.ctl1017->isVisible());
    EXPECT_FALSE(meio.ctl1018->isVisible());
    EXPECT_TRUE(meio.ctl1019->isVisible());
    EXPECT_FALSE(meio.ctl1020->isVisible());
    // The factory choice made before stays, hidden.
    EXPECT_TRUE(meio.ctl1017->isChecked());

    meio.ctl1019->click();
    EXPECT_EQ(eq.GetMeio(), 2u);
    EXPECT_TRUE(meio.ctl1020->isVisible());
    EXPECT_TRUE(meio.ctl1023->isVisible());
    for (QWidget* oculto :
         {static_cast<QWidget*>(meio.ctl1021), static_cast<QWidget*>(meio.ctl1022),
          static_cast<QWidget*>(meio.ctl1024), static_cast<QWidget*>(meio.ctl1025),
          static_cast<QWidget*>(meio.ctl1003)}) {
        EXPECT_FALSE(oculto->isVisible()) << oculto->objectName().toStdString();
    }
    w->next();
    Processar();
    EXPECT_EQ(ValorIni(pasta / "tvxnetcfg.ini", "MEIO", "tipo"), "2");
    EXPECT_EQ(ValorIni(pasta / "tvxnetcfg.ini", "MEIO", "rtu"), "0");
    EXPECT_EQ(ValorIni(pasta / "tvxnetcfg.ini", "MEIO", "velocidade"), "38400");
}

TEST_F(Assistente, ModeloSemSerialComMeio2NoArquivoVoltaAoIpDefaultAoMostrar) {
    std::ofstream(pasta / "tvxnetcfg.ini") << "[CONFIG]\r\nmodelo=8\r\n[MEIO]\r\ntipo=2\r\n";
    eq.Configuracao(false);
    ASSERT_EQ(eq.GetMeio(), 2u);
    auto w = AbrirAssistente();
    w->next();
    Processar();
    auto& meio = w->PaginaMeio()->Controles();
    EXPECT_EQ(eq.GetMeio(), 0u);
    EXPECT_TRUE(meio.ctl1017->isChecked());
    EXPECT_FALSE(meio.ctl1019->isVisible());
    EXPECT_FALSE(meio.ctl1018->isVisible());
    EXPECT_FALSE(meio.ctl1020->isVisible());
}

TEST_F(Assistente, MeioForaDosTresNaoMarcaNadaERecusaAvancar) {
    std::ofstream(pasta / "tvxnetcfg.ini") << "[CONFIG]\r\nmodelo=3\r\n[MEIO]\r\ntipo=7\r\n";
    eq.Configuracao(false);
    auto w = AbrirAssistente();
    w->next();
    Processar();
    auto& meio = w->PaginaMeio()->Controles();
    EXPECT_FALSE(meio.ctl1017->isChecked());
    EXPECT_FALSE(meio.ctl1018->isChecked());
    EXPECT_FALSE(meio.ctl1019->isChecked());
    std::filesystem::remove(pasta / "tvxnetcfg.ini");
    w->next();
    Processar();
    EXPECT_EQ(w->currentId(), kPaginaMeio);
    EXPECT_EQ(
        caixas,
        (std::vector<CaixaMostrada>{{IconeMensagem::Erro, "Selecione um meio de comunicação."}}));
    EXPECT_FALSE(std::filesystem::exists(pasta / "tvxnetcfg.ini"));
    // A click puts one medium back, and Next goes on.
    meio.ctl1019->click();
    w->next();
    Processar();
    EXPECT_EQ(w->currentId(), kPaginaParametros);
    EXPECT_EQ(ValorIni(pasta / "tvxnetcfg.ini", "MEIO", "tipo"), "2");
}

TEST_F(Assistente, CancelarODialogoDeArquivoNaoMudaNada) {
    eq.SetModelo(3);
    auto w = AbrirAssistente();
    arquivoEscolhido.clear();
    w->PaginaModelo()->Controles().ctl1030->click();
    ASSERT_EQ(dialogos.size(), 1u);
    EXPECT_EQ(dialogos[0].titulo, QString("Configuração de IP"));
    EXPECT_EQ(dialogos[0].filtro, QString("Todas as configurações de IP (*.ini)"));
    EXPECT_EQ(std::filesystem::path(dialogos[0].pasta.toStdString()),
              std::filesystem::current_path());
    EXPECT_EQ(eq.caminhoConfiguracao, "");
    EXPECT_EQ(eq.GetModelo(), 3u);
    w->next();
    Processar();
    EXPECT_TRUE(std::filesystem::exists(pasta / "tvxnetcfg.ini"));
}

TEST_F(Assistente, LerConfiguracaoNaoMudaATelaMasOProximoAvancarUsaOArquivo) {
    eq.SetModelo(3);
    auto w = AbrirAssistente();
    // Page 2 opened once: its lists take their selection now.
    w->next();
    Processar();
    auto& meio = w->PaginaMeio()->Controles();
    meio.ctl1019->click();
    meio.ctl1021->setCurrentIndex(1);   // 9600
    meio.ctl1022->setCurrentIndex(17);  // 017
    w->back();
    Processar();

    std::filesystem::create_directory(pasta / "salvas");
    const auto escolhido = pasta / "salvas" / "cliente.ini";
    std::ofstream(escolhido) << "[CONFIG]\r\nmodelo=21\r\nip=10.9.9.9\r\n[MEIO]\r\ntipo=2\r\n"
                                "velocidade=4800\r\nrtu=5\r\n";
    arquivoEscolhido = QString::fromStdString(escolhido.string());
    auto& modelo = w->PaginaModelo()->Controles();
    const QString instrucoesAntes = modelo.ctl1015->text();
    modelo.ctl1030->click();
    EXPECT_EQ(eq.caminhoConfiguracao, escolhido.string());
    EXPECT_EQ(eq.GetModelo(), 21u);
    EXPECT_EQ(eq.GetIpNovo(), "10.9.9.9");
    EXPECT_EQ(modelo.ctl1012->currentText(), QString("TVX5150S"));
    EXPECT_EQ(modelo.ctl1015->text(), instrucoesAntes);

    std::filesystem::remove(pasta / "tvxnetcfg.ini");
    w->next();
    Processar();
    EXPECT_EQ(eq.Familia(), kFamiliaGatewayTx);
    EXPECT_EQ(ValorIni(escolhido, "CONFIG", "modelo"), "21");
    EXPECT_FALSE(std::filesystem::exists(pasta / "tvxnetcfg.ini"));
    // Model 21 has no serial link: page 2 falls back to the factory address,
    // and its lists still hold what the technician chose before.
    EXPECT_TRUE(meio.ctl1017->isChecked());
    EXPECT_EQ(meio.ctl1021->currentText(), QString("9600"));
    EXPECT_EQ(meio.ctl1022->currentText(), QString("017"));
    w->next();
    Processar();
    EXPECT_EQ(ValorIni(escolhido, "MEIO", "rtu"), "17");
    EXPECT_EQ(ValorIni(escolhido, "MEIO", "velocidade"), "9600");
    EXPECT_EQ(ValorIni(escolhido, "MEIO", "tipo"), "0");

    // Back on page 1, the list follows the model read from the file.
    w->back();
    w->back();
    Processar();
    EXPECT_EQ(modelo.ctl1012->currentText(), QString("TVX2700 - GWTX940"));
}

TEST_F(Assistente, CaixaRealTemTituloIconeESimNao) {
    DefinirFuncaoMensagem({});
    QWidget dono;
    QString titulo, texto, sim, nao;
    bool noTopo = false;
    QMessageBox::Icon icone = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* caixa = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(caixa, nullptr);
        titulo = caixa->windowTitle();
        texto = caixa->text();
        icone = caixa->icon();
        noTopo = caixa->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        sim = caixa->button(QMessageBox::Yes)->text();
        nao = caixa->button(QMessageBox::No)->text();
        caixa->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(MostrarMensagem(&dono, IconeMensagem::Pergunta, "Deseja Encerrar?"),
              RespostaMensagem::Nao);
    EXPECT_EQ(titulo, QString("TVXNetCfg"));
    EXPECT_EQ(texto, QString("Deseja Encerrar?"));
    EXPECT_EQ(icone, QMessageBox::Question);
    EXPECT_TRUE(noTopo);
    EXPECT_EQ(sim, QString("&Sim"));
    EXPECT_EQ(nao, QString("&Não"));

    QTimer::singleShot(0, [&] {
        auto* caixa = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(caixa, nullptr);
        icone = caixa->icon();
        caixa->accept();
    });
    cAvisosQt avisos(&dono);
    avisos.Mostrar(TipoAviso::Erro, "Selecione um equipamento");
    EXPECT_EQ(icone, QMessageBox::Critical);
}

}  // namespace
}  // namespace tvx::teste
