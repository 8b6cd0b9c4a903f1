#include "tools/ProgressDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr qint64 kShowAfterMs = 500;

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
    {
        std::lock_guard<std::mutex> lock(m_workMutex);
        m_strWork = text;
    }
    m_nRows = 0;
    m_nShownRows.store(0, std::memory_order_relaxed);
}

qint64 CProgressDlg::s_lookNs = 0;

void CProgressDlg::Tick()
{
    const qint64 startNs = m_clock.nsecsElapsed();
    if (Cancelled()) {
        m_label->setText("Abbruch ...");
    } else {
        if (startNs / 1000000 >= kShowAfterMs && !isVisible()) {
            m_shownAfterMs = startNs / 1000000;
            show();
        }
        if (isVisible()) {
            QString work;
            {
                std::lock_guard<std::mutex> lock(m_workMutex);
                work = QString::fromStdString(m_strWork);
            }
            // Before the first row a statement is at work: the clock shows it is alive.
            const std::uint64_t rows = Rows();
            m_label->setText(
                rows == 0 ? work + QString(": läuft seit %1 s").arg(startNs / 1000000000)
                          : work + QString(": %L1 Zeilen").arg(static_cast<qulonglong>(rows)));
        }
    }
    s_lookNs += m_clock.nsecsElapsed() - startNs;
}

void CProgressDlg::Cancel()
{
    m_bCancelled.store(true, std::memory_order_relaxed);
    m_label->setText("Abbruch ...");
}

void CProgressDlg::reject()
{
    // Not closed here: the command stops and then ends the window.
    if (!Cancelled()) {
        Cancel();
        emit StopRequested();
    }
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
