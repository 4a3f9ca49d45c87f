// The grid of page 3 over rows filled here: its editors, the drop-down's
// selection rules, the splitter and the Down key.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QScrollBar>
#include <QTest>

#include "apoio/apoio_ui.h"
#include "ui/campo_ip.h"
#include "ui/edicao_mascarada.h"
#include "ui/lista_propriedades.h"

namespace tvx::teste {
namespace {

const std::vector<uint32_t> kValoresVelocidade{0, 1, 2, 3, 4, 5, 6};

class ListaPropriedades : public TesteUi {
  protected:
    void SetUp() override {
        TesteUi::SetUp();
        linhas.AddGroup("Configuração de IP, Máscara e Gateway");                  // 0
        linhas.AddIpControl("IP", "10.0.0.5");                                     // 1
        linhas.AddCheck("Alterar MAC?", false);                                    // 2
        linhas.AddMaskedText("MAC (xx:xx:xx:xx:xx:xx)", "", "02:B4:6D:**:**:**");  // 3
        linhas.AddNumber("RTU", 1);                                                // 4
        linhas.AddText("URL (Telemetria)", "a.b");                                 // 5
        linhas.BeginChoices(2);
        linhas.AppendChoice("9600", 96);
        linhas.AppendChoice("38400", 38);
        linhas.AddChoice("Velocidade", 38);  // 6
        lista.resize(320, 240);
        lista.DefinirLinhas(&linhas);
        lista.show();
        lista.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&lista));
        Processar();
    }

    QStringList Entradas() const {
        QStringList textos;
        for (int i = 0; i < lista.Lista()->count(); ++i) {
            textos << lista.Lista()->itemText(i);
        }
        return textos;
    }
    // Where a press lands on the splitter, in the list's viewport.
    QPoint NoDivisor() const { return QPoint(lista.Divisor(), 5); }

    cPropertyRows linhas;
    cPropertyList lista;
};

TEST_F(ListaPropriedades, CadaEditorAbreComOValorDaLinhaEEscreveNela) {
    EXPECT_EQ(lista.Divisor(), lista.viewport()->width() / 2);
    const int divisor = lista.Divisor();
    const QRect linhaIp = lista.RetanguloLinha(1);
    EXPECT_EQ(linhaIp.height(), 20);
    EXPECT_EQ(linhaIp.top(), 20);

    // A group title has no editor.
    lista.Selecionar(0);
    EXPECT_EQ(lista.EditorVisivel(), nullptr);

    lista.Selecionar(1);
    ASSERT_EQ(lista.EditorVisivel(), lista.CampoIp());
    EXPECT_EQ(lista.CampoIp()->geometry(), QRect(divisor, 20, 120, 17));
    EXPECT_EQ(lista.CampoIp()->texto(), QString("10.0.0.5"));
    lista.CampoIp()->definirTexto("127.0.0.7");
    EXPECT_EQ(linhas.GetText("IP"), "127.0.0.7");

    lista.Selecionar(2);
    ASSERT_EQ(lista.EditorVisivel(), lista.Check());
    EXPECT_FALSE(lista.CampoIp()->isVisible());
    EXPECT_EQ(lista.Check()->geometry(), QRect(divisor + 2, 42, 14, 16));
    EXPECT_FALSE(lista.Check()->isChecked());
    lista.Check()->click();
    EXPECT_TRUE(linhas.GetCheck("Alterar MAC?"));
    EXPECT_TRUE(lista.Check()->isChecked());
    lista.Check()->click();
    EXPECT_FALSE(linhas.GetCheck("Alterar MAC?"));

    // The MAC keeps its fixed prefix: typing from the start fills the six
    // input positions, and a character no position takes is dropped.
    lista.Selecionar(3);
    cMaskedEdit* texto = lista.Texto();
    ASSERT_EQ(lista.EditorVisivel(), texto);
    EXPECT_EQ(texto->geometry(), QRect(divisor, 60, lista.viewport()->width() - divisor, 17));
    EXPECT_EQ(texto->text(), QString("02:B4:6D:__:__:__"));
    EXPECT_TRUE(texto->hasFocus());
    texto->setCursorPosition(0);
    QTest::keyClicks(texto, "a1-B2c3");
    EXPECT_EQ(texto->text(), QString("02:B4:6D:a1:B2:c3"));
    EXPECT_EQ(linhas.GetText("MAC (xx:xx:xx:xx:xx:xx)"), "02:B4:6D:a1:B2:c3");
    QTest::keyClick(texto, Qt::Key_Backspace);
    EXPECT_EQ(texto->text(), QString("02:B4:6D:a1:B2:c_"));
    EXPECT_EQ(linhas.GetText("MAC (xx:xx:xx:xx:xx:xx)"), "02:B4:6D:a1:B2:c_");

    // A plain text row after a masked one has no mask left.
    lista.Selecionar(4);
    ASSERT_EQ(lista.EditorVisivel(), texto);
    EXPECT_EQ(texto->Mascara(), QString());
    EXPECT_EQ(texto->text(), QString("1"));
    texto->selectAll();
    QTest::keyClicks(texto, "17");
    EXPECT_EQ(linhas.GetNumber("RTU"), 17);

    lista.Selecionar(6);
    QComboBox* escolha = lista.Lista();
    ASSERT_EQ(lista.EditorVisivel(), escolha);
    EXPECT_EQ(escolha->geometry(), QRect(divisor, 120, lista.viewport()->width() - divisor, 20));
    EXPECT_EQ(escolha->currentText(), QString("38400"));
    escolha->setCurrentIndex(escolha->findText("9600"));
    EXPECT_EQ(linhas.GetNumber("Velocidade"), 96);
    EXPECT_EQ(linhas.GetText("Velocidade"), "9600");

    // The editor goes away when the list takes the focus back.
    lista.setFocus();
    Processar();
    EXPECT_EQ(lista.EditorVisivel(), nullptr);
}

