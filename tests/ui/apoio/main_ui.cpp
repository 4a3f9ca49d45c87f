// The widget tests share one QApplication, created before any test runs.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
    // Listing the tests also creates the application: never on a real display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication aplicativo(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
