#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class QLabel;

// Long work that can be watched and stopped. The command counts its rows from whatever thread it
// runs on; the GUI thread looks at the count: half a second into a command a window modal to the
// main dialog shows what is being done and the rows so far. Abbrechen, Escape or its close box
// stop the command.
class CProgressDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CProgressDlg(QWidget* mainDlg);
    ~CProgressDlg() override;

    // What the rows that follow belong to, e.g. "Export von kunden"; counts from zero again.
    void SetWork(const std::string& text);
    // One row done, on the command's thread; false once the user has stopped the command. The
    // count is made visible to the GUI thread every 256 rows, and at once with look.
    bool Step(bool look = false)
    {
        if ((++m_nRows & 0xFF) == 0 || look)
            m_nShownRows.store(m_nRows, std::memory_order_relaxed);
        if (!Cancelled())
            return true;
        m_bStopSeen.store(true, std::memory_order_relaxed);
        return false;
    }
    bool Cancelled() const { return m_bCancelled.load(std::memory_order_relaxed); }
    // Whether the command has come to a row since the stop and so is on its way out by itself.
    bool StopSeen() const { return m_bStopSeen.load(std::memory_order_relaxed); }
    void Cancel();
    std::uint64_t Rows() const { return m_nShownRows.load(std::memory_order_relaxed); }
    // On the GUI thread: shows the window once the command has run half a second, and the count.
    void Tick();
    // Seconds this process has spent showing the count, everything the watching does on the GUI
    // thread: what a benchmark weighs against a command's time.
    static double SecondsLooking() { return static_cast<double>(s_lookNs) / 1e9; }
    // Milliseconds from the start of the command to the window showing, -1 while it has not.
    qint64 ShownAfterMs() const { return m_shownAfterMs; }

signals:
    void StopRequested();

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* m_label = nullptr;
    QElapsedTimer m_clock;
    static qint64 s_lookNs;
    qint64 m_shownAfterMs = -1;
    // Written by the command's thread only; the GUI thread reads the copy.
    std::uint64_t m_nRows = 0;
    std::atomic<std::uint64_t> m_nShownRows{0};
    std::atomic<bool> m_bCancelled{false};
    std::atomic<bool> m_bStopSeen{false};
    std::mutex m_workMutex;
    std::string m_strWork;
    bool m_bArrow = false;
};