TEST_F(ListaPropriedades, ListaSuspensaAbreNaEntradaDasRegras) {
    linhas.ResetContent();
    linhas.SetSortChoices(false);
    const std::vector<uint32_t> valores{1, 2};
    linhas.AddChoice("Sem valor igual", 7, "um|dois|", &valores);
    linhas.AddChoice("Dado zero", 0, "um|dois|", &valores);
    linhas.AddChoice("Sem valores", 0, "um|dois|tres|", nullptr);
    linhas.AddChoice("Segundo", 2, "um|dois|", &valores);
    lista.Recarregar();

    lista.Selecionar(0);
    EXPECT_EQ(Entradas(), (QStringList{"", "um", "dois"}));
    EXPECT_EQ(linhas.GetText("Sem valor igual"), "");
    EXPECT_EQ(lista.Lista()->currentIndex(), 0);
    lista.Selecionar(1);
    EXPECT_EQ(lista.Lista()->currentIndex(), 0);
    lista.Selecionar(2);
    EXPECT_EQ(lista.Lista()->currentText(), QString("tres"));
    lista.Selecionar(3);
    EXPECT_EQ(lista.Lista()->currentText(), QString("dois"));
    // Opening the editor is not a choice.
    EXPECT_EQ(linhas.GetNumber("Segundo"), 2);
    EXPECT_EQ(linhas.GetText("Segundo"), "dois");
}

TEST_F(ListaPropriedades, ListaOrdenadaMantemAEntradaVaziaPrimeiroEOsValores) {
    linhas.ResetContent();
    linhas.BeginChoices(7);
    for (const char* texto : {"1200", "2400", "4800", "9600", "19200", "38400", "115200"}) {
        linhas.AppendChoice(texto, static_cast<uint32_t>(linhas.ChoiceValues().size()));
    }
    linhas.AddChoice("Velocidade", 3);
    lista.Recarregar();
    lista.Selecionar(0);
    EXPECT_EQ(Entradas(),
              (QStringList{"", "115200", "1200", "19200", "2400", "38400", "4800", "9600"}));
    EXPECT_EQ(lista.Lista()->currentText(), QString("9600"));
    lista.Lista()->setCurrentIndex(1);
    EXPECT_EQ(linhas.GetNumber("Velocidade"), 6);
    EXPECT_EQ(linhas.GetText("Velocidade"), "115200");
    lista.Lista()->setCurrentIndex(0);
    EXPECT_EQ(linhas.GetNumber("Velocidade"), 0);
    EXPECT_EQ(linhas.GetText("Velocidade"), "");
}

