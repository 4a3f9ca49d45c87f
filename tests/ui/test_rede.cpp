// The telemetry unit TVX3300E programmed end to end through the wizard: every
// setting typed into the grid of page 3, as the technician does, reaches the
// simulated unit on the factory address, and its new addresses wait there
// for the power cycle the run does not send. The address exists only in the
// network namespace this whole program moved into (main.cpp).
#include <QAbstractButton>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "apoio.h"
#include "core/utilitarios.h"
#include "paginas/parametros.h"
#include "sim/simulador.h"
#include "support/rede_isolada.h"
#include "ui/dlg_meio_comunicacao.h"
#include "ui/dlg_modelo.h"
#include "ui/dlg_programar.h"
#include "ui_dlg_meio_comunicacao.h"
#include "ui_dlg_modelo.h"
#include "ui_dlg_programar.h"

namespace tvx::teste {
namespace {

TEST_F(TesteUi, Modelo23TodosOsPassosPelaGradeEIpNovoAoReligar) {
    TVX_NO_PROCESSO_ISOLADO([&](RedeIsolada& rede) {
        ASSERT_EQ(rede.Interfaces(), std::vector<std::string>{"lo"});
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
        // The new address's network leads nowhere: its echo goes unanswered.
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.23.0.0/24"));
        sim::Simulador simulador(23);
        ASSERT_TRUE(simulador.IniciarTcp("192.168.0.101"));

        Abrir();
        QComboBox* modelos = w->PaginaModelo()->Controles().ctl1012;
        const int posicao = modelos->findData(23);
        ASSERT_EQ(modelos->itemText(posicao), QString("TVX3300E - Telemetria"));
        modelos->setCurrentIndex(posicao);
        emit modelos->activated(posicao);
        Avancar();
        w->PaginaMeio()->Controles().ctl1017->click();
        Avancar();
        ASSERT_EQ(w->currentId(), kPaginaParametros);
        w->PaginaParametros()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
        Digitar(kRotuloIp, "10.23.0.5");
        Digitar(kRotuloMascara, "255.255.255.0");
        Digitar(kRotuloGateway, "10.23.0.1");
        Marcar("Alterar RTU e Velocidade?");
        Digitar(kRotuloRtu, "7");
        Escolher(kRotuloVelocidade, "9600");
        Marcar("Alterar Operadora e ID de Telemetria?");
        Escolher(kRotuloOperadora, "2 - Brasil - CLARO");
        Digitar(kRotuloIdTelemetria, "551199887766");
        Marcar("Alterar MAC?");
        Editar(kRotuloMac);
        // The fixed prefix stays; only the last three bytes are typed.
        w->PaginaParametros()->Lista().Texto()->setCursorPosition(0);
        QTest::keyClicks(w->PaginaParametros()->Lista().Texto(), "010203");
        Marcar("Alterar URL?");
        Digitar(kRotuloUrl, "tvx.exemplo.com.br:7001");
        ASSERT_FALSE(HasFatalFailure());
        Avancar();
        ASSERT_TRUE(caixas.empty());
        ASSERT_EQ(w->currentId(), kPaginaProgramar);

        cDlgProgramar* pagina = w->PaginaProgramar();
        pagina->Controles().ctl1000->click();
        ASSERT_TRUE(Aguardar([&] { return !pagina->Trabalho().EmExecucao(0); }, 90s));
        Processar(300ms);
        const QString eco = "Ping recebido de 192.168.0.101 ,Status=0 ,Tempo:";
        QStringList linhas = pagina->Controles().ctl1028->toPlainText().split('\n');
        for (QString& linha : linhas) {
            if (linha.startsWith(eco) && linha.endsWith(" ms ,Bytes:32")) {
                linha = "<eco>";
            }
        }
        // This unit is not restarted by the run: the read shows the addresses
        // still in force.
        EXPECT_EQ(linhas,
                  (QStringList{"",
                               "TVXNetCfg - v19.1.3",
                               "Programação iniciada...",
                               "Verificando se o IP de programação está presente na rede...",
                               "<eco>",
                               "Ping falhou: 11010",
                               "Conectando no equipamento...",
                               "Enviando programação de RTU e Velocidade...",
                               "OK.",
                               "Enviando programação de ID e Operadora...",
                               "OK.",
                               "Enviando programação de MAC...",
                               "OK.",
                               "Enviando programação de URL...",
                               "OK.",
                               "Reconectando no equipamento...",
                               "Enviando programação de IP...",
                               "Programação de IP OK.",
                               "OK",
                               "Programação finalizada.",
                               "Leitura iniciada...",
                               "<eco>",
                               "IP:192.168.0.101",
                               "MASK:255.255.255.0",
                               "GW:0.0.0.0",
                               "INFORMAÇÃO EXTRA",
                               "TVX3300E - Telemetria",
                               "IP: 192.168.0.101",
                               "Mask: 255.255.255.0",
                               "Gateway: 0.0.0.0",
                               "MAC: 02:B4:6D:01:02:03",
                               "RTU: 7",
                               "Velocidade: 9600",
                               "Operadora: 2",
                               "ID: 551199887766",
                               "URL: tvx.exemplo.com.br:7001",
                               "",
                               "Leitura finalizada."}));
        EXPECT_EQ(pagina->Trabalho().programado, 1);
        EXPECT_EQ(QString::fromStdString(Log().texto),
                  pagina->Controles().ctl1028->toPlainText().mid(1) + "\n");

        const sim::EstadoEquipamento estado = simulador.Estado();
        EXPECT_EQ(estado.velocidade, 96);
        EXPECT_EQ(estado.operadora, 2);
        EXPECT_EQ(estado.ip, TextoParaIp("192.168.0.101"));
        EXPECT_EQ(estado.resets, 0);
        // Switched off and on, the unit comes back on the programmed addresses.
        simulador.Reiniciar();
        const sim::EstadoEquipamento religado = simulador.Estado();
        EXPECT_EQ((std::array<uint32_t, 3>{religado.ip, religado.mascara, religado.gateway}),
                  (std::array<uint32_t, 3>{TextoParaIp("10.23.0.5"), TextoParaIp("255.255.255.0"),
                                           TextoParaIp("10.23.0.1")}));
        w.reset();
    });
}

}  // namespace
}  // namespace tvx::teste
