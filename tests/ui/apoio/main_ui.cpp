// The widget tests share one QApplication, created before any test runs.
#include <gtest/gtest.h>

#include <QApplication>

#include "apoio/apoio_ui.h"

int main(int argc, char* argv[]) {
    tvx::teste::FiltrarMensagensDoQt();
    // Listing the tests also creates the application: never on a real display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication aplicativo(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
