#include "tools/ToolDlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QResizeEvent>
#include <algorithm>

namespace {

void FillWithMargin(QWidget* control, const QSize& client)
{
    control->setGeometry(1, 1, std::max(0, client.width() - 2), std::max(0, client.height() - 2));
}

} // namespace

CToolDlg::CToolDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
{
}

void CToolDlg::InitTool(QWidget* control)
{
    m_control = control;
    m_bInitialized = true;
    // The user may shrink the window as far as the window system lets him.
    setMinimumSize(0, 0);
    FillWithMargin(m_control, size());
}

void CToolDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!m_bInitialized || !m_control)
        return;
    FillWithMargin(m_control, size());
}

void CToolDlg::closeEvent(QCloseEvent* event)
{
    // Only the main dialog hides a tool window; it lives as long as the main dialog does.
    event->ignore();
    OnToolClose();
}

void CToolDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // QDialog would hide the window behind the main dialog's back.
        event->accept();
        OnToolClose();
        return;
    case Qt::Key_Enter:
    case Qt::Key_Return:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
