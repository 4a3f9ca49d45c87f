// Keys on the programming page, sent to the window as the window system
// delivers them: Enter on a focused button presses that button and nothing
// else, Enter in the progress box stays there, and Finish takes its mnemonic
// and an Enter of its own. The simulator listens on 127.0.0.1 of this
// program's own network namespace (main.cpp); the new address is silent,
// so that a programming run would go on to send it.
#include "apoio.h"
#include "sim/simulador.h"
#include "support/rede_isolada.h"

namespace tvx::teste {
namespace {

using TeclasProgramar = TesteUi;

TEST_F(TeclasProgramar, TeclaNoBotaoComFocoApertaSoEsseBotao) {
    const QString ler = "\nTVXNetCfg - v19.1.3\nLeitura iniciada...";
    const QString programar = "\nTVXNetCfg - v19.1.3\nProgramação iniciada...";
    const struct {
        const char* foco;  // object name; "" for the wizard's Finish
        QKeyCombination tecla;
        QString caixa;  // how the box begins after the key
    } casos[] = {
        {"ctl1002", Qt::Key_Return, ler},
        {"ctl1001", Qt::Key_Return, "\nTVXNetCfg - v19.1.3\nVerificando IP programado..."},
        {"ctl1004", Qt::Key_Return, ""},
        {"ctl1003", Qt::Key_Return, "\nFinalizando tarefas...\nTarefas finalizadas."},
        {"ctl1028", Qt::Key_Return, "\n"},
        {"", Qt::Key_Return, programar},
        {"ctl1002", Qt::ALT | Qt::Key_C, programar},  // "&Concluir"
    };
    TVX_NO_PROCESSO_ISOLADO([&](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        for (const auto& c : casos) {
            SCOPED_TRACE(std::string(c.foco) + " " + std::to_string(c.tecla.toCombined()));
            sim::Simulador simulador(3);
            ASSERT_TRUE(simulador.IniciarTcp("127.0.0.1"));
            eq.SetModelo(3);
            eq.SetMeio(kMeioEsteIp);
            eq.SetIpProgramacao("127.0.0.1");
            eq.SetIpNovo("10.77.0.5");
            eq.SetMascaraNova("255.255.255.0");
            eq.SetGatewayNovo("10.77.0.1");
            eq.Configuracao(true);
            Abrir(3);
            ASSERT_EQ(w->currentId(), kPaginaProgramar);
            cDlgProgramar* pagina = w->PaginaProgramar();
            w->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
            QWidget* foco =
                *c.foco ? pagina->findChild<QWidget*>(c.foco) : w->button(QWizard::FinishButton);
            foco->setFocus(Qt::TabFocusReason);
            Processar();
            ASSERT_EQ(QApplication::focusWidget(), foco);

            QTest::keyClick(w->windowHandle(), c.tecla.key(), c.tecla.keyboardModifiers());
            const auto caixa = [&] { return pagina->Controles().ctl1028->toPlainText(); };
            Aguardar([&] { return caixa().size() >= c.caixa.size(); }, 5s);
            // A read runs to its end: what reached the equipment is all it sent.
            ASSERT_TRUE(c.caixa != ler ||
                        Aguardar([&] { return !pagina->Trabalho().EmExecucao(0); }, 30s));
            pagina->Trabalho().Para();
            Processar(100ms);
            EXPECT_TRUE(caixa().startsWith(c.caixa)) << caixa().toStdString();
            EXPECT_EQ(caixa().count("TVXNetCfg - v19.1.3"), c.caixa.contains("TVXNetCfg") ? 1 : 0);
            if (c.caixa != programar) {
                for (const sim::Troca& t : simulador.Trocas()) {
                    EXPECT_TRUE(!t.recebido || t.descricao.starts_with("'L' 31")) << t.descricao;
                }
                EXPECT_EQ(simulador.Pedidos() > 0, c.caixa == ler);
            }
            w.reset();
        }
    });
}

}  // namespace
}  // namespace tvx::teste
