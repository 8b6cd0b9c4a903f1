#pragma once

#include "main/ViewerDlg.h"
#include "odbc/OdbcConnection.h"
#include "tools/RowModel.h"
#include "tools/ToolDlg.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Ui {
class IDD_DATA;
}

class CKeyedPages;
class CProgressDlg;
class QTableView;
class QTimer;

// A data window: the rows of a table or of the user's query in a grid, read through a session
// of its own, so that neither its open cursor nor its reading holds up the main window. Every
// driver call runs on the window's own worker thread; the grid grows as the user scrolls.
class CDataDlg : public CToolDlg
{
    Q_OBJECT

public:
    explicit CDataDlg(QWidget* parent = nullptr);
    ~CDataDlg() override;

    // Logs on as logon says and shows the table's rows ("Select * From" it).
    void ShowTable(const CViewerDlg::CLogon& logon, const std::string& name,
                   const std::string& schema, const std::string& catalog);
    // Runs the statement line's statement and shows its result.
    void RunStatement();
    // Reads the rest of the result under the progress window.
    void LoadAll();
    // The selected cells onto the clipboard (see CRowModel::CopyText).
    void CopySelection();
    // Every row of the result as CSV into path, written whole or not at all; the rest of the
    // result is read first. Asks for the file when path is empty.
    void SaveCsv(const std::string& path = {});
    // Whether the worker is at a job: the tests wait for the window to come to rest.
    bool Busy() const { return m_bBusy; }
    const CRowModel& Model() const { return m_model; }
    std::string StatusText() const;

protected:
    void OnToolClose() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A job runs on the worker and gives back what then follows on the GUI thread.
    using Job = std::function<std::function<void()>()>;
    // Runs job on the worker under a progress window, which shows when it takes long.
    void Start(const std::string& work, Job job);
    void WorkerLoop();
    // On the worker: the statement, its columns and the first rows.
    std::function<void()> ExecuteOnWorker(const std::string& statement);
    // On the worker: up to limit more rows (all with 0).
    std::function<void()> ReadRows(std::size_t limit);
    void ShowFailure(const std::string& statement, int code, const std::string& error);
    void ShowCount();
    void WriteCsv(const std::string& path);
    // Lines for the Information window and the log; held back while a main command runs, whose
    // lines go there at the same time.
    void Tell(const std::vector<std::string>& lines);
    void FlushTold();

    std::unique_ptr<Ui::IDD_DATA> m_ui;
    QTableView* m_grid = nullptr;
    CRowModel m_model;

    // What the worker owns while a job runs.
    COdbcConnection m_odbc;
    CViewerDlg::CLogon m_logon;
    bool m_bConnected = false;
    std::unique_ptr<CKeyedPages> m_pages;
    std::string m_defaultStatement;
    std::string m_table;
    CRowStore m_pending;
    int m_nColumns = 0;

    // The hand-over between the GUI thread and the worker.
    std::thread m_worker;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    Job m_job;
    // Tells a late cancel from one of a job before.
    unsigned m_nJob = 0;
    bool m_bQuit = false;
    bool m_bBusy = false;
    bool m_bWorkerIdle = true;
    std::unique_ptr<CProgressDlg> m_progress;
    QTimer* m_ticker = nullptr;
    bool m_bScrollToEnd = false;
    // A CSV file waiting for the rest of the rows.
    std::string m_csvPath;
    std::vector<std::string> m_told;
    QString m_status;
};
