// The wizard's own widgets over values filled here: the IP address box and
// the grid of page 3 with its editors, drop-down rules, splitter and keys.
#include <QScrollBar>

#include "apoio.h"

namespace tvx::teste {
namespace {

TEST_F(TesteUi, CampoIpComoOTecnicoDigita) {
    const struct {
        const char* teclas;  // '\b': Backspace
        const char* texto;
        int foco;
    } casos[] = {
        // Three digits move on, and the dot that follows does not skip a field.
        {"192.168.0.101", "192.168.0.101", 3},
        {"1a-9.300256", "19.255.255.0", 3},
        // A dot in an empty field stays there.
        {".7..8", "7.8.0.0", 1},
        // Backspace at a field's start goes back to the one before.
        {"10.20.\b\b", "10.2.0.0", 1},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.teclas);
        QWidget janela;
        auto* campo = new cCampoIp(&janela);
        janela.show();
        QApplication::setActiveWindow(&janela);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&janela));
        campo->setFocus();
        for (const char* t = c.teclas; *t; ++t) {
            if (*t == '\b') {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
            } else {
                QTest::keyClick(QApplication::focusWidget(), *t);
            }
        }
        EXPECT_EQ(campo->texto().toStdString(), c.texto);
        EXPECT_EQ(QApplication::focusWidget(), campo->campo(c.foco));
    }
    cCampoIp campo;
    EXPECT_TRUE(campo.vazio());
    campo.definirTexto("10.300.x");
    EXPECT_EQ(campo.campo(1)->text(), QString("255"));
    EXPECT_EQ(campo.campo(2)->text(), QString(""));
    EXPECT_EQ(campo.texto(), QString("10.255.0.0"));
}

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

    cPropertyRows linhas;
    cPropertyList lista;
};

// Each editor opens over its row's value side with the row's value, and
// what is edited goes into the row.
TEST_F(ListaPropriedades, CadaEditorAbreComOValorDaLinhaEEscreveNela) {
    const int divisor = lista.Divisor();
    const int largura = lista.viewport()->width() - divisor;
    EXPECT_EQ(divisor, lista.viewport()->width() / 2);
    lista.Selecionar(0);
    EXPECT_EQ(lista.EditorVisivel(), nullptr) << "a group title has no editor";

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
    lista.Check()->click();
    EXPECT_TRUE(linhas.GetCheck("Alterar MAC?"));

    // The MAC keeps its fixed prefix; a character no position takes is dropped.
    lista.Selecionar(3);
    cMaskedEdit* texto = lista.Texto();
    ASSERT_EQ(lista.EditorVisivel(), texto);
    EXPECT_EQ(texto->geometry(), QRect(divisor, 60, largura, 17));
    EXPECT_EQ(texto->text(), QString("02:B4:6D:__:__:__"));
    EXPECT_TRUE(texto->hasFocus());
    texto->setCursorPosition(0);
    QTest::keyClicks(texto, "a1-B2c3");
    EXPECT_EQ(linhas.GetText("MAC (xx:xx:xx:xx:xx:xx)"), "02:B4:6D:a1:B2:c3");
    QTest::keyClick(texto, Qt::Key_Backspace);
    EXPECT_EQ(linhas.GetText("MAC (xx:xx:xx:xx:xx:xx)"), "02:B4:6D:a1:B2:c_");

    // A plain text row after a masked one has no mask left.
    lista.Selecionar(4);
    EXPECT_EQ(texto->Mascara(), QString());
    EXPECT_EQ(texto->text(), QString("1"));
    texto->selectAll();
    QTest::keyClick(texto, Qt::Key_Delete);
    EXPECT_EQ(linhas.GetText("RTU"), "");
    QTest::keyClicks(texto, "17");
    EXPECT_EQ(linhas.GetNumber("RTU"), 17);

    lista.Selecionar(6);
    ASSERT_EQ(lista.EditorVisivel(), lista.Lista());
    EXPECT_EQ(lista.Lista()->geometry(), QRect(divisor, 120, largura, 20));
    EXPECT_EQ(lista.Lista()->currentText(), QString("38400"));
    lista.Lista()->setCurrentIndex(lista.Lista()->findText("9600"));
    EXPECT_EQ(linhas.GetNumber("Velocidade"), 96);

    // The editor goes away when the list takes the focus back.
    lista.setFocus();
    Processar();
    EXPECT_EQ(lista.EditorVisivel(), nullptr);
}

