#include <gtest/gtest.h>

#include <cstdlib>

#include "shell/application.h"
#include "shell/qt_translations.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    shell::Application app(argc, argv);
    shell::LoadQtTranslations(app);  // as the program does: by the system's language
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