TEST_F(ListaPropriedades, DivisorNaoChegaA10PixelsDosLados) {
    QWidget* vp = lista.viewport();
    const int origem = vp->x();  // the viewport inside the list's frame
    lista.Selecionar(4);
    ASSERT_NE(lista.EditorVisivel(), nullptr);

    QTest::mousePress(vp, Qt::LeftButton, {}, NoDivisor() + QPoint(4, 0));
    EXPECT_EQ(vp->cursor().shape(), Qt::SizeHorCursor);
    EXPECT_EQ(lista.EditorVisivel(), nullptr);
    QTest::mouseMove(vp, QPoint(-50, 5));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(-50, 5));
    EXPECT_EQ(lista.Divisor() + origem, 10);

    QTest::mousePress(vp, Qt::LeftButton, {}, NoDivisor());
    QTest::mouseMove(vp, QPoint(lista.width() + 40, 5));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(lista.width() + 40, 5));
    EXPECT_EQ(lista.Divisor() + origem, lista.width() - 10);

    QTest::mousePress(vp, Qt::LeftButton, {}, NoDivisor());
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(150, 5));
    EXPECT_EQ(lista.Divisor(), 150);

    // Six pixels off the splitter a press is an ordinary click on a row.
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(150 + 6, 25));
    EXPECT_EQ(lista.Divisor(), 150);
    EXPECT_EQ(lista.Atual(), 1u);
    ASSERT_EQ(lista.EditorVisivel(), lista.CampoIp());
    EXPECT_EQ(lista.CampoIp()->x(), 150);
    // The IP box alone stays through a drag, with its focus, and follows it.
    QTest::mousePress(vp, Qt::LeftButton, {}, NoDivisor());
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(120, 5));
    ASSERT_EQ(lista.EditorVisivel(), lista.CampoIp());
    EXPECT_EQ(lista.CampoIp()->x(), 120);
    EXPECT_TRUE(lista.CampoIp()->isAncestorOf(QApplication::focusWidget()));
}

TEST_F(ListaPropriedades, BaixoPassaALinhaSeguinteENadaFazNaUltima) {
    lista.Selecionar(4);
    lista.setFocus();
    QTest::keyClick(&lista, Qt::Key_Down);
    EXPECT_EQ(lista.Atual(), 5u);
    ASSERT_EQ(lista.EditorVisivel(), lista.Texto());
    EXPECT_EQ(lista.Texto()->text(), QString("a.b"));

    lista.setFocus();
    QTest::keyClick(&lista, Qt::Key_Down);
    EXPECT_EQ(lista.Atual(), 6u);
    ASSERT_EQ(lista.EditorVisivel(), lista.Lista());

    lista.setFocus();
    Processar();
    ASSERT_EQ(lista.EditorVisivel(), nullptr);
    QTest::keyClick(&lista, Qt::Key_Down);
    EXPECT_EQ(lista.Atual(), 6u);
    EXPECT_EQ(lista.EditorVisivel(), nullptr);
}

TEST_F(ListaPropriedades, EscolhaQueRefazAsLinhasNaoTocaAsAntigas) {
    linhas.aoEscolher = [this](const cPropertyItem&) {
        linhas.ResetContent();
        linhas.AddGroup("Outra");
        linhas.AddText("Só esta", "x");
        lista.Recarregar();
    };
    lista.Selecionar(6);
    lista.Lista()->setCurrentIndex(lista.Lista()->findText("9600"));
    Processar();
    EXPECT_EQ(linhas.Quantidade(), 2u);
    EXPECT_EQ(lista.EditorVisivel(), nullptr);
    // The current row is past the new end: Down stays put.
    lista.setFocus();
    QTest::keyClick(&lista, Qt::Key_Down);
    EXPECT_EQ(lista.EditorVisivel(), nullptr);
    lista.Selecionar(1);
    ASSERT_EQ(lista.EditorVisivel(), lista.Texto());
    EXPECT_EQ(lista.Texto()->text(), QString("x"));
}

}  // namespace
}  // namespace tvx::teste
