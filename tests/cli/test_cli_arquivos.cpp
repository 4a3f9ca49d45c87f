// tvxnetcfg-cli and a terminal that goes away: a reader that closes the pipe
// or a hang-up in the middle of a run never costs a line of the log or leaves
// the device half programmed.
#include <gtest/gtest.h>

#include <string>

#include "processo.h"
#include "support/rede_isolada.h"

#ifdef TVX_COM_SIMULADOR
#include "core/utilitarios.h"
#include "sim/simulador.h"

namespace tvx::teste {
namespace {

TEST(CliArquivos, PipeFechadoESinalHupNoMeioDaExecucao) {
    struct Caso {
        const char* leitor;  // what reads the program's output, as a shell pipes it
        const char* codigo;  // the program's exit code
        const char* ultima;  // the log's last line
    } casos[] = {
        {"head -n 8", "0\n", "Leitura finalizada."},
        // The terminal closed: a hang-up, and nobody reads any more.
        {"{ while IFS= read -r l; do echo \"$l\"; [ \"$l\" = 'Equipamento "
         "reiniciado.Aguardando retorno do reset..' ] && break; done; kill -HUP $(cat pid); }",
         "5\n", "Tarefas finalizadas."},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        for (const Caso& c : casos) {
            SCOPED_TRACE(c.leitor);
            sim::Simulador equipamento(3);
            ASSERT_TRUE(equipamento.IniciarTcp("127.0.0.2"));
            PastaTemporaria pasta;
            rede.Executar("cd " + pasta.Caminho() +
                          " && { " TVX_CLI
                          " --model 3 --medium 1 --address 127.0.0.2 --ip 10.0.0.50 --mask "
                          "255.255.255.0 --gateway 10.0.0.1 program & echo $! > pid; wait $!; "
                          "echo $? > rc; } | " +
                          c.leitor + " > lidas");
            EXPECT_EQ(LerArquivo(pasta / "rc"), c.codigo);
            // Every line in the log, in order, those the pipe took among them.
            const LogLido log = LerLog(LerArquivo(pasta / "tvxnetcfg.log"));
            EXPECT_TRUE(log.texto.starts_with(LerArquivo(pasta / "lidas"))) << log.texto;
            EXPECT_TRUE(log.texto.ends_with(std::string("\n") + c.ultima + "\n")) << log.texto;
            // The device went through the whole programming and its restart; the
            // hang-up cut the countdown.
            EXPECT_EQ(log.texto.find("\n1s...\n") != std::string::npos, c.codigo[0] == '0');
            EXPECT_EQ(equipamento.Estado().ip, TextoParaIp("10.0.0.50"));
            EXPECT_EQ(equipamento.Estado().resets, 1);
        }
    });
}

}  // namespace
}  // namespace tvx::teste

#endif
