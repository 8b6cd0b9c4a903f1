#include "main/CommandThread.h"

#include "tools/InfoDlg.h"
#include "tools/ProgressDlg.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>
#include <new>
#include <thread>

namespace {

// Often enough for the window to feel alive, seldom enough to cost the command nothing.
constexpr int kTickMs = 50;
// Long enough for a command that reads rows to come to its next one, short enough that a stop
// of a statement at work still feels immediate.
constexpr int kCancelGraceMs = 250;

} // namespace

CCommandThread::CCommandThread(QWidget* mainDlg, CProgressDlg& progress,
                               std::function<void()> cancelDriver, LineSink show)
    : m_pMainDlg(mainDlg), m_progress(progress), m_cancelDriver(std::move(cancelDriver)),
      m_show(std::move(show))
{
    connect(&m_progress, &CProgressDlg::StopRequested, this, &CCommandThread::Cancel);
}

CCommandThread::~CCommandThread() = default;

void CCommandThread::Run(const std::function<void()>& work)
{
    QEventLoop loop;
    m_loop = &loop;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, &CCommandThread::Tick);
    ticker.start(kTickMs);
    qApp->installEventFilter(this);
    std::thread worker([this, &work] {
        try {
            work();
        } catch (const std::bad_alloc&) {
            PostLine("<<<Memory-Exception>>>");
        }
        QMetaObject::invokeMethod(
            this, [this] { m_loop->quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    qApp->removeEventFilter(this);
    m_loop = nullptr;
    ShowLines();
}

void CCommandThread::PostLine(const std::string& line)
{
    std::lock_guard<std::mutex> lock(m_linesMutex);
    // Once the window's worth is waiting, a new line takes over the storage of the one it
    // pushes out, so a command that reports a line per row allocates nothing per row.
    std::string entry;
    if (m_lines.size() >= CInfoDlg::MaxLines) {
        entry = std::move(m_lines.front());
        m_lines.pop_front();
    }
    entry.assign(line);
    m_lines.push_back(std::move(entry));
}

void CCommandThread::OnGui(const std::function<void()>& f)
{
    if (QThread::currentThread() == thread())
        f();
    else
        QMetaObject::invokeMethod(this, f, Qt::BlockingQueuedConnection);
}

void CCommandThread::Cancel()
{
    if (m_bStopAsked)
        return;
    m_bStopAsked = true;
    m_progress.Cancel();
    // A command that reads rows stops at its next one. The driver is asked to stop only a call
    // that keeps the command from getting there: the SQLite driver's cancel also closes the
    // statement, which must never meet a fetch under way on the worker.
    QTimer::singleShot(kCancelGraceMs, this, [this] {
        if (!m_progress.StopSeen())
            m_cancelDriver();
    });
}

void CCommandThread::Tick()
{
    ShowLines();
    m_progress.Tick();
}

void CCommandThread::ShowLines()
{
    {
        std::lock_guard<std::mutex> lock(m_linesMutex);
        m_shown.swap(m_lines);
    }
    if (!m_shown.empty())
        m_show(m_shown);
    m_shown.clear();
}

bool CCommandThread::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        break;
    default:
        return false;
    }
    // The main window's buttons and fields would start a second command or pull the connection
    // from under this one; the tool windows and the progress window stay usable.
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != m_pMainDlg)
        return false;
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        Cancel();
    return true;
}
