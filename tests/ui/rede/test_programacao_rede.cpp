// One whole programming run driven through the wizard, against the equipment
// simulator listening on the factory address 192.168.0.101.
//
// The address exists only inside a network namespace of this test's own. A
// namespace belongs to a thread, and the helper runs the body on a new thread
// inside it; Qt widgets must live on the thread that created the application
// object. So this program has no application object of its own: the body
// creates it, the wizard, the simulator and (through the page) the worker all
// on the namespace's thread or on threads started from it, and destroys them
// there before the body ends.
#include <QAbstractButton>
#include <QApplication>
#include <QPlainTextEdit>
#include <algorithm>

#include "apoio/apoio_ui.h"
#include "core/thread_programar.h"
#include "core/utilitarios.h"
#include "sim/simulador.h"
#include "support/rede_isolada.h"
#include "ui/dlg_programar.h"
#include "ui_dlg_programar.h"

namespace tvx::teste {
namespace {

using namespace std::chrono_literals;

using ProgramacaoEmRede = TesteUi;

// The lines of the box (after the leading break) with the ones that carry a
// line break inside split like the log splits them.
std::vector<std::string> LinhasDaCaixa(const QString& caixa) {
    std::vector<std::string> linhas;
    const QStringList partes = caixa.split('\n');
    for (qsizetype i = 1; i < partes.size(); ++i) {
        linhas.push_back(partes[i].toStdString());
    }
    return linhas;
}

// Positions of each expected line, in order, in linhas; -1 where missing.
std::vector<long> PosicoesEmOrdem(const std::vector<std::string>& linhas,
                                  const std::vector<std::string>& esperadas) {
    std::vector<long> posicoes;
    auto inicio = linhas.begin();
    for (const std::string& esperada : esperadas) {
        auto achada = std::find_if(inicio, linhas.end(), [&](const std::string& linha) {
            return linha.rfind(esperada, 0) == 0;
        });
        if (achada == linhas.end()) {
            posicoes.push_back(-1);
            continue;
        }
        posicoes.push_back(achada - linhas.begin());
        inicio = achada + 1;
    }
    return posicoes;
}

TEST_F(ProgramacaoEmRede, ProgramarPeloAssistenteNoEnderecoDeFabrica) {
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        ASSERT_EQ(rede.Interfaces(), std::vector<std::string>{"lo"});
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));

        qputenv("QT_QPA_PLATFORM", "offscreen");
        FiltrarMensagensDoQt();
        int argc = 1;
        char nome[] = "testes_ui_rede";
        char* argv[] = {nome, nullptr};
        QApplication aplicativo(argc, argv);

        sim::Simulador simulador(3);
        ASSERT_TRUE(simulador.IniciarTcp("192.168.0.101"));

        // Model 3 (family 10) at the factory address; the new address is not
        // on this network yet, so its echo goes unanswered.
        eq.SetModelo(3);
        eq.SetIpNovo("192.168.0.150");
        eq.SetMascaraNova("255.255.255.0");
        eq.SetGatewayNovo("192.168.0.1");
        eq.Configuracao(true);
        auto w = AbrirAssistente();
        w->next();  // page 2: "IP Default (192.168.0.101)" of the first start
        w->next();
        w->next();
        Processar();
        ASSERT_EQ(w->currentId(), kPaginaProgramar);
        ASSERT_EQ(eq.GetIpProgramacao(), "192.168.0.101");
        cDlgProgramar* pagina = w->PaginaProgramar();

        // Finish before anything was programmed starts the programming run.
        w->button(QWizard::FinishButton)->click();
        EXPECT_FALSE(w->button(QWizard::BackButton)->isEnabled());
        ASSERT_TRUE(Aguardar([&] { return !pagina->Trabalho().EmExecucao(0); }, 90s));
        Processar(300ms);
        EXPECT_TRUE(w->button(QWizard::BackButton)->isEnabled());

        const auto caixa = LinhasDaCaixa(pagina->Controles().ctl1028->toPlainText());
        const auto log = LinhasDoLog();
        // The box and the log hold the same lines in the same order.
        ASSERT_EQ(caixa.size(), log.size());
        for (size_t i = 0; i < log.size(); ++i) {
            const std::string semData =
                log[i].rfind("<sem data> ", 0) == 0 ? log[i].substr(11) : log[i];
            EXPECT_EQ(caixa[i], semData) << "linha " << i;
        }
        std::vector<std::string> esperadas = {
            "TVXNetCfg - v19.1.3",
            "Programação iniciada...",
            "Verificando se o IP de programação está presente na rede...",
            "Ping recebido de 192.168.0.101 ,Status=0 ,Tempo:",
            "Ping falhou: ",  // the new address is not there yet
            "Conectando no equipamento...",
            "Enviando programação de IP...",
            "Programação de IP OK.",
            "OK",
            "Programação finalizada.",
            "Equipamento reiniciado.Aguardando retorno do reset..",
        };
        for (int n = 10; n >= 1; --n) {
            esperadas.push_back(std::to_string(n) + "s...");
        }
        // The read run that follows finds the equipment with its new settings.
        esperadas.push_back("Leitura iniciada...");
        esperadas.push_back("Ping recebido de 192.168.0.101 ,Status=0 ,Tempo:");
        esperadas.push_back("IP:192.168.0.150");
        esperadas.push_back("MASK:255.255.255.0");
        esperadas.push_back("GW:192.168.0.1");
        esperadas.push_back("INFORMAÇÃO EXTRA");
        esperadas.push_back("Leitura finalizada.");
        const auto posicoes = PosicoesEmOrdem(caixa, esperadas);
        for (size_t i = 0; i < esperadas.size(); ++i) {
            EXPECT_GE(posicoes[i], 0) << "falta \"" << esperadas[i] << "\"";
        }
        EXPECT_EQ(std::count(caixa.begin(), caixa.end(),
                             "Não conectou no equipamento.Verifique o firewall."),
                  0);
        EXPECT_EQ(pagina->Trabalho().programado, 1);

        const sim::EstadoEquipamento estado = simulador.Estado();
        EXPECT_EQ(estado.ip, TextoParaIp("192.168.0.150"));
        EXPECT_EQ(estado.mascara, TextoParaIp("255.255.255.0"));
        EXPECT_EQ(estado.gateway, TextoParaIp("192.168.0.1"));

        // Now Finish asks, and Yes closes the wizard.
        respostaPergunta = RespostaMensagem::Sim;
        w->button(QWizard::FinishButton)->click();
        Processar();
        EXPECT_EQ(caixas.back(), (CaixaMostrada{IconeMensagem::Pergunta, "Deseja Encerrar?"}));
        EXPECT_FALSE(w->isVisible());
        w.reset();
        simulador.Parar();
    });
}

}  // namespace
}  // namespace tvx::teste
