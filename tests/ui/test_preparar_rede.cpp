// The programming page before a run over TCP: the diagnosis and the question
// box, the temporary address for as long as the wizard is open, and the
// progress box and log with the run's lines only. The computer is this
// process's isolated network (main.cpp), joined by a veth pair to a field
// with the simulator at 192.168.0.101.
#include <cstdlib>
#include <memory>

#include "apoio.h"
#include "sim/simulador.h"
#include "support/rede_campo.h"
#include "support/rede_isolada.h"

namespace tvx::teste {
namespace {

using PrepararRedeNoAssistente = TesteUi;

TEST_F(PrepararRedeNoAssistente, PerguntaEnderecoEnquantoAberto) {
    const QString pergunta = QString::fromUtf8(
        "192.168.0.101 não está em nenhuma rede deste computador (não há rota para ele). A "
        "interface tvx0 está com link, mas não tem endereço na rede 192.168.0.0/24 do "
        "equipamento.\n\nAdicionar o endereço temporário 192.168.0.100/24 à interface tvx0 até o "
        "assistente ser fechado?");
    const struct {
        RespostaMensagem resposta;
        std::string durante;  // addresses of tvx0 after the run
        const char* ultimaLinha;
    } casos[] = {
        {RespostaMensagem::Sim, "192.168.0.100/24 ", "Leitura finalizada."},
        {RespostaMensagem::Nao, "", "Programação encerrada.Ping com falha para IP de programação."},
    };
    TVX_NO_PROCESSO_ISOLADO([&](RedeIsolada& rede) {
        // Another test of this program may have put the device's address on lo.
        rede.Executar("ip addr del 192.168.0.101/32 dev lo 2>/dev/null");
        setenv("XDG_RUNTIME_DIR", pasta.c_str(), 1);
        for (const auto& c : casos) {
            SCOPED_TRACE(c.ultimaLinha);
            RedeCampo campo(rede);
            ASSERT_TRUE(campo.Ok());
            ASSERT_EQ(campo.Comando("ip addr add 192.168.0.101/24 dev campo0"), 0);
            std::unique_ptr<sim::Simulador> simulador;
            campo.Executar([&] {
                simulador = std::make_unique<sim::Simulador>(3);
                EXPECT_TRUE(simulador->IniciarTcp("192.168.0.101"));
            });
            caixas.clear();
            resposta = c.resposta;
            eq.SetModelo(3);
            eq.SetIpNovo("192.168.0.150");
            eq.SetMascaraNova("255.255.255.0");
            eq.SetGatewayNovo("192.168.0.1");
            eq.Configuracao(true);
            Abrir(3);
            ASSERT_EQ(w->currentId(), kPaginaProgramar);
            cDlgProgramar* pagina = w->PaginaProgramar();
            pagina->Controles().ctl1000->click();
            ASSERT_TRUE(Aguardar([&] { return !pagina->Trabalho().EmExecucao(0); }, 90s));
            Processar(300ms);
            EXPECT_EQ(caixas, (Caixas{{IconeMensagem::Pergunta, pergunta}}));
            EXPECT_EQ(EnderecosIpv4(rede, "tvx0"), c.durante);

            // The run's own lines, from its banner to its end, in the box as in the log.
            const QString caixa = pagina->Controles().ctl1028->toPlainText();
            const std::string log = Log().texto;
            EXPECT_TRUE(caixa.startsWith("\nTVXNetCfg - v19.1.3\n")) << caixa.toStdString();
            EXPECT_TRUE(caixa.endsWith(QString("\n") + c.ultimaLinha)) << caixa.toStdString();
            EXPECT_TRUE(log.starts_with("TVXNetCfg - v19.1.3\n")) << log;
            EXPECT_TRUE(log.ends_with("\n" + std::string(c.ultimaLinha) + "\n")) << log;

            w.reset();
            EXPECT_EQ(EnderecosIpv4(rede, "tvx0"), "");
            campo.Executar([&] { simulador.reset(); });
        }
        unsetenv("XDG_RUNTIME_DIR");
    });
}

}  // namespace
}  // namespace tvx::teste
