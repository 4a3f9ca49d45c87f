// The plan window driven through a whole plan against three simulated meters,
// opened from page 1, answered with the keys and buttons its question names.
// The loopback addresses are those of the network namespace this program
// moved into before Qt started (main.cpp).
#include <QLabel>
#include <QTableWidget>
#include <algorithm>
#include <fstream>

#include "apoio.h"
#include "core/texto.h"
#include "sim/simulador.h"
#include "support/rede_isolada.h"
#include "ui/dlg_plano.h"

namespace tvx::teste {
namespace {

using JanelaPlano = TesteUi;

std::vector<std::string> Estados(QTableWidget* tabela) {
    std::vector<std::string> estados;
    for (int l = 0; l < tabela->rowCount(); ++l) {
        estados.push_back(tabela->item(l, 5)->text().toStdString());
    }
    return estados;
}

TEST_F(JanelaPlano, UmPlanoInteiroPelaJanela) {
    TVX_NO_PROCESSO_ISOLADO([&](RedeIsolada&) {
        sim::Simulador s1(15), s2(15), s3(15);
        ASSERT_TRUE(s1.IniciarTcp("127.0.0.5") && s2.IniciarTcp("127.0.0.6") &&
                    s3.IniciarTcp("127.0.0.7"));
        std::ofstream(pasta / "plano.csv") << "modelo;meio;endereco;ip;mascara;gateway\n"
                                              "15;1;127.0.0.5;10.20.0.11;255.255.255.0;10.20.0.1\n"
                                              "15;1;127.0.0.6;10.20.0.12;255.255.255.0;10.20.0.1\n"
                                              "15;1;127.0.0.7;10.20.0.13;255.255.255.0;10.20.0.1\n";
        arquivoEscolhido = QString::fromStdString((pasta / "plano.csv").string());
        Abrir();
        w->PaginaModelo()->Controles().botaoPlano->click();
        auto* janela = w->findChild<cDlgPlano*>();
        ASSERT_NE(janela, nullptr);
        EXPECT_EQ(dialogos.back().split('|')[0], QString(kTituloPlano));
        const auto pergunta = [&] { return janela->Pergunta()->text().toStdString(); };
        const auto executando = [&] {
            return janela->Execucao()->FaseAtual() == plano::Fase::Execucao;
        };
        const auto aguardarFim = [&] { return Aguardar([&] { return !executando(); }, 60s); };

        EXPECT_EQ(pergunta(),
                  "Conecte o equipamento 1 de 3: TVX8100, novo IP 10.20.0.11 — Enter continua, "
                  "p pula, q encerra");
        QTest::keyClick(janela, Qt::Key_Return);
        ASSERT_TRUE(executando());
        EXPECT_FALSE(janela->BotaoContinuar()->isEnabled());
        ASSERT_TRUE(aguardarFim());
        EXPECT_EQ(pergunta(),
                  "Conecte o equipamento 2 de 3: TVX8100, novo IP 10.20.0.12 — Enter continua, "
                  "p pula, q encerra");
        QTest::keyClick(janela, Qt::Key_P);
        ASSERT_TRUE(
            Aguardar([&] { return pergunta().rfind("Conecte o equipamento 3", 0) == 0; }, 2s));
        janela->BotaoContinuar()->click();
        ASSERT_TRUE(aguardarFim());
        EXPECT_EQ(Estados(janela->Tabela()),
                  (std::vector<std::string>{"feito", "pulado", "feito"}));
        EXPECT_EQ(pergunta(),
                  "Equipamentos: 3 — feitos: 2, com falha: 0, pulados: 1, interrompidos: 0, "
                  "pendentes: 0");
        EXPECT_EQ(s2.Pedidos(), 0u);

        // The skipped one, chosen in the table and repeated.
        janela->Tabela()->selectRow(1);
        janela->BotaoRepetir()->click();
        ASSERT_TRUE(aguardarFim());
        EXPECT_EQ(Estados(janela->Tabela()), (std::vector<std::string>{"feito", "feito", "feito"}));
        const std::string caixa = janela->Caixa()->toPlainText().toStdString();
        const std::string log =
            LerLog(LerArquivo(pasta / "plano.relatorio/equipamento-02.log")).texto;
        EXPECT_EQ(caixa, "\n" + log.substr(0, log.size() - 1));
        EXPECT_EQ(log.rfind("Leitura finalizada.\n"), log.size() - 20);
        const std::string relatorio =
            Cp1252ParaUtf8(LerArquivo(pasta / "plano.relatorio/relatorio.csv"));
        EXPECT_EQ(std::count(relatorio.begin(), relatorio.end(), '\n'), 4);
        EXPECT_EQ(relatorio.find(";pulado;"), std::string::npos) << relatorio;

        // Closed, then opened again: nothing is left to offer.
        janela->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        w->PaginaModelo()->Controles().botaoPlano->click();
        janela = w->findChild<cDlgPlano*>();
        ASSERT_NE(janela, nullptr);
        EXPECT_EQ(janela->Execucao()->FaseAtual(), plano::Fase::Fim);
        EXPECT_FALSE(janela->BotaoContinuar()->isEnabled());
        janela->close();
        w.reset();
    });
}

}  // namespace
}  // namespace tvx::teste
