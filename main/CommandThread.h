#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

class CProgressDlg;
class QEventLoop;
class QTimer;
class QWidget;

// Runs a command's body on a worker thread, so that the window never waits on a driver call: the
// GUI thread keeps painting, shows the progress window and can cancel the driver's work. The body
// stays written as if it ran alone; what it reports is handed to the GUI thread in batches, and
// what must happen on the GUI thread (reading a list, making a window) hops there and back.
class CCommandThread : public QObject
{
    Q_OBJECT

public:
    // Lines for the Information window arrive at show, on the GUI thread, oldest first.
    using LineSink = std::function<void(std::deque<std::string>& lines)>;

    // While the command runs, input to mainDlg (but for Escape, which cancels) is dropped;
    // cancelDriver stops a driver call that is under way, from the GUI thread.
    CCommandThread(QWidget* mainDlg, CProgressDlg& progress, std::function<void()> cancelDriver,
                   LineSink show);
    ~CCommandThread() override;
    CCommandThread(const CCommandThread&) = delete;
    CCommandThread& operator=(const CCommandThread&) = delete;

    // On the GUI thread: runs work on a worker and returns when it has ended, having shown
    // every line it reported.
    void Run(const std::function<void()>& work);
    // A line for the Information window, from either thread; only the newest lines count, since
    // the window keeps no more.
    void PostLine(const std::string& line);
    // Runs f on the GUI thread and waits for it; called on the GUI thread, runs it at once.
    void OnGui(const std::function<void()>& f);
    // Stops the command: the flag the body looks at per row, and the driver call under way.
    void Cancel();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Tick();
    void ShowLines();

    QWidget* m_pMainDlg;
    CProgressDlg& m_progress;
    std::function<void()> m_cancelDriver;
    LineSink m_show;
    QEventLoop* m_loop = nullptr;
    bool m_bStopAsked = false;
    std::mutex m_linesMutex;
    std::deque<std::string> m_lines;
    std::deque<std::string> m_shown;
};
