// The wizard end to end against the simulated telemetry unit TVX3300E on the
// factory address, in a field joined by a veth pair to this process's
// isolated network (main.cpp). The diagnosis asks for a temporary address for
// as long as the wizard is open. With Yes, every setting typed into the grid
// of page 3, as the technician does, reaches the unit, whose new addresses
// wait for the power cycle the run does not send; with No the run stops there.

#include <cstdlib>
#include <memory>

#include "apoio.h"
#include "paginas/parametros.h"
#include "sim/simulador.h"
#include "support/rede_campo.h"
#include "support/rede_isolada.h"

namespace tvx::teste {

TEST_F(TesteUi, Modelo23PelaGradeComEnderecoTemporario) {
    const QString pergunta = QString::fromUtf8(
        "192.168.0.101 não está em nenhuma rede deste computador (não há rota para ele). A "
        "interface tvx0 está com link, mas não tem endereço na rede 192.168.0.0/24 do "
        "equipamento.\n\nAdicionar o endereço temporário 192.168.0.100/24 à interface tvx0 até o "
        "assistente ser fechado?");
    TVX_NO_PROCESSO_ISOLADO([&](RedeIsolada& rede) {
        // The new address's network leads nowhere: its echo goes unanswered.
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.23.0.0/24"));
        setenv("XDG_RUNTIME_DIR", pasta.c_str(), 1);
        RedeCampo campo(rede);
        ASSERT_TRUE(campo.Ok());
        ASSERT_EQ(campo.Comando("ip addr add 192.168.0.101/24 dev campo0"), 0);
        std::unique_ptr<sim::Simulador> simulador;
        campo.Executar([&] {
            simulador = std::make_unique<sim::Simulador>(23);
            EXPECT_TRUE(simulador->IniciarTcp("192.168.0.101"));
        });
        resposta = RespostaMensagem::Sim;

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
        EXPECT_EQ(caixas, (Caixas{{IconeMensagem::Pergunta, pergunta}}));
        EXPECT_EQ(EnderecosIpv4(rede, "tvx0"), "192.168.0.100/24 ");
        // This unit is not restarted by the run: the read shows the addresses
        // still in force, and every setting the grid sent.
        QString caixa = pagina->Controles().ctl1028->toPlainText();
        QStringList linhas = caixa.split('\n');
        for (QString& linha : linhas) {
            if (linha.startsWith("Ping recebido de 192.168.0.101 ,Status=0 ,Tempo:") &&
                linha.endsWith(" ms ,Bytes:32")) {
                linha = "<eco>";
            }
        }
        EXPECT_EQ(linhas.join('\n').toStdString(),
                  "\nTVXNetCfg - v19.1.3\nProgramação iniciada...\n"
                  "Verificando se o IP de programação está presente na rede...\n<eco>\n"
                  "Ping falhou: 11010\nConectando no equipamento...\n"
                  "Enviando programação de RTU e Velocidade...\nOK.\n"
                  "Enviando programação de ID e Operadora...\nOK.\n"
                  "Enviando programação de MAC...\nOK.\nEnviando programação de URL...\nOK.\n"
                  "Reconectando no equipamento...\nEnviando programação de IP...\n"
                  "Programação de IP OK.\nOK\nProgramação finalizada.\nLeitura iniciada...\n<eco>\n"
                  "IP:192.168.0.101\nMASK:255.255.255.0\nGW:0.0.0.0\nINFORMAÇÃO EXTRA\n"
                  "TVX3300E - Telemetria\nIP: 192.168.0.101\nMask: 255.255.255.0\n"
                  "Gateway: 0.0.0.0\nMAC: 02:B4:6D:01:02:03\nRTU: 7\nVelocidade: 9600\n"
                  "Operadora: 2\nID: 551199887766\nURL: tvx.exemplo.com.br:7001\n\n"
                  "Leitura finalizada.");
        EXPECT_EQ(QString::fromStdString(Log().texto), caixa.mid(1) + "\n");
        EXPECT_EQ(pagina->Trabalho().programado, 1);
        w.reset();
        EXPECT_EQ(EnderecosIpv4(rede, "tvx0"), "");

        // Switched off and on, the unit comes back on the programmed addresses.
        campo.Executar([&] {
            simulador->Reiniciar();
            const sim::EstadoEquipamento religado = simulador->Estado();
            EXPECT_EQ(
                (std::array<uint32_t, 3>{religado.ip, religado.mascara, religado.gateway}),
                (std::array<uint32_t, 3>{TextoParaIp("10.23.0.5"), TextoParaIp("255.255.255.0"),
                                         TextoParaIp("10.23.0.1")}));
        });

        // No: the run's own lines, from its banner to where it stops.
        std::filesystem::remove(pasta / "tvxnetcfg.log");
        caixas.clear();
        resposta = RespostaMensagem::Nao;
        Abrir(3);
        ASSERT_EQ(w->currentId(), kPaginaProgramar);
        pagina = w->PaginaProgramar();
        pagina->Controles().ctl1000->click();
        ASSERT_TRUE(Aguardar([&] { return !pagina->Trabalho().EmExecucao(0); }, 90s));
        Processar(300ms);
        EXPECT_EQ(caixas, (Caixas{{IconeMensagem::Pergunta, pergunta}}));
        EXPECT_EQ(EnderecosIpv4(rede, "tvx0"), "");
        caixa = pagina->Controles().ctl1028->toPlainText();
        EXPECT_TRUE(caixa.startsWith("\nTVXNetCfg - v19.1.3\n")) << caixa.toStdString();
        EXPECT_TRUE(
            caixa.endsWith("\nProgramação encerrada.Ping com falha para IP de programação."))
            << caixa.toStdString();
        EXPECT_EQ(QString::fromStdString(Log().texto), caixa.mid(1) + "\n");
        w.reset();
        campo.Executar([&] { simulador.reset(); });
        unsetenv("XDG_RUNTIME_DIR");
    });
}

}  // namespace tvx::teste
