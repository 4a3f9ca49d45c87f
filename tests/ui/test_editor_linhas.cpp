// The plain editor of page 3 over a row model filled here.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "apoio/apoio_ui.h"
#include "ui/campo_ip.h"
#include "ui/editor_linhas.h"

namespace tvx::teste {
namespace {

class EditorLinhas : public TesteUi {
  protected:
    void SetUp() override {
        TesteUi::SetUp();
        linhas.AddGroup("Configuração de IP, Máscara e Gateway");
        linhas.AddIpControl("IP", "10.0.0.5");
        linhas.AddCheck("Alterar MAC?", false);
        linhas.AddMaskedText("MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:00:00:01", "02:B4:6D:**:**:**");
        linhas.AddNumber("RTU", 1);
        linhas.BeginChoices(2);
        linhas.AppendChoice("9600", 96);
        linhas.AppendChoice("38400", 38);
        linhas.AddChoice("Velocidade", 38);
        editor.DefinirLinhas(&linhas);
        editor.show();
        Processar();
    }
    template <typename T>
    T* Editor(int linha) {
        return qobject_cast<T*>(editor.cellWidget(linha, 1));
    }

    cPropertyRows linhas;
    cEditorLinhas editor;
};

TEST_F(EditorLinhas, CadaLinhaComSeuEditorEAsEdicoesVoltamAsLinhas) {
    ASSERT_EQ(editor.rowCount(), 6);
    EXPECT_EQ(editor.item(0, 0)->text(), QString("Configuração de IP, Máscara e Gateway"));
    EXPECT_EQ(editor.columnSpan(0, 0), 2);
    EXPECT_EQ(editor.cellWidget(0, 1), nullptr);

    auto* ip = Editor<cCampoIp>(1);
    ASSERT_NE(ip, nullptr);
    EXPECT_EQ(ip->texto(), QString("10.0.0.5"));
    ip->definirTexto("127.0.0.7");
    EXPECT_EQ(linhas.GetText("IP"), "127.0.0.7");

    auto* check = Editor<QCheckBox>(2);
    ASSERT_NE(check, nullptr);
    check->click();
    EXPECT_TRUE(linhas.GetCheck("Alterar MAC?"));

    auto* rtu = Editor<QLineEdit>(4);
    ASSERT_NE(rtu, nullptr);
    rtu->clear();
    QTest::keyClicks(rtu, "17");
    EXPECT_EQ(linhas.GetNumber("RTU"), 17);

    auto* velocidade = Editor<QComboBox>(5);
    ASSERT_NE(velocidade, nullptr);
    EXPECT_EQ(velocidade->currentText(), QString("38400"));
    velocidade->setCurrentIndex(1);
    emit velocidade->activated(1);
    EXPECT_EQ(linhas.GetNumber("Velocidade"), 96);
}

TEST_F(EditorLinhas, EscolhaQueReconstroiAsLinhasRefazATabela) {
    linhas.aoEscolher = [this](const cPropertyItem&) {
        linhas.ResetContent();
        linhas.AddGroup("Outra");
        linhas.AddText("Só esta", "x");
    };
    auto* velocidade = Editor<QComboBox>(5);
    ASSERT_NE(velocidade, nullptr);
    emit velocidade->activated(2);
    Processar();
    ASSERT_EQ(editor.rowCount(), 2);
    EXPECT_EQ(editor.item(1, 0)->text(), QString("Só esta"));
}

}  // namespace
}  // namespace tvx::teste
