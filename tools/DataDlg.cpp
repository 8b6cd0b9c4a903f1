#include "tools/DataDlg.h"

#include "log/SystemError.h"
#include "tools/ExportSession.h"
#include "tools/ExportValue.h"
#include "tools/KeyedPages.h"
#include "tools/ProgressDlg.h"
#include "tools/SaveFile.h"
#include "ui_IDD_DATA.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QSaveFile>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

namespace {

// As often as the other commands look at their progress.
constexpr int kTickMs = 50;
// Long enough for the worker to come to its next row, short enough to feel immediate.
constexpr int kCancelGraceMs = 250;
constexpr int kWidestColumn = 320;

bool Succeeded(int r)
{
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}

bool IsNumericSqlType(int sqlType)
{
    switch (sqlType) {
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE:
    case SQL_BIGINT:
    case SQL_TINYINT:
        return true;
    default:
        return false;
    }
}

QString Rows(std::size_t count)
{
    return QLocale(QLocale::German).toString(static_cast<qulonglong>(count)) +
           (count == 1 ? " Zeile" : " Zeilen");
}

} // namespace

CDataDlg::CDataDlg(QWidget* parent) : CToolDlg(parent), m_ui(std::make_unique<Ui::IDD_DATA>())
{
    m_ui->setupUi(this);
    InitTool(m_ui->IDC_DATAPANE);
    m_grid = m_ui->IDC_GRID;
    m_grid->setModel(&m_model);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->installEventFilter(this);
    connect(&m_model, &CRowModel::MoreWanted, this, [this] {
        // Not from inside the view's own scrolling.
        QTimer::singleShot(0, this, [this] {
            if (!m_bBusy)
                Start("Daten", [this] { return ReadRows(CRowModel::kBatchRows); });
        });
    });
    connect(m_ui->IDC_STATEMENT, &QLineEdit::returnPressed, this, &CDataDlg::RunStatement);

    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction("&Kopieren", this, &CDataDlg::CopySelection)->setObjectName("IDM_COPY");
        menu.addAction("Als &CSV speichern...", this, [this] { SaveCsv(); })
            ->setObjectName("IDM_SAVECSV");
        menu.exec(m_grid->viewport()->mapToGlobal(at));
    });

    m_ticker = new QTimer(this);
    connect(m_ticker, &QTimer::timeout, this, [this] {
        if (m_progress)
            m_progress->Tick();
    });
    m_worker = std::thread([this] { WorkerLoop(); });
}

CDataDlg::~CDataDlg()
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_bQuit = true;
        m_job = nullptr;
        if (m_progress)
            m_progress->Cancel();
        m_wake.notify_all();
        // A statement still at work on the server is stopped; one that comes to its next row
        // stops there by itself.
        if (!m_wake.wait_for(lock, std::chrono::milliseconds(kCancelGraceMs),
                             [this] { return m_bWorkerIdle; })) {
            lock.unlock();
            m_odbc.Cancel();
        }
    }
    m_worker.join();
    // The snapshot's transaction ends before its session.
    m_pages.reset();
}

void CDataDlg::ShowTable(const CViewerDlg::CLogon& logon, const std::string& name,
                         const std::string& schema, const std::string& catalog)
{
    setWindowTitle(QString::fromStdString("Daten: " + name));
    m_logon = logon;
    m_status = QString::fromStdString("Anmelden bei " +
                                      COdbcConnection::WithoutPassword(logon.source) + " ...");
    m_ui->IDC_STATUS->setText(m_status);
    // Opened from Tabellen, it takes over the keyboard there: the grid first, for Ctrl+C.
    m_grid->setFocus();
    // Once the window system has mapped it: the double-click's window would stay in front.
    QTimer::singleShot(100, this, [this] {
        raise();
        activateWindow();
    });
    Start("Daten von " + name, [this, schema, catalog, name] {
        if (!m_bConnected) {
            const int r = CViewerDlg::OpenSecondConnection(m_odbc, m_logon);
            if (!Succeeded(r)) {
                std::string error;
                m_odbc.GetErrorText(error);
                return std::function<void()>(
                    [this, r, error] { ShowFailure("Connect", r, error); });
            }
            m_bConnected = true;
            // Values as a script holds them: trailing blanks, bytes and all.
            m_odbc.SetExactValues(true);
        }
        m_table = CViewerDlg::QualifiedTableName(m_odbc, catalog, schema, name);
        m_defaultStatement = "Select * From " + m_table;
        return ExecuteOnWorker(m_defaultStatement);
    });
}

void CDataDlg::RunStatement()
{
    const std::string statement = m_ui->IDC_STATEMENT->text().trimmed().toStdString();
    if (m_bBusy || statement.empty() || !m_bConnected) {
        QApplication::beep();
        return;
    }
    Start("Daten", [this, statement] { return ExecuteOnWorker(statement); });
}

