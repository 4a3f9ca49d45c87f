// The communication medium page with the computer's ports: a discovery tree
// of the test's own stands for /sys/class/tty.
#include <QComboBox>
#include <QRadioButton>
#include <fstream>

#include "apoio/apoio_ui.h"
#include "ui/dlg_meio_comunicacao.h"
#include "ui_dlg_meio_comunicacao.h"

namespace tvx::teste {
namespace {

namespace fs = std::filesystem;

class PaginaMeioPortas : public TesteUi {
  protected:
    fs::path Tty() const { return pasta / "sys/class/tty"; }

    // A port on a plain PCI card, as the kernel's tty class lists it.
    void Porta(const std::string& nome) {
        const fs::path dispositivo = pasta / "sys/devices/pci0000:00" / nome;
        const fs::path tty = dispositivo / "tty" / nome;
        fs::create_directories(tty);
        fs::create_directories(pasta / "sys/bus/pci");
        fs::create_directories(Tty());
        Ligar(dispositivo / "subsystem", pasta / "sys/bus/pci");
        std::ofstream(tty / "uevent") << "MAJOR=188\nMINOR=0\nDEVNAME=" << nome << "\n";
        Ligar(tty / "device", dispositivo);
        Ligar(Tty() / nome, tty);
    }

    // Opens the wizard on page 2 with the ports of raiz.
    std::unique_ptr<cAssistente> AbrirNoMeio(const fs::path& raiz) {
        auto w = std::make_unique<cAssistente>(eq);
        w->PaginaMeio()->DefinirRaizPortas(raiz.string());
        w->show();
        Processar();
        w->next();
        Processar();
        return w;
    }

    QStringList Itens(QComboBox* lista) const {
        QStringList itens;
        for (int i = 0; i < lista->count(); ++i) {
            itens << lista->itemText(i);
        }
        return itens;
    }

  private:
    static void Ligar(const fs::path& link, const fs::path& alvo) {
        fs::create_directory_symlink(fs::relative(alvo, link.parent_path()), link);
    }
};

TEST_F(PaginaMeioPortas, PortaDoArquivoEscolheAPrimeiraQueComecaComEla) {
    for (const char* nome : {"ttyUSB10", "ttyUSB2", "ttyUSB1"}) {
        Porta(nome);
    }
    std::ofstream(pasta / "tvxnetcfg.ini") << "[CONFIG]\r\nmodelo=3\r\n[MEIO]\r\ntipo=2\r\n"
                                              "porta=ttyusb1\r\nrtu=17\r\n";
    eq.Configuracao(false);
    auto w = AbrirNoMeio(Tty());
    auto& meio = w->PaginaMeio()->Controles();
    EXPECT_EQ(Itens(meio.ctl1020), (QStringList{"ttyUSB1", "ttyUSB10", "ttyUSB2"}));
    EXPECT_EQ(meio.ctl1020->currentText(), QString("ttyUSB1"));
    EXPECT_TRUE(meio.ctl1019->isChecked());
    EXPECT_TRUE(meio.ctl1020->isVisible());
    EXPECT_TRUE(meio.ctl1021->isVisible());
    EXPECT_EQ(meio.ctl1022->currentText(), QString("017"));
    // No "velocidade" key: 38400.
    EXPECT_EQ(meio.ctl1021->currentText(), QString("38400"));
    EXPECT_TRUE(caixas.empty());

    meio.ctl1020->setCurrentIndex(1);
    w->next();
    Processar();
    EXPECT_EQ(eq.GetPorta(), "ttyUSB10");
    EXPECT_EQ(ValorIni(pasta / "tvxnetcfg.ini", "MEIO", "porta"), "ttyUSB10");
}

// The profile's port selects the entry of the device it opens; one that is
// not listed shows in the empty list and is kept, unless an entry is picked.
TEST_F(PaginaMeioPortas, PortaDoArquivoSelecionadaPeloDispositivoOuGuardada) {
    for (const char* nome : {"ttyS0", "ttyS2", "ttyS10"}) {
        Porta(nome);
    }
    const struct {
        const char *porta, *mostrada;
        int escolhida;  // -1: the technician picks none
        const char* gravada;
    } casos[] = {{"COM3", "ttyS2", -1, "COM3"},
                 {"COM3", "ttyS2", 0, "ttyS0"},
                 {"ttyS1", "", -1, "ttyS1"}};  // not ttyS10
    for (const auto& c : casos) {
        std::ofstream(pasta / "tvxnetcfg.ini")
            << "[CONFIG]\r\nmodelo=3\r\n[MEIO]\r\ntipo=2\r\nporta=" << c.porta << "\r\n";
        eq.Configuracao(false);
        auto w = AbrirNoMeio(Tty());
        QComboBox* lista = w->PaginaMeio()->Controles().ctl1020;
        EXPECT_EQ(lista->currentText() + lista->placeholderText(), QString(c.mostrada) + c.porta);
        if (c.escolhida >= 0) {
            lista->setCurrentIndex(c.escolhida);
        }
        w->next();
        EXPECT_EQ(ValorIni(pasta / "tvxnetcfg.ini", "MEIO", "porta"), c.gravada) << c.porta;
    }
}

TEST_F(PaginaMeioPortas, FalhaDaDescobertaMostraAMensagemESegueSemPortas) {
    const fs::path ausente = pasta / "sem-sysfs";
    eq.SetModelo(3);
    eq.SetPorta("ttyS0");
    auto w = AbrirNoMeio(ausente);
    auto& meio = w->PaginaMeio()->Controles();
    ASSERT_EQ(caixas.size(), 1u);
    EXPECT_EQ(caixas[0].icone, IconeMensagem::Erro);
    EXPECT_TRUE(caixas[0].texto.startsWith("Could not read from "))
        << caixas[0].texto.toStdString();
    EXPECT_EQ(meio.ctl1020->count(), 0);
    meio.ctl1019->click();
    w->next();
    Processar();
    EXPECT_EQ(w->currentId(), kPaginaParametros);
    EXPECT_EQ(ValorIni(pasta / "tvxnetcfg.ini", "MEIO", "porta"), "ttyS0");
    EXPECT_EQ(ValorIni(pasta / "tvxnetcfg.ini", "MEIO", "tipo"), "2");
}

TEST_F(PaginaMeioPortas, CliqueNumMeioMudaOEquipamentoAntesDoAvancar) {
    eq.SetModelo(2);
    auto w = AbrirNoMeio(Tty() / "nada");
    caixas.clear();
    auto& meio = w->PaginaMeio()->Controles();
    meio.ctl1018->click();
    EXPECT_EQ(eq.GetMeio(), 1u);
    EXPECT_TRUE(meio.ctl1003->isVisible());
    EXPECT_FALSE(meio.ctl1020->isVisible());
    meio.ctl1019->click();
    EXPECT_EQ(eq.GetMeio(), 2u);
    EXPECT_FALSE(meio.ctl1003->isVisible());
    EXPECT_TRUE(meio.ctl1022->isVisible());
    // Clicking the checked button again keeps it checked.
    meio.ctl1019->click();
    EXPECT_TRUE(meio.ctl1019->isChecked());
    EXPECT_FALSE(meio.ctl1018->isChecked());
    EXPECT_FALSE(meio.ctl1017->isChecked());
    EXPECT_EQ(w->PaginaMeio()->Estado(), 2u);
}

}  // namespace
}  // namespace tvx::teste
