#pragma once

#include "log/LogFile.h"
#include "main/CommandThread.h"
#include "odbc/OdbcConnection.h"
#include "tools/ProgressDlg.h"
#include "tools/ToolDlg.h"

#include <QDialog>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class IDD_MAIN;
}

class CInfoDlg;
class CDataDlg;
class CStructDlg;
class CTablesDlg;
class QCheckBox;
class QComboBox;
class QPushButton;
class QStandardItemModel;
class QRect;
class QSize;
struct WindowPlacement;

// The program's main window: login fields, the database list, the view switches and the command
// buttons. It owns the connection, the log writer and the tool windows, and every report leaves
// through its Output.
class CViewerDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CViewerDlg(QWidget* parent = nullptr);
    ~CViewerDlg() override;

    // Activity output: the log file first (when logging is on), then the Information window.
    void Output(const std::string& text);

    // Statement services for the commands and the tool windows.
    bool ConnectSource();
    bool ExecuteStatement(const std::string& statement, int* retCode);
    bool FetchRow();
    // The fetch's own return code: the generators tell the end of the rows from a failure.
    int FetchRowResult();
    std::string GetColumnText(int column);
    std::string& GetErrorText(std::string& text);
    void ResetStatement();
    bool GetUserTables(std::vector<std::string>& names, std::vector<std::string>* schemas = nullptr,
                       std::vector<std::string>* catalogs = nullptr);

    // Column services for the generators and the SQL command.
    int GetColumnCount();
    int GetColumnType(int column);
    std::string GetColumnName(int column);
    static bool GetSqlTypeName(int code, std::string& name);
    // The current row's value with its NULL flag and, for long binary data, all its bytes.
    const CColumnValue& GetColumnValue(int column);
    // A table name as a statement must spell it: plain identifiers stay, others and reserved
    // words are quoted (after a qualifier's dot only those the data source refuses there).
    std::string QuoteTableName(const std::string& name, bool afterQualifier = false)
    {
        return QuoteTableName(m_odbc, name, afterQualifier);
    }
    // The same, qualified with the table's schema where the data source has schemas, and with
    // its catalog where that is not the current one.
    std::string QualifiedTableName(const std::string& catalog, const std::string& schema,
                                   const std::string& name)
    {
        return QualifiedTableName(m_odbc, catalog, schema, name);
    }
    // The same for a session of another window.
    static std::string QuoteTableName(COdbcConnection& odbc, const std::string& name,
                                      bool afterQualifier = false);
    static std::string QualifiedTableName(COdbcConnection& odbc, const std::string& catalog,
                                          const std::string& schema, const std::string& name);

    // Long commands run one at a time, watched by a progress window that can stop them. The
    // generators step it once per row; false means the user stopped the command.
    bool StepProgress(bool look = false)
    {
#ifdef TAVRIN_UNWATCHED
        // Built so only for the benchmark that weighs what watching a command costs.
        static_cast<void>(look);
        return true;
#else
        return !m_pProgress || m_pProgress->Step(look);
#endif
    }
    void SetProgressWork(const std::string& text);
    // Runs work as a command: after AutoDel, with the wait cursor and the progress window, on a
    // worker thread while this window stays alive; does nothing while another command runs.
    void RunCommand(const std::function<void()>& work);
    bool CommandRunning() const
    {
        return m_pProgress != nullptr;
    }
    // Whether the user has stopped the running command, or else the last one.
    bool CommandCancelled() const
    {
        return m_pProgress ? m_pProgress->Cancelled() : m_bLastCancelled;
    }
    // Runs f on the GUI thread, waiting for it when called from a command's worker: windows and
    // the lists of the tool windows live there.
    void OnGuiThread(const std::function<void()>& f);
    // The commands on the tables selected in Tabellen, as their buttons start them.
    void OnExport();
    void OnStruct();
    // Export of the selected tables into a script file the user chooses.
    void OnExportToFile();
    // Whether the table commands can run now: logged on, a database selected, no command.
    bool TableCommandsReady() const;
    // The log-on of the current session, password included, for a window that reads through a
    // session of its own; empty while not connected. Never to be shown or stored.
    struct CLogon
    {
        std::string source, user, password;
    };
    CLogon Logon() const
    {
        return {m_strConnectedSource, m_strConnectedUser, m_strConnectedPassword};
    }
    // The data source as the user named it at Connect, as it may be shown: a connection string
    // without its password.
    std::string SourceName() const
    {
        return COdbcConnection::WithoutPassword(m_strConnectedSource);
    }
    // Logs conn on (quietly) as logon says; Connect's return code. Safe on any thread.
    static int OpenSecondConnection(COdbcConnection& conn, const CLogon& logon);

    // The SQL command's statement and the history of this run.
    void SetSqlText(const std::string& text);
    const std::string& SqlText() const
    {
        return m_strSql;
    }
    bool GetHistoryEntry(int index, std::string& text) const;
    void AddToHistory(std::string& text);
    static constexpr std::size_t HISTORY_MAX_ENTRIES = 20;
    static constexpr std::size_t HISTORY_MAX_LENGTH = 1024;

    // Client windows: Struktur-Info and data windows.
    using ClientList = std::list<std::unique_ptr<CToolDlg>>;
    static constexpr std::size_t MAX_CLIENT_WINDOWS = 50;
    CStructDlg* CreateClientWindow();
    // A data window with the table's rows; nullptr when no more windows may open.
    CDataDlg* OpenDataWindow(const std::string& name, const std::string& schema,
                             const std::string& catalog);
    void RemoveClientWindow(ClientList::iterator pos);
    // Where the next Struktur-Info window of this size opens.
    QRect NextClientGeometry(const QSize& size) const;
    int ClientCount() const
    {
        return m_nClients;
    }

    // The About dialog, never two at a time.
    void ShowAbout();
    void AddAboutEntry();

    // Settings.
    void LoadSettings();
    void SaveSettings();
    static bool ParsePlacement(const std::string& text, WindowPlacement& placement);
    void ReadLoginFields();
    void WriteLoginFields();

    // View options; the tool windows call the two Closed operations from their close box.
    void OnInfoWindowClosed();
    void OnTablesWindowClosed();
    void UpdateToolWindows();
    void SetShowInfo(bool show);
    void SetShowTabs(bool show);

    CInfoDlg* InfoDlg() const
    {
        return m_pInfoDlg.get();
    }
    CTablesDlg* TablesDlg() const
    {
        return m_pTablesDlg.get();
    }
    COdbcConnection& Connection()
    {
        return m_odbc;
    }

