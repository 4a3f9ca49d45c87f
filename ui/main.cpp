#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

#include "persistence/rastro_arquivo.h"
#include "ui/aplicacao.h"

int main(int argc, char* argv[]) {
    QApplication aplicativo(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tvxnetcfg"));
    QApplication::setApplicationVersion(QStringLiteral("19.1.3"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tvxnetcfg/tvxnetcfg.png")));
    // TVXNETCFG_TRACE=FILE: every frame to and from the equipment into FILE.
    if (const char* rastro = std::getenv(tvx::kVariavelRastro); rastro && *rastro) {
        if (const auto r = tvx::IniciarRastroEmArquivo(rastro); !r.Ok()) {
            std::fprintf(stderr, "tvxnetcfg: %s \"%s\": %s\n", tvx::kVariavelRastro, rastro,
                         tvx::os::MotivoFalha(r).c_str());
        }
    }
    tvx::cAplicacao aplicacao;
    aplicacao.InitInstance();
    return 0;
}
