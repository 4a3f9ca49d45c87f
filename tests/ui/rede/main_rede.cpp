// The whole process moves into a network namespace of its own before Qt
// starts and before any other thread exists: the application object, the
// wizard, the simulator and the worker then all live there, and Qt's globals
// never outlive the thread that created them.
#include <gtest/gtest.h>
#include <QApplication>

#include "apoio/apoio_ui.h"
#include "support/rede_isolada.h"

int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    tvx::teste::IsolarProcesso();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    tvx::teste::FiltrarMensagensDoQt();
    QApplication aplicativo(argc, argv);
    return RUN_ALL_TESTS();
}
