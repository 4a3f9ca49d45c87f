#include <QApplication>
#include <QIcon>

#include "ui/aplicacao.h"

int main(int argc, char* argv[]) {
    QApplication aplicativo(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tvxnetcfg"));
    QApplication::setApplicationVersion(QStringLiteral("19.1.3"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tvxnetcfg/tvxnetcfg.png")));
    tvx::cAplicacao aplicacao;
    aplicacao.InitInstance();
    return 0;
}
