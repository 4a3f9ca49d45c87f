// tvxnetcfg-cli started outside a technician's folder: the profile and the
// log in the user's folders, and a log that cannot be written said once while
// the run goes on. Each run has HOME and the XDG variables of its own tree,
// in a network namespace of the test's own; nobody listens on 127.0.0.2.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "processo.h"
#include "support/rede_isolada.h"

namespace tvx::teste {
namespace {

TEST(CliPastas, PerfilELogNasPastasDoUsuarioEUmLogQueNaoSeEscreve) {
    const struct {
        const char* ambiente;  // after HOME=<tree>/casa
        bool semPrivilegio;    // as nobody: a read-only folder is read-only
        const char* erros;     // with the log's folder after the quote
    } casos[] = {
        {"", false, ""},
        // A path through a regular file: no user, root included, writes there.
        {"XDG_STATE_HOME=$T/arquivo", false,
         "/arquivo/tvxnetcfg/tvxnetcfg.log\": parte do caminho não é uma pasta\n"},
        {"XDG_STATE_HOME=$T/leitura", true,
         "/leitura/tvxnetcfg/tvxnetcfg.log\": permissão negada\n"},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        ASSERT_EQ(rede.Executar("echo 0 2147483647 > /proc/sys/net/ipv4/ping_group_range"), 0);
        for (const auto& c : casos) {
            SCOPED_TRACE(c.ambiente);
            PastaTemporaria t;
            std::filesystem::remove(t / "tvxnetcfg.ini");  // the working folder of an ordinary user
            const std::string perfil = t / "casa/.config/tvxnetcfg/tvxnetcfg.ini";
            std::filesystem::create_directories(t / "casa/.config/tvxnetcfg");
            std::filesystem::create_directories(t / "leitura");
            GravarArquivo(t / "arquivo", "");
            GravarArquivo(
                perfil,
                "[CONFIG]\r\nmodelo=3\r\n[MEIO]\r\ntipo=1\r\nip=127.0.0.2\r\nporta=COM3\r\n");
            rede.Executar(
                "T=" + t.Caminho() +
                "; chown -R nobody $T/casa; chmod 755 $T; chmod 555 $T/leitura; cd $T && env -i "
                "HOME=$T/casa " +
                c.ambiente +
                (c.semPrivilegio ? " setpriv --reuid=65534 --regid=65534 --clear-groups " : " ") +
                TVX_CLI " --save read >saida 2>erros; echo $? >codigo");

            EXPECT_EQ(LerArquivo(t / "codigo"), "1\n");  // "Não conectou no IP de programação."
            const std::string saida = LerArquivo(t / "saida");
            EXPECT_NE(saida.find("Ping recebido de 127.0.0.2 "), std::string::npos) << saida;
            const std::string falha =
                *c.erros
                    ? "tvxnetcfg-cli: não foi possível escrever no log \"" + t.Caminho() + c.erros
                    : "não foi possível escrever";
            EXPECT_EQ(LerArquivo(t / "erros").find(falha) != std::string::npos, *c.erros != 0);
            // The Windows port name is saved back as it was.
            EXPECT_NE(LerArquivo(perfil).find("porta=COM3\r\nvelocidade=38400\r\n"),
                      std::string::npos);
            const std::string log = t / "casa/.local/state/tvxnetcfg/tvxnetcfg.log";
            ASSERT_EQ(std::filesystem::exists(log), *c.erros == '\0');
            if (*c.erros == '\0') {
                EXPECT_EQ(LerLog(LerArquivo(log)).texto, saida);
                struct stat pasta {};
                ASSERT_EQ(stat((t / "casa/.local/state/tvxnetcfg").c_str(), &pasta), 0);
                EXPECT_EQ(pasta.st_mode & 0777, 0700u);
            }
            EXPECT_FALSE(std::filesystem::exists(t / "tvxnetcfg.log"));
        }
    });
}

}  // namespace
}  // namespace tvx::teste