std::function<void()> CDataDlg::ExecuteOnWorker(const std::string& statement)
{
    m_pages.reset();
    m_pending.Clear();
    // A driver that reads a whole result into memory gets a table in pages of its key.
    const bool paged = statement == m_defaultStatement && !m_odbc.StreamsResults() &&
                       DialectOf(m_odbc.GetDbmsName()) == ScriptDialect::MySQL;
    std::string select = statement;
    if (statement == m_defaultStatement &&
        DialectOf(m_odbc.GetDbmsName()) == ScriptDialect::PostgreSQL &&
        Succeeded(m_odbc.ExecDirect((statement + " Where 1 = 0").c_str()))) {
        // The export's reading of dates and times: the server's own text.
        const std::string cast = ServerTextSelect(m_odbc, m_odbc.GetColumnCount());
        if (cast != "Select *")
            select = cast + " From " + m_table;
    }
    int r = 0;
    if (paged) {
        m_pages = std::make_unique<CKeyedPages>(m_odbc, "Select *", m_table);
        r = m_pages->Execute(true);
    } else {
        r = m_odbc.ExecDirect(select.c_str());
    }
    if (!Succeeded(r)) {
        std::string error;
        m_odbc.GetErrorText(error);
        m_pages.reset();
        // A statement the user stopped has not failed.
        const bool cancelled = m_progress->Cancelled();
        return [this, statement, r, error, cancelled] {
            m_model.Reset({}, {}, true);
            if (cancelled)
                m_ui->IDC_STATUS->setText(m_status = "Abbruch durch Benutzer.");
            else
                ShowFailure(statement, r, error);
        };
    }
    m_nColumns = m_pages ? m_pages->ColumnCount() : m_odbc.GetColumnCount();
    std::vector<std::string> names;
    std::vector<bool> numeric;
    for (int i = 1; i <= m_nColumns; ++i) {
        names.push_back(m_odbc.GetColumnName(i));
        numeric.push_back(IsNumericSqlType(m_odbc.GetColumnSqlType(i)));
    }
    std::function<void()> rows = m_nColumns > 0 ? ReadRows(CRowModel::kBatchRows) : nullptr;
    return [this, statement, names, numeric, rows] {
        m_ui->IDC_STATEMENT->setText(QString::fromStdString(statement));
        m_model.Reset(names, numeric, m_nColumns == 0);
        if (m_nColumns == 0) {
            m_status = "Anweisung ausgeführt.";
            m_ui->IDC_STATUS->setText(m_status);
            return;
        }
        rows();
        m_grid->resizeColumnsToContents();
        for (int c = 0; c < m_model.columnCount(); ++c)
            if (m_grid->columnWidth(c) > kWidestColumn)
                m_grid->setColumnWidth(c, kWidestColumn);
    };
}

std::function<void()> CDataDlg::ReadRows(std::size_t limit)
{
    int r = SQL_SUCCESS;
    bool stopped = false;
    std::size_t read = 0;
    while ((limit == 0 || read < limit) &&
           Succeeded(r = m_pages ? m_pages->Fetch() : m_odbc.Fetch())) {
        m_pending.AddRow(m_odbc, m_nColumns);
        ++read;
        if (!m_progress->Step()) {
            stopped = true;
            break;
        }
    }
    const bool cancelled = stopped || m_progress->Cancelled();
    const bool failed = !cancelled && !Succeeded(r) && r != SQL_NO_DATA;
    // A cancelled driver call leaves no cursor to read on.
    const bool atEnd = r == SQL_NO_DATA || failed || (cancelled && !stopped);
    std::string error;
    if (failed)
        m_odbc.GetErrorText(error);
    if (atEnd) {
        // An open cursor holds the table's locks; the session stays for the next statement.
        m_pages.reset();
        m_odbc.ResetStatement();
    }
    return [this, atEnd, failed, cancelled, r, error] {
        m_model.AppendRows(m_pending, atEnd);
        ShowCount();
        if (failed || cancelled)
            m_csvPath.clear();
        if (failed)
            ShowFailure(m_ui->IDC_STATEMENT->text().toStdString(), r, error);
        else if (cancelled)
            m_ui->IDC_STATUS->setText("Abbruch durch Benutzer. " + m_status);
        if (std::exchange(m_bScrollToEnd, false) && m_model.rowCount() > 0)
            m_grid->setCurrentIndex(m_model.index(m_model.rowCount() - 1,
                                                  std::max(m_grid->currentIndex().column(), 0)));
    };
}

void CDataDlg::ShowCount()
{
    m_status = Rows(m_model.LoadedRows()) + " geladen" +
               (m_model.AtEnd() ? QString() : QStringLiteral(", weitere folgen"));
    m_ui->IDC_STATUS->setText(m_status);
}

void CDataDlg::ShowFailure(const std::string& statement, int code, const std::string& error)
{
    m_status = QString::fromStdString("Fehler: " + error);
    m_ui->IDC_STATUS->setText(m_status);
    Tell({statement, "SQL failed.", "Fehler: <" + std::to_string(code) + ">", error});
}

void CDataDlg::Tell(const std::vector<std::string>& lines)
{
    m_told.insert(m_told.end(), lines.begin(), lines.end());
    FlushTold();
}

