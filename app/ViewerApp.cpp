#include "app/ViewerApp.h"

#include "main/ViewerDlg.h"

#include <QEventLoop>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <clocale>

CViewerApp::CViewerApp(int& argc, char** argv) : CApplikation(argc, argv)
{
    setWindowIcon(QIcon(":/tavrin.png"));
    // QApplication took the desktop's locale for the C library too. A German desktop's decimal
    // comma would then reach the drivers: psqlODBC hands out 0.5 as "0,5", which no data source
    // reads back as a number. Numbers between the program and the drivers keep the point; the
    // German forms on screen come from QLocale.
    std::setlocale(LC_NUMERIC, "C");
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
    // would take a click or a key while the program runs. Its end is the program's end; a plain
    // loop, since quitting the application would first ask every window to close, and the tool
    // windows refuse.
    QEventLoop loop;
    QObject::connect(&dlg, &QDialog::finished, &loop, &QEventLoop::quit);
    dlg.show();
    loop.exec();
    return false;
}
