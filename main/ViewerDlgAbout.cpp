// The About dialog, opened from the context menu and with F1.

#include "main/ViewerDlg.h"

void CViewerDlg::ShowAbout() {}

void CViewerDlg::AddAboutEntry() {}

bool CViewerDlg::event(QEvent* event)
{
    return QDialog::event(event);
}
