#include "app/ViewerApp.h"

#include "main/ViewerDlg.h"

#include <QIcon>

CViewerApp::CViewerApp(int& argc, char** argv) : CApplikation(argc, argv)
{
    setWindowIcon(QIcon(":/tavrin.png"));
}

CViewerApp::~CViewerApp() = default;

bool CViewerApp::InitInstance()
{
    CApplikation::InitInstance();
    CViewerDlg dlg;
    dlg.exec();
    // The dialog's modal loop was the program's only loop: nothing is left to run.
    return false;
}
