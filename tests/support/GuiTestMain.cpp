#include "app/ViewerApp.h"
#include "tests/support/DialogDriver.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()).constData(), 1);
    setenv("HOME", QFile::encodeName(config.path()).constData(), 1);
    OdbcConfigDir();
    // As on a German desktop, where the program must not hand the drivers a decimal comma;
    // a test of German texts on another desktop asks for a foreign one.
    setenv("LC_ALL", getenv("TAVRIN_FOREIGN_DESKTOP") ? "C.UTF-8" : "de_DE.UTF-8", 1);
    CViewerApp app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
