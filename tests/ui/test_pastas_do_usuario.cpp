// The wizard started from the desktop menu: its working folder holds no
// tvxnetcfg.ini, so the profile goes to the user's configuration folder and
// the log to the user's state folder, whose path here runs through a regular
// file, so that no user (root included) can write the log.
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>

#include "apoio.h"
#include "paginas/arquivo_configuracao.h"

namespace tvx::teste {
namespace {

using PastasDoUsuario = TesteUi;

TEST_F(PastasDoUsuario, PerfilNaPastaDeConfiguracaoELogQueNaoSeEscreveDitoUmaVez) {
    const std::filesystem::path propria = pasta / "casa/.config/tvxnetcfg";
    std::filesystem::create_directories(pasta / "menu");
    std::filesystem::current_path(pasta / "menu");
    std::ofstream(pasta / "arquivo") << "";
    const struct Restaurar {
        std::string home = getenv("HOME") != nullptr ? getenv("HOME") : "";
        ~Restaurar() {
            setenv("HOME", home.c_str(), 1);
            unsetenv("XDG_CONFIG_HOME");
            unsetenv("XDG_STATE_HOME");
        }
    } restaurar;
    setenv("HOME", (pasta / "casa").c_str(), 1);
    setenv("XDG_CONFIG_HOME", "relativa", 1);  // not absolute: ignored
    setenv("XDG_STATE_HOME", (pasta / "arquivo").c_str(), 1);
    cAvisosQt avisos(nullptr);
    cAssistente w(eq, IniciarArquivos(eq, avisos));

    w.show();
    eq.SetIpNovo("10.0.0.5");
    eq.SetMascaraNova("255.0.0.0");
    w.PaginaModelo()->Controles().ctl1030->click();
    ASSERT_EQ(dialogos.size(), 1u);
    EXPECT_EQ(dialogos[0].split('|')[1].toStdString(), propria.string());
    for (int i = 0; i < 3; ++i) {
        w.next();
    }
    EXPECT_EQ(Ini("CONFIG", "modelo", propria / "tvxnetcfg.ini"), "1");
    struct stat info {};
    ASSERT_EQ(stat(propria.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(std::filesystem::is_empty(pasta / "menu"));

    // "P&arar" writes two lines: one box for both, and both on the page.
    w.PaginaProgramar()->Controles().ctl1003->click();
    EXPECT_EQ(caixas,
              (Caixas{{IconeMensagem::Erro,
                       QString::fromStdString("Não foi possível escrever no log \"" +
                                              (pasta / "arquivo").string() +
                                              "/tvxnetcfg/tvxnetcfg.log\": parte do caminho "
                                              "não é uma pasta.\nA execução continua; as "
                                              "linhas de progresso ficam só nesta janela.")}}));
    EXPECT_EQ(w.PaginaProgramar()->Controles().ctl1028->toPlainText(),
              QString("\nFinalizando tarefas...\nTarefas finalizadas."));
}

}  // namespace
}  // namespace tvx::teste
