// Struktur, Export, the column services behind them, and the Struktur-Info windows.

#include "main/ViewerDlg.h"
#include "main/WaitCursor.h"
#include "main/WindowPlacement.h"
#include "tools/DataDlg.h"
#include "tools/ExportValue.h"
#include "tools/InfoDlg.h"
#include "tools/StructDlg.h"
#include "tools/TablesDlg.h"
#include "ui_IDD_MAIN.h"

#include <QFileDialog>
#include <QRect>
#include <QTimer>
#include <new>

int CViewerDlg::GetColumnCount()
{
    return m_odbc.GetColumnCount();
}

int CViewerDlg::GetColumnType(int column)
{
    return m_odbc.GetColumnType(column);
}

std::string CViewerDlg::GetColumnName(int column)
{
    return m_odbc.GetColumnName(column);
}

const CColumnValue& CViewerDlg::GetColumnValue(int column)
{
    return m_odbc.GetColumnValue(column);
}

int CViewerDlg::FetchRowResult()
{
    return m_odbc.Fetch();
}

bool CViewerDlg::GetSqlTypeName(int code, std::string& name)
{
    static const char* const names[] = {"SQL_UNKNOWN_TYPE", "SQL_CHAR        ", "SQL_NUMERIC     ",
                                        "SQL_DECIMAL     ", "SQL_INTEGER     ", "SQL_SMALLINT    ",
                                        "SQL_FLOAT       ", "SQL_REAL        ", "SQL_DOUBLE      "};
    if (code >= 0 && code <= 8) {
        name = names[code];
        return true;
    }
    if (code == 12) {
        name = "SQL_VARCHAR     ";
        return true;
    }
    name = "<Unknown>";
    return false;
}

std::string CViewerDlg::QuoteTableName(COdbcConnection& odbc, const std::string& name,
                                       bool afterQualifier)
{
    // A reserved word names something else unquoted: "user" on PostgreSQL is the login name.
    bool plain = IsPlainIdentifier(name) && !odbc.IsKeyword(name, afterQualifier);
    // A name that the data source would fold to another case is not plain for it.
    if (plain) {
        int identifierCase = odbc.GetIdentifierCase();
        for (char c : name) {
            if ((identifierCase == SQL_IC_LOWER && c >= 'A' && c <= 'Z') ||
                (identifierCase == SQL_IC_UPPER && c >= 'a' && c <= 'z'))
                plain = false;
        }
    }
    return plain ? name : QuoteIdentifier(name, odbc.GetIdentifierQuote());
}

std::string CViewerDlg::QualifiedTableName(COdbcConnection& odbc, const std::string& catalog,
                                           const std::string& schema, const std::string& name)
{
    const std::string other = odbc.CatalogToQualify(catalog);
    std::string qualified = QuoteTableName(odbc, name, !schema.empty() || !other.empty());
    if (!schema.empty())
        qualified = QuoteTableName(odbc, schema, !other.empty()) + "." + qualified;
    if (!other.empty())
        qualified = QuoteTableName(odbc, other) + "." + qualified;
    return qualified;
}

void CViewerDlg::RunCommand(const std::function<void()>& work)
{
    if (m_pProgress)
        return;
    ClearInfoIfAutoDel();
    RunOnWorker(work, "");
}

bool CViewerDlg::RunOnWorker(const std::function<void()>& work, const std::string& what)
{
    // The progress window lets the other windows take events: a second command must wait.
    if (m_pProgress)
        return false;
    CWaitCursor wait;
    m_pProgress = std::make_unique<CProgressDlg>(this);
    m_pProgress->SetWork(what);
    m_pCommand = std::make_unique<CCommandThread>(
        this, *m_pProgress, [this] { m_odbc.Cancel(); },
        [this](std::deque<std::string>& lines) {
            if (m_pInfoDlg)
                for (const std::string& line : lines)
                    m_pInfoDlg->AddLine(line);
        });
    // A command's many lines reach the log in batches; those that wait go out within 100 ms.
    m_logFile.SetBatching(true);
    QTimer flusher;
    connect(&flusher, &QTimer::timeout, this, [this] { m_logFile.FlushStale(); });
    flusher.start(100);
    m_pCommand->Run(work);
    flusher.stop();
    const bool logged = m_logFile.SetBatching(false);
    m_bLastCancelled = m_pProgress->Cancelled();
    m_pCommand.reset();
    m_pProgress.reset();
    if (m_bLogging)
        NoteLogWritten(logged && m_bLogWritable);
    if (m_pInfoDlg)
        m_pInfoDlg->CatchUp();
    if (m_bQuitAfterCommand) {
        m_bQuitAfterCommand = false;
        // Not from inside the command's caller, which still has its own work to finish.
        QTimer::singleShot(0, this, &CViewerDlg::OnQuit);
    }
    return true;
}

