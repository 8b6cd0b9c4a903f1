#include "app/ViewerApp.h"
#include "tests/support/DialogDriver.h"

#include <cstdlib>

// Every GUI test runs on the offscreen platform with its settings in a private directory.
int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()).constData(), 1);
    setenv("HOME", QFile::encodeName(config.path()).constData(), 1);
    EnsureOdbcConfig();
    // The program's own application object: its name, its translations.
    CViewerApp app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
