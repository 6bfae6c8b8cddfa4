#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // ctest sets the platform; listing the tests at build time does not.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