void CViewerDlg::OnGuiThread(const std::function<void()>& f)
{
    if (m_pCommand)
        m_pCommand->OnGui(f);
    else
        f();
}

void CViewerDlg::SetProgressWork(const std::string& text)
{
    if (m_pProgress)
        m_pProgress->SetWork(text);
}

void CViewerDlg::OnStruct()
{
    RunCommand([this] {
        if (m_pTablesDlg)
            m_pTablesDlg->ReportSelectedStructures();
    });
}

void CViewerDlg::OnExport()
{
    RunCommand([this] {
        if (m_pTablesDlg)
            m_pTablesDlg->ExportSelectedTables();
    });
}

bool CViewerDlg::TableCommandsReady() const
{
    return !m_pProgress && m_pBtnExport->isEnabled();
}

void CViewerDlg::OnExportToFile()
{
    if (!TableCommandsReady() || !m_pTablesDlg || m_pTablesDlg->SelectedTables().empty())
        return;
    QFileDialog chooser(this);
    chooser.setObjectName("IDD_EXPORTFILE");
    chooser.setWindowModality(Qt::WindowModal);
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setNameFilters({"SQL-Skripte (*.sql)"});
    chooser.setDefaultSuffix("sql");
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    const QString path = chooser.selectedFiles().constFirst();
    RunCommand([this, &path] { m_pTablesDlg->ExportSelectedTablesToFile(path.toStdString()); });
}

CStructDlg* CViewerDlg::CreateClientWindow()
{
    if (m_listClients.size() >= MAX_CLIENT_WINDOWS)
        return nullptr;
    try {
        return static_cast<CStructDlg*>(AddClientWindow(std::make_unique<CStructDlg>()));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CDataDlg* CViewerDlg::OpenDataWindow(const std::string& name, const std::string& schema,
                                     const std::string& catalog)
{
    if (m_listClients.size() >= MAX_CLIENT_WINDOWS)
        return nullptr;
    CDataDlg* window = nullptr;
    try {
        window = static_cast<CDataDlg*>(AddClientWindow(std::make_unique<CDataDlg>()));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (window)
        window->ShowTable(Logon(), name, schema, catalog);
    return window;
}

CToolDlg* CViewerDlg::AddClientWindow(std::unique_ptr<CToolDlg> window)
{
    window->setGeometry(NextClientGeometry(window->size()));
    window->show();
    window->SetMainDialog(this);
    ++m_nClients;
    UpdateClientsButton();
    CToolDlg* created = window.get();
    try {
        m_listClients.push_front(std::move(window));
    } catch (const std::bad_alloc&) {
        m_logFile.WriteLine("<<<Memory-Exception>>>");
        Output("<<<Memory-Exception>>>");
        --m_nClients;
        UpdateClientsButton();
        return nullptr;
    }
    created->SetListPosition(m_listClients.begin());
    return created;
}

QRect CViewerDlg::NextClientGeometry(const QSize& size) const
{
    // Cascaded: each new window down and right of the newest open one, so none hides another.
    // Past the bottom of the screen the cascade starts again at the top, one step further right;
    // past the right edge at the left.
    constexpr int kStep = WindowPlacement::kTitleBar;
    const QRect area = WindowPlacement::ClientArea(geometry().left(), geometry().top());
    const CToolDlg* newest = m_listClients.empty() ? nullptr : m_listClients.front().get();
    QPoint next = newest ? newest->geometry().topLeft() + QPoint(kStep, kStep)
                         : area.topLeft() + QPoint(area.width() / 4, area.height() / 4);
    if (next.y() + size.height() > area.bottom())
        next.setY(area.top());
    if (next.x() + size.width() > area.right())
        next.setX(area.left());
    return WindowPlacement::FitToScreen(next.x(), next.y(), size.width(), size.height());
}

void CViewerDlg::RemoveClientWindow(ClientList::iterator pos)
{
    // The window asks from inside its own close handling: it may not vanish under Qt's feet.
    if (CToolDlg* window = pos->release()) {
        window->hide();
        window->deleteLater();
    }
    m_listClients.erase(pos);
    --m_nClients;
    UpdateClientsButton();
}

void CViewerDlg::OnClients()
{
    for (auto pos = m_listClients.begin(); pos != m_listClients.end();) {
        CToolDlg* window = pos->get();
        ++pos;
        if (window)
            window->close();
    }
}

void CViewerDlg::UpdateClientsButton()
{
    m_ui->IDC_CLIENTS->setText(
        QString("<%1> Client%2").arg(m_nClients).arg(m_nClients == 1 ? "" : "s"));
    m_ui->IDC_CLIENTS->setEnabled(m_nClients != 0);
}
