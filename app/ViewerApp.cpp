#include "app/ViewerApp.h"

#include "main/ViewerDlg.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

CViewerApp::CViewerApp(int& argc, char** argv) : CApplikation(argc, argv)
{
    setWindowIcon(QIcon(":/tavrin.png"));
    // The program speaks German whatever the desktop's language: Qt's own dialogs, buttons and
    // context menus as well.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::German), "qtbase", "_",
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
}

CViewerApp::~CViewerApp() = default;

bool CViewerApp::InitInstance()
{
    CApplikation::InitInstance();
    CViewerDlg dlg;
    // QDialog::exec() would make the main dialog application-modal, and then no tool window
    // would take a click or a key while the program runs. Its end is the program's end.
    setQuitOnLastWindowClosed(false);
    QObject::connect(&dlg, &QDialog::finished, this, &QCoreApplication::quit);
    dlg.show();
    exec();
    return false;
}