void CDataDlg::FlushTold()
{
    if (!m_pMainDlg || m_told.empty())
        return;
    if (m_pMainDlg->CommandRunning()) {
        QTimer::singleShot(200, this, &CDataDlg::FlushTold);
        return;
    }
    for (const std::string& line : m_told)
        m_pMainDlg->Output(line);
    m_told.clear();
}

void CDataDlg::LoadAll()
{
    if (m_bBusy || m_model.AtEnd()) {
        if (!m_bBusy && !m_csvPath.empty())
            WriteCsv(std::exchange(m_csvPath, {}));
        return;
    }
    Start("Daten", [this] { return ReadRows(0); });
}

void CDataDlg::CopySelection()
{
    QApplication::clipboard()->setText(
        QString::fromStdString(m_model.CopyText(m_grid->selectionModel()->selectedIndexes())));
}

void CDataDlg::SaveCsv(const std::string& path)
{
    if (m_bBusy || m_model.columnCount() == 0)
        return;
    std::string target = path;
    if (target.empty()) {
        QFileDialog chooser(this);
        chooser.setObjectName("IDD_SAVECSV");
        chooser.setWindowModality(Qt::WindowModal);
        chooser.setAcceptMode(QFileDialog::AcceptSave);
        chooser.setOption(QFileDialog::DontUseNativeDialog);
        chooser.setNameFilters({"CSV-Dateien (*.csv)"});
        chooser.setDefaultSuffix("csv");
        if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
            return;
        target = chooser.selectedFiles().constFirst().toStdString();
    }
    // The file holds the whole result, so the rest is read first.
    m_csvPath = target;
    LoadAll();
}

void CDataDlg::WriteCsv(const std::string& path)
{
    const auto fail = [this, &path](const std::string& reason) {
        m_ui->IDC_STATUS->setText(QString::fromStdString("Fehler: " + path + ": " + reason));
        Tell({"Abbruch wegen Fehler.", path + ": " + reason});
    };
    // Written beside the target and renamed over it only when whole, as the script files are.
    QSaveFile file(QString::fromStdString(path));
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const int failure = file.error() == QFileDevice::OpenError ? errno : 0;
        return fail(failure ? SystemErrorText(failure) : file.errorString().toStdString());
    }
    int failure = 0;
    m_model.WriteCsv([&file, &failure](const std::string& piece) {
        failure = WriteAll(file.handle(), piece);
        return failure == 0;
    });
    if (failure == 0)
        failure = SyncData(file.handle());
    if (failure != 0) {
        file.cancelWriting();
        return fail(SystemErrorText(failure));
    }
    if (const std::string reason = CommitSaveFile(file); !reason.empty())
        return fail(reason);
    const std::string done = std::to_string(m_model.LoadedRows()) + " Zeilen nach " + path;
    m_ui->IDC_STATUS->setText(QString::fromStdString(done));
    Tell({done});
}

std::string CDataDlg::StatusText() const
{
    return m_ui->IDC_STATUS->text().toStdString();
}

void CDataDlg::Start(const std::string& work, Job job)
{
    m_bBusy = true;
    m_progress = std::make_unique<CProgressDlg>(this);
    m_progress->SetWork(work);
    const unsigned serial = ++m_nJob;
    connect(m_progress.get(), &CProgressDlg::StopRequested, this, [this, serial] {
        if (!m_progress || serial != m_nJob)
            return;
        m_progress->Cancel();
        // A job that reads rows stops at its next one; a driver call that keeps it from getting
        // there is stopped. The SQLite driver's cancel closes the statement, which must never
        // meet a fetch under way.
        QTimer::singleShot(kCancelGraceMs, this, [this, serial] {
            if (m_progress && serial == m_nJob && !m_progress->StopSeen())
                m_odbc.Cancel();
        });
    });
    m_ticker->start(kTickMs);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_job = std::move(job);
    }
    m_wake.notify_all();
}

void CDataDlg::WorkerLoop()
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bQuit || m_job; });
            if (m_bQuit)
                return;
            job = std::move(m_job);
            m_job = nullptr;
            m_bWorkerIdle = false;
        }
        std::function<void()> then;
        try {
            then = job();
        } catch (const std::bad_alloc&) {
            m_pending.Clear();
            then = [this] { m_ui->IDC_STATUS->setText("<<<Memory-Exception>>>"); };
        }
        QMetaObject::invokeMethod(
            this,
            [this, then] {
                m_ticker->stop();
                m_progress.reset();
                m_bBusy = false;
                if (then)
                    then();
                if (!m_csvPath.empty())
                    LoadAll();
            },
            Qt::QueuedConnection);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bWorkerIdle = true;
        }
        m_wake.notify_all();
    }
}

void CDataDlg::OnToolClose()
{
    if (m_pMainDlg && m_posClient)
        m_pMainDlg->RemoveClientWindow(*m_posClient);
}

bool CDataDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            CopySelection();
            return true;
        }
        if (key->matches(QKeySequence::MoveToEndOfDocument) && !m_model.AtEnd()) {
            m_bScrollToEnd = true;
            LoadAll();
            return true;
        }
    }
    return CToolDlg::eventFilter(watched, event);
}