// The drop-down opens on the entry the row's rules give, below an empty
// entry that stays first also when the entries are sorted.
TEST_F(ListaPropriedades, ListaSuspensaAbreNaEntradaDasRegras) {
    linhas.ResetContent();
    linhas.SetSortChoices(false);
    const std::vector<uint32_t> valores{1, 2};
    linhas.AddChoice("Segundo", 2, "um|dois|", &valores);
    linhas.SetSortChoices(true);
    linhas.BeginChoices(4);
    for (const char* texto : {"1200", "19200", "115200", "9600"}) {
        linhas.AppendChoice(texto, static_cast<uint32_t>(linhas.ChoiceValues().size()));
    }
    linhas.AddChoice("Ordenada", 3);
    lista.Recarregar();

    lista.Selecionar(0);
    EXPECT_EQ(Entradas(), (QStringList{"", "um", "dois"}));
    EXPECT_EQ(lista.Lista()->currentText(), QString("dois"));
    EXPECT_EQ(linhas.GetNumber("Segundo"), 2) << "opening the editor is not a choice";
    lista.Selecionar(1);
    EXPECT_EQ(Entradas(), (QStringList{"", "115200", "1200", "19200", "9600"}));
    EXPECT_EQ(lista.Lista()->currentText(), QString("9600"));
    lista.Lista()->setCurrentIndex(1);
    EXPECT_EQ(linhas.GetNumber("Ordenada"), 2);
    lista.Lista()->setCurrentIndex(0);
    EXPECT_EQ(linhas.GetText("Ordenada"), "");

    // A choice that rebuilds the rows leaves no editor over a row that is gone.
    linhas.aoEscolher = [this](const cPropertyItem&) {
        linhas.ResetContent();
        linhas.AddText("Só esta", "x");
        lista.Recarregar();
    };
    lista.Lista()->setCurrentIndex(2);
    Processar();
    EXPECT_EQ(linhas.Quantidade(), 1u);
    EXPECT_EQ(lista.EditorVisivel(), nullptr);
    lista.setFocus();
    QTest::keyClick(&lista, Qt::Key_Down);
    EXPECT_EQ(lista.EditorVisivel(), nullptr) << "the current row is past the new end";
}

TEST_F(ListaPropriedades, DivisorEAteclaParaBaixo) {
    QWidget* vp = lista.viewport();
    const int origem = vp->x();  // the viewport inside the list's frame
    lista.Selecionar(4);
    // A press near the splitter grabs it and puts the editor away; it stops
    // 10 pixels from either side.
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(lista.Divisor() + 4, 5));
    EXPECT_EQ(vp->cursor().shape(), Qt::SizeHorCursor);
    EXPECT_EQ(lista.EditorVisivel(), nullptr);
    QTest::mouseMove(vp, QPoint(-50, 5));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(-50, 5));
    EXPECT_EQ(lista.Divisor() + origem, 10);
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(lista.Divisor(), 5));
    QTest::mouseMove(vp, QPoint(lista.width() + 40, 5));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(lista.width() + 40, 5));
    EXPECT_EQ(lista.Divisor() + origem, lista.width() - 10);
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(lista.Divisor(), 5));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(150, 5));
    EXPECT_EQ(lista.Divisor(), 150);
    // Six pixels off the splitter a press is a click on a row.
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(150 + 6, 25));
    EXPECT_EQ(lista.Divisor(), 150);
    EXPECT_EQ(lista.Atual(), 1u);
    EXPECT_EQ(lista.CampoIp()->x(), 150);
    // The IP box alone stays through a drag, with its focus, and follows it.
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(lista.Divisor(), 5));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(120, 5));
    ASSERT_EQ(lista.EditorVisivel(), lista.CampoIp());
    EXPECT_EQ(lista.CampoIp()->x(), 120);
    EXPECT_TRUE(lista.CampoIp()->isAncestorOf(QApplication::focusWidget()));

    // Down opens the next row's editor, and does nothing on the last row.
    lista.Selecionar(5);
    lista.setFocus();
    QTest::keyClick(&lista, Qt::Key_Down);
    EXPECT_EQ(lista.Atual(), 6u);
    EXPECT_EQ(lista.EditorVisivel(), lista.Lista());
    lista.setFocus();
    Processar();
    QTest::keyClick(&lista, Qt::Key_Down);
    EXPECT_EQ(lista.Atual(), 6u);
    EXPECT_EQ(lista.EditorVisivel(), nullptr);
}

}  // namespace
}  // namespace tvx::teste
