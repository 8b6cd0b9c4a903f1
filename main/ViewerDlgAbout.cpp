// The About dialog, opened from the context menu and with F1.

#include "app/AboutDlg.h"
#include "main/ViewerDlg.h"
#include "res/resource.h"

#include <QAction>
#include <QKeyEvent>

void CViewerDlg::AddAboutEntry()
{
    const QString text = QString::fromUtf8(res::IDS_ABOUTBOX_TEXT);
    if (text.isEmpty())
        return;
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    addAction(separator);
    auto* about = new QAction(text, this);
    about->setObjectName("IDM_ABOUTBOX");
    connect(about, &QAction::triggered, this, &CViewerDlg::ShowAbout);
    addAction(about);
}

void CViewerDlg::ShowAbout()
{
    if (m_bAboutOpen)
        return;
    m_bAboutOpen = true;
    CAboutDlg about(this);
    about.exec();
    m_bAboutOpen = false;
}

bool CViewerDlg::event(QEvent* event)
{
    // F1 is the help command, and the program's help is its About dialog. A key the focused
    // control leaves alone arrives here.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
            ShowAbout();
            return true;
        }
    }
    return QDialog::event(event);
}