public slots:
    void reject() override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnInitDialog();
    void SetUpSourceCompleter();
    void ReadDataSources();
    void ConnectControls();
    void OnConnect();
    void OnSelect();
    void OnDisconnect();
    void OnLogCheck();
    void OnLogFile();
    void OnQuit();
    void OnClear();
    void OnAutoDel();
    void OnInfoCheck();
    void OnTabsCheck();
    void ClearInfoIfAutoDel();
    // Work on the worker thread under the progress window, without AutoDel; false when another
    // command runs.
    bool RunOnWorker(const std::function<void()>& work, const std::string& what);
    void ShowLine(const std::string& text);
    // Tells in the window when the log stops or starts again taking lines.
    void NoteLogWritten(bool written);
    void SetLogFileCaption(const std::string& path);
    void CreateToolWindows(const std::string& infoPlacement, const std::string& tabsPlacement);
    void OnSql();
    void OnClients();
    void UpdateClientsButton();
    CToolDlg* AddClientWindow(std::unique_ptr<CToolDlg> window);

    int m_nClients = 0;
    bool m_bAboutOpen = false;
    ClientList m_listClients;

    std::unique_ptr<Ui::IDD_MAIN> m_ui;
    bool m_bShowTabs = false;
    bool m_bShowInfo = false;
    std::unique_ptr<CTablesDlg> m_pTablesDlg;
    std::unique_ptr<CInfoDlg> m_pInfoDlg;
    QCheckBox* m_pChkAutoDel = nullptr;
    QCheckBox* m_pChkLog = nullptr;
    QPushButton* m_pBtnExport = nullptr;
    QPushButton* m_pBtnStruct = nullptr;
    QPushButton* m_pBtnSql = nullptr;
    QPushButton* m_pBtnLogFile = nullptr;
    QPushButton* m_pBtnConnect = nullptr;
    QPushButton* m_pBtnDisconnect = nullptr;
    QPushButton* m_pBtnSelect = nullptr;
    QComboBox* m_pComboDatabase = nullptr;
    // The configured data sources that Quelle offers.
    QStandardItemModel* m_pSourceModel = nullptr;
    std::unique_ptr<std::vector<std::string>> m_pHistory;
    std::string m_strDatabase;
    std::string m_strPassword;
    std::string m_strUser;
    std::string m_strSource;
    std::string m_strConnectedSource;
    std::string m_strConnectedUser;
    std::string m_strConnectedPassword;
    std::string m_strSql;
    std::string m_strLogPath;
    std::string m_strMessage;
    int m_nRetCode = 0;
    COdbcConnection m_odbc;
    bool m_bAutoDel = false;
    bool m_bLogging = false;
    CLogFile m_logFile;
    // Whether the log file took the last line, so that a change is told once, not per line.
    bool m_bLogWritable = true;
    std::unique_ptr<CProgressDlg> m_pProgress;
    std::unique_ptr<CCommandThread> m_pCommand;
    // The main window was closed while a command ran: it ends as Beenden does once it stopped.
    bool m_bQuitAfterCommand = false;
    bool m_bLastCancelled = false;
};
