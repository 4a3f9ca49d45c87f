// The whole process moves into a network namespace of its own before Qt
// starts and before any other thread exists, for the run against the
// simulator on the factory address: the application object, the wizard, the
// simulator and the worker then all live there, and Qt's globals never
// outlive the thread that created them. The widget tests share the one
// application object.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/rede_isolada.h"

namespace {

QtMessageHandler manipuladorPadrao = nullptr;

// The offscreen platform's notice about size hints comes for every window it
// sizes; everything else Qt says still shows.
void Filtrar(QtMsgType tipo, const QMessageLogContext& contexto, const QString& texto) {
    if (!texto.contains(QLatin1String("does not support propagateSizeHints"))) {
        manipuladorPadrao(tipo, contexto, texto);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    tvx::teste::IsolarProcesso();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    manipuladorPadrao = qInstallMessageHandler(Filtrar);
    QApplication aplicativo(argc, argv);
    return RUN_ALL_TESTS();
}
