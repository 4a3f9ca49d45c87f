// Page 3 in the wizard: the grid built from the equipment object, a gateway
// function that brings its own rows, and Next and Back with what they keep.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include "apoio/apoio_ui.h"
#include "core/catalogo.h"
#include "core/registros.h"
#include "paginas/parametros.h"
#include "ui/campo_ip.h"
#include "ui/dlg_ip_ms_gw.h"
#include "ui/edicao_mascarada.h"
#include "ui/lista_propriedades.h"
#include "ui_dlg_ip_ms_gw.h"

namespace tvx::teste {
namespace {

class PaginaParametros : public TesteUi {
  protected:
    // The wizard on page 3 for a catalogue row.
    void AbrirNaPagina3(uint32_t modelo) {
        eq.SetModelo(modelo);
        eq.CarregaInfoModelo();
        // An address Next lets through, unless the test has its own.
        if (eq.GetIpNovo().empty()) {
            eq.SetIpNovo("10.0.0.5");
        }
        if (eq.GetMascaraNova().empty()) {
            eq.SetMascaraNova("255.0.0.0");
        }
        w = AbrirAssistente();
        w->next();
        Processar();
        w->next();
        Processar();
        ASSERT_EQ(w->currentId(), kPaginaParametros);
        pagina = w->PaginaParametros();
        pagina->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    cPropertyList& Lista() { return pagina->Lista(); }
    cPropertyRows& Linhas() { return pagina->Linhas(); }
    // Opens the editor of the row with that label, as a click on it does.
    void Editar(const char* rotulo) {
        const auto indice = Linhas().Procurar(rotulo);
        ASSERT_TRUE(indice.has_value()) << rotulo;
        Lista().Selecionar(*indice);
        Processar();
        ASSERT_NE(Lista().EditorVisivel(), nullptr) << rotulo;
    }
    void Marcar(const char* rotulo) {
        Editar(rotulo);
        ASSERT_EQ(Lista().EditorVisivel(), Lista().Check());
        Lista().Check()->click();
        ASSERT_TRUE(Linhas().GetCheck(rotulo)) << rotulo;
    }
    void Digitar(const char* rotulo, const char* texto) {
        Editar(rotulo);
        cMaskedEdit* caixa = Lista().Texto();
        ASSERT_EQ(Lista().EditorVisivel(), caixa);
        caixa->selectAll();
        if (*texto == '\0') {
            QTest::keyClick(caixa, Qt::Key_Delete);
        } else {
            QTest::keyClicks(caixa, texto);
        }
    }
    void Escolher(const char* rotulo, const char* entrada) {
        Editar(rotulo);
        QComboBox* lista = Lista().Lista();
        ASSERT_EQ(Lista().EditorVisivel(), lista);
        const int indice = lista->findText(QString::fromUtf8(entrada));
        ASSERT_GE(indice, 0) << entrada;
        lista->setCurrentIndex(indice);
    }
    std::vector<std::string> Rotulos() {
        std::vector<std::string> rotulos;
        for (const cPropertyItem& l : Linhas().Linhas()) {
            rotulos.push_back(l.name);
        }
        return rotulos;
    }

    std::unique_ptr<cAssistente> w;
    cDlgIpMsGw* pagina = nullptr;
};

TEST_F(PaginaParametros, FuncaoGatewayTrocadaRefazAsLinhasENextRecusaIpZero) {
    eq.registroGatewayUniversal[kGuFuncao] = 255;
    AbrirNaPagina3(1);
    EXPECT_TRUE(pagina->Controles().ctl1015->isVisible());
    EXPECT_FALSE(Linhas().Procurar("IP do Gateway RX").has_value());

    Escolher("Função Gateway Universal", "Gateway TX940");
    Processar();
    EXPECT_EQ(eq.registroGatewayUniversal[kGuFuncao], 85);
    EXPECT_EQ(Rotulos(), (std::vector<std::string>{
                             "Configuração de IP, Máscara e Gateway", "IP", "Máscara", "Gateway",
                             "Função Gateway Universal", "IP do Gateway RX", "RTU do TVX940",
                             "MAC - Avançado", "Alterar MAC?", "MAC (xx:xx:xx:xx:xx:xx)"}));
    EXPECT_EQ(Linhas().GetText("Função Gateway Universal"), "Gateway TX940");
    // The box stood for a row that is gone: it is put away.
    EXPECT_EQ(Lista().EditorVisivel(), nullptr);

    Digitar("IP do Gateway RX", "0.0.0.0");
    Digitar("RTU do TVX940", "5");
    w->next();
    Processar();
    EXPECT_EQ(caixas,
              (std::vector<CaixaMostrada>{{IconeMensagem::Erro, "IP do Gateway RX inválido"}}));
    EXPECT_EQ(w->currentId(), kPaginaParametros);

    caixas.clear();
    Digitar("IP do Gateway RX", "127.0.0.9");
    w->next();
    Processar();
    EXPECT_TRUE(caixas.empty());
    EXPECT_EQ(w->currentId(), kPaginaProgramar);
    EXPECT_EQ(eq.registroGatewayUniversal[kGuRtu1], 5);
}

TEST_F(PaginaParametros, VoltarDescartaAsEdicoes) {
    eq.SetIpNovo("127.0.0.5");
    AbrirNaPagina3(3);
    const std::string antes = eq.GetIpNovo();
    ASSERT_EQ(antes, "127.0.0.5");
    ASSERT_EQ(Linhas().GetText("IP"), antes);
    Editar("IP");
    ASSERT_EQ(Lista().EditorVisivel(), Lista().CampoIp());
    EXPECT_EQ(Lista().CampoIp()->texto(), QString::fromStdString(antes));
    Lista().CampoIp()->definirTexto("127.0.0.42");
    EXPECT_EQ(Linhas().GetText("IP"), "127.0.0.42");

    w->back();
    Processar();
    ASSERT_EQ(w->currentId(), kPaginaMeio);
    w->next();
    Processar();
    ASSERT_EQ(w->currentId(), kPaginaParametros);
    EXPECT_EQ(Linhas().GetText("IP"), antes);
    EXPECT_EQ(eq.GetIpNovo(), antes);
    EXPECT_EQ(Lista().EditorVisivel(), nullptr);
}

TEST_F(PaginaParametros, NextRecusadoMantemAPaginaESuasEdicoes) {
    AbrirNaPagina3(23);
    Editar("IP");
    Lista().CampoIp()->definirTexto("127.0.0.42");
    Marcar("Alterar RTU e Velocidade?");
    Digitar("RTU", "0");
    Escolher("Velocidade", "9600");
    w->next();
    Processar();
    EXPECT_EQ(caixas, (std::vector<CaixaMostrada>{{IconeMensagem::Erro, "RTU não pode ser 0"}}));
    EXPECT_EQ(w->currentId(), kPaginaParametros);
    EXPECT_EQ(Linhas().GetText("IP"), "127.0.0.42");
    EXPECT_TRUE(Linhas().GetCheck("Alterar RTU e Velocidade?"));
    EXPECT_EQ(Linhas().GetText("RTU"), "0");
    EXPECT_EQ(Linhas().GetNumber("Velocidade"), 96);
    // Read before the refusal, and kept: there is no rollback.
    EXPECT_EQ(eq.GetIpNovo(), "127.0.0.42");

    // Opening the box again shows what was typed.
    Editar("RTU");
    EXPECT_EQ(Lista().Texto()->text(), QString("0"));
}

TEST_F(PaginaParametros, UrlVaziaAvisaESegue) {
    AbrirNaPagina3(23);
    Marcar("Alterar URL?");
    Digitar("URL (Telemetria)", "");
    EXPECT_EQ(Linhas().GetText("URL (Telemetria)"), "");
    w->next();
    Processar();
    EXPECT_EQ(caixas, (std::vector<CaixaMostrada>{
                          {IconeMensagem::Informacao, "A Telemetria será desabilitada!"}}));
    EXPECT_EQ(w->currentId(), kPaginaProgramar);
}

TEST_F(PaginaParametros, MacComPrefixoFixoVoltaAoEquipamento) {
    AbrirNaPagina3(6);
    Marcar("Alterar MAC?");
    Editar("MAC (xx:xx:xx:xx:xx:xx)");
    cMaskedEdit* caixa = Lista().Texto();
    ASSERT_EQ(Lista().EditorVisivel(), caixa);
    EXPECT_EQ(caixa->text().left(9), QString("02:B4:6D:"));
    caixa->setCursorPosition(0);
    QTest::keyClicks(caixa, "0A1B2C");
    EXPECT_EQ(caixa->text(), QString("02:B4:6D:0A:1B:2C"));
    w->next();
    Processar();
    EXPECT_TRUE(caixas.empty());
    EXPECT_EQ(w->currentId(), kPaginaProgramar);
    EXPECT_EQ(eq.infoModelo.opcoes[kOpcaoMac].valor, "02:B4:6D:0A:1B:2C");
}

}  // namespace
}  // namespace tvx::teste
