// tvxnetcfg-cli against files it must refuse: a pipe or an oversized file in
// place of the profile or the log is refused at once (exit 2, nothing sent).
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "processo_cli.h"
#include "support/rede_isolada.h"

#ifdef TVX_COM_SIMULADOR
#include "sim/simulador.h"

namespace tvx::teste {
namespace {

TEST(CliArquivos, RecusadosSemEsperarNemEnviar) {
    const std::pair<const char*, const char*> casos[] = {
        {"mkfifo tvxnetcfg.ini", "tvxnetcfg.ini\": não é um arquivo comum"},
        {"head -c 1048577 /dev/zero > tvxnetcfg.ini", "tvxnetcfg.ini\": passa do limite de 1 MiB"},
        {"mkfifo tvxnetcfg.log", "escrever no log \"tvxnetcfg.log\": não é um arquivo comum"},
    };
    // Were a refusal missed, the run would go to the factory address.
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        for (const auto& [preparo, erro] : casos) {
            SCOPED_TRACE(preparo);
            PastaTemporaria pasta;
            ASSERT_EQ(rede.Executar("cd " + pasta.Caminho() + " && " + preparo), 0);
            const ResultadoCli r = ExecutarCli({"read"}, pasta.Caminho(), std::chrono::seconds(10));
            EXPECT_EQ(r.codigo, 2);
            EXPECT_EQ(r.saida, "");
            EXPECT_NE(r.erros.find(erro), std::string::npos) << r.erros;
        }
    });
}

}  // namespace
}  // namespace tvx::teste

#endif
