// Connect, Select and Disconnect, and the statement services the other commands use.

#include "app/MessageDlg.h"
#include "main/ViewerDlg.h"
#include "main/WaitCursor.h"
#include "res/resource.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

#include <QComboBox>
#include <QPushButton>
#include <algorithm>

bool CViewerDlg::ConnectSource()
{
    m_nRetCode = m_odbc.Connect(m_strSource.c_str(), m_strUser.c_str(), m_strPassword.c_str());
    return m_nRetCode == 0;
}

bool CViewerDlg::ExecuteStatement(const std::string& statement, int* retCode)
{
    int r = m_odbc.ExecDirect(statement.c_str());
    if (retCode)
        *retCode = r;
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}

bool CViewerDlg::FetchRow()
{
    return m_odbc.Fetch() == SQL_SUCCESS;
}

std::string CViewerDlg::GetColumnText(int column)
{
    return m_odbc.GetColumnText(column);
}

std::string& CViewerDlg::GetErrorText(std::string& text)
{
    m_odbc.GetErrorText(text);
    return text;
}

void CViewerDlg::ResetStatement()
{
    m_odbc.ResetStatement();
}

bool CViewerDlg::GetUserTables(std::vector<std::string>& names, std::vector<std::string>* schemas,
                               std::vector<std::string>* catalogs)
{
    std::list<std::string> list, schemaList, catalogList;
    bool ok = m_odbc.GetTableNames(list, &schemaList, &catalogList);
    if (ok) {
        names.assign(std::make_move_iterator(list.begin()), std::make_move_iterator(list.end()));
        if (schemas)
            schemas->assign(schemaList.begin(), schemaList.end());
        if (catalogs)
            catalogs->assign(catalogList.begin(), catalogList.end());
    }
    return ok;
}

void CViewerDlg::ClearInfoIfAutoDel()
{
    if (m_bAutoDel && m_pInfoDlg)
        m_pInfoDlg->ClearLines();
}

void CViewerDlg::OnConnect()
{
    ReadLoginFields();
    // Logging on may take the whole login time-out, and the databases query as long as the data
    // source likes: both run where the window does not wait for them.
    bool connected = false;
    if (!RunOnWorker([this, &connected] { connected = ConnectSource(); },
                     "Anmelden bei " + COdbcConnection::WithoutPassword(m_strSource)))
        return;
    if (connected && CommandCancelled()) {
        // The log-on itself cannot be interrupted; the user who stopped it wants no session.
        m_odbc.Disconnect();
        Output("Abbruch durch Benutzer.");
        return;
    }
    if (!connected) {
        ClearInfoIfAutoDel();
        std::string error;
        GetErrorText(error);
        m_strMessage = "ODBC-Fehler: (" + error + ")";
        Output(m_strMessage);
        CMessageDlg message(this);
        message.SetCaption("ODBC Fehler");
        message.SetHeading("ODBC");
        message.SetMessage(error);
        message.exec();
        return;
    }

    m_strConnectedSource = m_strSource;
    m_strConnectedUser = m_strUser;
    m_strConnectedPassword = m_strPassword;
    ClearInfoIfAutoDel();
    Output("Connect ok.");
    std::vector<QString> databases;
    RunOnWorker(
        [this, &databases] {
            ExecuteStatement(res::IDS_DATABASE_QUERY_TEXT, &m_nRetCode);
            while (FetchRow() && StepProgress())
                databases.push_back(QString::fromStdString(GetColumnText(1)));
            // An open cursor would hold locks until the next command.
            ResetStatement();
        },
        "Datenbanken");
    CWaitCursor wait;
    // The list sorts without regard to case and keeps equal names, each as often as it came.
    std::stable_sort(databases.begin(), databases.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    for (const QString& name : databases)
        m_pComboDatabase->addItem(name);

    // Filling the list selected its first entry; only a stored name may be preselected, or
    // Select would announce, and Beenden store, a database the user never chose.
    m_pComboDatabase->setCurrentIndex(-1);
    m_pComboDatabase->clearEditText();
    QString stored = QString::fromStdString(m_strDatabase);
    int count = m_pComboDatabase->count();
    // Entry 0 is looked at last.
    for (int step = 1; step <= count; ++step) {
        int index = step % count;
        if (QString::compare(m_pComboDatabase->itemText(index), stored, Qt::CaseInsensitive) == 0) {
            m_pComboDatabase->setCurrentIndex(index);
            break;
        }
    }

    m_pComboDatabase->setEnabled(true);
    m_pBtnSelect->setEnabled(true);
    m_pBtnConnect->setEnabled(false);
    m_pBtnDisconnect->setEnabled(true);
}

void CViewerDlg::OnSelect()
{
    if (CommandRunning())
        return;
    Output("");
    ClearInfoIfAutoDel();
    m_strDatabase = m_pComboDatabase->currentText().toStdString();
    m_strMessage = "Selected Database is \"" + m_strDatabase + "\"";
    Output(m_strMessage);
    Output("");

    std::vector<std::string> names, schemas, catalogs;
    bool listed = false;
    RunOnWorker([&] { listed = GetUserTables(names, &schemas, &catalogs); }, "Tabellen");
    CWaitCursor wait;
    if (!listed && CommandCancelled())
        Output("Abbruch durch Benutzer.");
    if (listed) {
        if (m_pTablesDlg)
            m_pTablesDlg->FillTables(names, schemas, catalogs);
        for (const std::string& name : names)
            Output(name);
        m_strMessage = "# (" + std::to_string(names.size()) + ") Usertables #";
        Output(m_strMessage);
    }
    m_pBtnSql->setEnabled(true);
    m_pBtnExport->setEnabled(true);
    m_pBtnStruct->setEnabled(true);
}

void CViewerDlg::OnDisconnect()
{
    m_pBtnDisconnect->setEnabled(false);
    m_pBtnConnect->setEnabled(true);
    m_pBtnSelect->setEnabled(false);
    m_pBtnSql->setEnabled(false);
    m_pBtnExport->setEnabled(false);
    m_pBtnStruct->setEnabled(false);
    m_pComboDatabase->clear();
    if (m_pTablesDlg)
        m_pTablesDlg->ClearTables();
    // The session ends too: a viewer left logged on would hold the server's resources and locks.
    m_odbc.Disconnect();
    m_strConnectedSource.clear();
    m_strConnectedUser.clear();
    m_strConnectedPassword.clear();
}

int CViewerDlg::OpenSecondConnection(COdbcConnection& conn, const CLogon& logon)
{
    conn.SetQuiet(true);
    return conn.Connect(logon.source.c_str(), logon.user.c_str(), logon.password.c_str());
}
