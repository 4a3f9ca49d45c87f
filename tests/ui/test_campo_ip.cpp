// The IP address box: what typing does, and the dotted text in and out.
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "apoio/apoio_ui.h"
#include "ui/campo_ip.h"

namespace tvx::teste {
namespace {

class CampoIp : public TesteUi {
  protected:
    void SetUp() override {
        TesteUi::SetUp();
        campo = new cCampoIp(&janela);
        janela.show();
        QApplication::setActiveWindow(&janela);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&janela));
        campo->setFocus();
        Processar();
    }
    // Each key goes where the focus is, as the technician's keys do.
    void Digitar(const QString& teclas) {
        for (const QChar c : teclas) {
            QWidget* foco = QApplication::focusWidget();
            ASSERT_NE(foco, nullptr);
            QTest::keyClick(foco, c.toLatin1());
        }
    }
    QStringList Campos() const {
        QStringList textos;
        for (int i = 0; i < 4; ++i) {
            textos << campo->campo(i)->text();
        }
        return textos;
    }

    QWidget janela;
    cCampoIp* campo = nullptr;
};

TEST_F(CampoIp, PontoPassaAoCampoSeguinte) {
    Digitar("10.0.0.1");
    EXPECT_EQ(Campos(), (QStringList{"10", "0", "0", "1"}));
    EXPECT_EQ(campo->texto(), QString("10.0.0.1"));
}

TEST_F(CampoIp, TresDigitosAvancamEOPontoSeguinteNaoPulaUmCampo) {
    Digitar("192.168.0.101");
    EXPECT_EQ(campo->texto(), QString("192.168.0.101"));
    EXPECT_EQ(QApplication::focusWidget(), campo->campo(3));
}

TEST_F(CampoIp, SoDigitosEAte255) {
    Digitar("1a-9");
    EXPECT_EQ(campo->campo(0)->text(), QString("19"));
    Digitar(".300");
    EXPECT_EQ(campo->campo(1)->text(), QString("255"));
    Digitar("256");
    EXPECT_EQ(campo->campo(2)->text(), QString("255"));
    EXPECT_EQ(campo->texto(), QString("19.255.255.0"));
}

TEST_F(CampoIp, PontoNumCampoVazioNaoAvanca) {
    Digitar(".");
    EXPECT_EQ(QApplication::focusWidget(), campo->campo(0));
    Digitar("7..8");
    EXPECT_EQ(campo->texto(), QString("7.8.0.0"));
}

TEST_F(CampoIp, BackspaceNoInicioVoltaAoCampoAnterior) {
    Digitar("10.20.");
    EXPECT_EQ(QApplication::focusWidget(), campo->campo(2));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    EXPECT_EQ(QApplication::focusWidget(), campo->campo(1));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    EXPECT_EQ(campo->texto(), QString("10.2.0.0"));
}

TEST_F(CampoIp, TextoPontuadoEntraESai) {
    EXPECT_TRUE(campo->vazio());
    EXPECT_EQ(campo->texto(), QString("0.0.0.0"));
    campo->definirTexto("192.168.0.101");
    EXPECT_EQ(Campos(), (QStringList{"192", "168", "0", "101"}));
    campo->definirTexto("10.300.x");
    EXPECT_EQ(Campos(), (QStringList{"10", "255", "", ""}));
    EXPECT_EQ(campo->texto(), QString("10.255.0.0"));
    campo->definirTexto("");
    EXPECT_TRUE(campo->vazio());
}

}  // namespace
}  // namespace tvx::teste
