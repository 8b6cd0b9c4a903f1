#include "tools/ProgressDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr qint64 kShowAfterMs = 500;
// Events at most this often: the window stays alive, the command loses next to nothing.
constexpr qint64 kLookEveryMs = 50;

} // namespace

CProgressDlg::CProgressDlg(QWidget* mainDlg) : QDialog(mainDlg)
{
    setObjectName("IDD_PROGRESS");
    setWindowTitle("Tavrin");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    m_label = new QLabel(this);
    m_label->setObjectName("IDC_PROGRESS_TEXT");
    m_label->setMinimumWidth(320);
    layout->addWidget(m_label);
    auto* cancel = new QPushButton("Abbrechen", this);
    cancel->setObjectName("IDCANCEL");
    cancel->setAutoDefault(false);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    connect(cancel, &QPushButton::clicked, this, &CProgressDlg::reject);
    m_clock.start();
}

CProgressDlg::~CProgressDlg()
{
    if (m_bArrow)
        QApplication::restoreOverrideCursor();
}

void CProgressDlg::SetWork(const std::string& text)
{
    m_strWork = text;
    m_nRows = 0;
    Look();
}

qint64 CProgressDlg::s_lookNs = 0;

bool CProgressDlg::Look()
{
    const qint64 startNs = m_clock.nsecsElapsed();
    const qint64 now = startNs / 1000000;
    if (now < m_nextLook) {
        s_lookNs += m_clock.nsecsElapsed() - startNs;
        return !m_bCancelled;
    }
    m_nextLook = now + kLookEveryMs;
    if (now >= kShowAfterMs && !isVisible() && !m_bCancelled)
        show();
    if (isVisible())
        m_label->setText(QString::fromStdString(m_strWork) +
                         QString(": %L1 Zeilen").arg(static_cast<qulonglong>(m_nRows)));
    // Before the window shows, only painting: a click on the main window must not start a
    // second command in the middle of this one.
    QCoreApplication::processEvents(isVisible() ? QEventLoop::AllEvents
                                                : QEventLoop::ExcludeUserInputEvents);
    s_lookNs += m_clock.nsecsElapsed() - startNs;
    return !m_bCancelled;
}

void CProgressDlg::reject()
{
    // Not closed here: the command stops after its current row and then ends the window.
    m_bCancelled = true;
    m_label->setText("Abbruch ...");
}

void CProgressDlg::showEvent(QShowEvent* event)
{
    // The command shows the wait cursor; over this window the user points at Abbrechen.
    if (!m_bArrow) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        m_bArrow = true;
    }
    QDialog::showEvent(event);
}

void CProgressDlg::hideEvent(QHideEvent* event)
{
    if (m_bArrow) {
        QApplication::restoreOverrideCursor();
        m_bArrow = false;
    }
    QDialog::hideEvent(event);
}
