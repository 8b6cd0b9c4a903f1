#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>
#include <string>

class QLabel;

// Long work that can be watched and stopped. Half a second into a command a window modal to the
// main dialog shows what is being done and the rows so far; Abbrechen, Escape or its close box
// stop the command after the current row. Meanwhile the other windows repaint.
class CProgressDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CProgressDlg(QWidget* mainDlg);
    ~CProgressDlg() override;

    // What the rows that follow belong to, e.g. "Export von kunden"; counts from zero again.
    void SetWork(const std::string& text);
    // One row done; false once the user has stopped the command. With look, the clock and the
    // events are looked at now, not only every 256 rows.
    bool Step(bool look = false)
    {
        if ((++m_nRows & 0xFF) != 0 && !look)
            return !m_bCancelled;
        return Look();
    }
    bool Cancelled() const { return m_bCancelled; }
    std::uint64_t Rows() const { return m_nRows; }
    // Seconds this process has spent looking at the clock and the events, everything the
    // watching does but the counter per row: what a benchmark weighs against a command's time.
    static double SecondsLooking() { return static_cast<double>(s_lookNs) / 1e9; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool Look();

    QLabel* m_label = nullptr;
    QElapsedTimer m_clock;
    qint64 m_nextLook = 0;
    static qint64 s_lookNs;
    std::uint64_t m_nRows = 0;
    std::string m_strWork;
    bool m_bCancelled = false;
    bool m_bArrow = false;
};
