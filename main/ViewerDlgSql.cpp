// The SQL command and the statement history of this run.

#include "main/HistoryCut.h"
#include "main/ViewerDlg.h"
#include "tools/InfoDlg.h"
#include "tools/SqlDlg.h"

void CViewerDlg::SetSqlText(const std::string& text)
{
    m_strSql = text;
}

bool CViewerDlg::GetHistoryEntry(int index, std::string& text) const
{
    if (!m_pHistory || index < 0 || static_cast<std::size_t>(index) >= m_pHistory->size())
        return false;
    text = (*m_pHistory)[static_cast<std::size_t>(index)];
    return true;
}

void CViewerDlg::AddToHistory(std::string& text)
{
    if (!m_pHistory)
        return;
    for (const std::string& entry : *m_pHistory)
        if (entry == text)
            return;
    if (m_pHistory->size() >= HISTORY_MAX_ENTRIES)
        m_pHistory->erase(m_pHistory->begin());
    text.resize(CutAtCharacter(text, HISTORY_MAX_LENGTH));
    m_pHistory->push_back(text);
}

void CViewerDlg::OnSql()
{
    CSqlDlg dlg(this);
    dlg.SetMainDialog(this);
    dlg.SetCaption("SQL-Abfrage");
    dlg.SetHeading("");
    if (dlg.exec() != QDialog::Accepted)
        return;

    const auto reportFailure = [this](int code) {
        Output("SQL failed.");
        Output("Fehler: <" + std::to_string(code) + ">");
        std::string error;
        m_odbc.GetErrorText(error);
        Output(error);
    };
    RunCommand([this, &reportFailure] {
        Output(m_strSql);
        SetProgressWork("SQL");
        int ret = 0;
        if (ExecuteStatement(m_strSql, &ret)) {
            int n = m_odbc.GetColumnCount();
            std::string line;
            for (int i = 1; i <= n; ++i) {
                line += m_odbc.GetColumnName(i);
                line += '\t';
            }
            Output(line);
            int r;
            bool stopped = false;
            while ((r = m_odbc.Fetch()) == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO) {
                line.clear();
                for (int j = 1; j <= n; ++j) {
                    line += m_odbc.GetColumnValue(j).m_strText;
                    line += '\t';
                }
                Output(line);
                if (!StepProgress()) {
                    stopped = true;
                    break;
                }
            }
            // A statement without a result set ends its rows at once with an error of "no
            // cursor"; only a failure while rows were coming is a failure of the statement.
            // A statement or fetch cancelled under way fails; the user stopped it.
            if (stopped || CommandCancelled()) {
                Output("Abbruch durch Benutzer.");
            } else if (r == SQL_NO_DATA || n == 0) {
                Output("SQL succeeded.");
            } else {
                reportFailure(r);
            }
        } else if (CommandCancelled()) {
            Output("Abbruch durch Benutzer.");
        } else {
            reportFailure(ret);
        }
        // An open cursor would hold locks until the next command.
        ResetStatement();
    });
}
