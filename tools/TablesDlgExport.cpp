// The export script: one INSERT statement per row of every selected table, into the Information
// window and the log, or into a script file.

#include "main/ViewerDlg.h"
#include "tools/ExportSession.h"
#include "tools/ExportValue.h"
#include "tools/KeyedPages.h"
#include "tools/TablesDlg.h"

#include <algorithm>
#include <functional>

namespace {

enum class TableEnd
{
    Done,
    Failed,
    Stopped,
    // The receiver of the statements took no more (a file that cannot be written); it has
    // reported why itself.
    Refused
};

bool Succeeded(int r)
{
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}

bool IsDateOrTimeSqlType(int sqlType)
{
    switch (sqlType) {
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
        return true;
    default:
        return false;
    }
}

// PostgreSQL's driver hands out a date or a time stamp only after taking it apart into a record
// and writing it anew, which loses what the record cannot hold: BC, infinity, a year beyond 9999,
// a time stamp's zone. Such columns of the result set just described are selected as the
// server's own text instead: the same characters for every other value, and less work for the
// driver. "Select *" when the table has none.
std::string ServerTextSelect(COdbcConnection& connection, int columns)
{
    std::string select = "Select ";
    bool any = false;
    for (int i = 1; i <= columns; ++i) {
        const bool cast = IsDateOrTimeSqlType(connection.GetColumnSqlType(i));
        any = any || cast;
        select +=
            QuoteIdentifier(connection.GetColumnName(i, false), connection.GetIdentifierQuote());
        select += cast ? "::text" : "";
        select += i < columns ? ", " : "";
    }
    return any ? select : "Select *";
}

// Selects every column of one table (on PostgreSQL its dates as text) and hands every row's
// statement to put; counts the rows.
TableEnd ExportTable(CViewerDlg& main, const std::string& table, ScriptDialect dialect,
                     const std::function<bool(const std::string&)>& put, long long& rows)
{
    int ret = 0;
    std::string select = "Select *";
    if (dialect == ScriptDialect::PostgreSQL) {
        // Described without a row, so that a driver which reads the whole result at once does
        // not read the table twice.
        if (!main.ExecuteStatement("Select * From " + table + " Where 1 = 0", &ret))
            return TableEnd::Failed;
        select = ServerTextSelect(main.Connection(), main.GetColumnCount());
    }
    // A driver that reads a whole result into memory gets the table in pages of its key.
    const bool paged = dialect == ScriptDialect::MySQL && !main.Connection().StreamsResults();
    CKeyedPages reader(main.Connection(), select, table);
    if (!Succeeded(reader.Execute(paged)))
        return TableEnd::Failed;
    const int n = reader.ColumnCount();
    std::vector<int> kinds(static_cast<std::size_t>(n > 0 ? n : 0) + 1);
    kinds[0] = n;
    for (int i = 1; i <= n; ++i)
        kinds[static_cast<std::size_t>(i)] = main.GetColumnType(i);
    const std::string prefix = "Insert Into " + table + " Values (";
    std::string line;
    int r;
    while (Succeeded(r = reader.Fetch())) {
        line.assign(prefix);
        for (int p = 1; p <= n; ++p) {
            AppendExportValue(line, kinds[static_cast<std::size_t>(p)], main.GetColumnValue(p),
                              dialect);
            if (p != n)
                line += ',';
        }
        line += ')';
        if (!put(line))
            return TableEnd::Refused;
        ++rows;
        if (!main.StepProgress())
            return TableEnd::Stopped;
    }
    // A cancel may end a fetch as if the rows were over (the SQLite driver's does); and a script
    // that silently stops halfway would pass for a whole one.
    if (main.CommandCancelled())
        return TableEnd::Stopped;
    return r == SQL_NO_DATA ? TableEnd::Done : TableEnd::Failed;
}

} // namespace

bool CTablesDlg::ExportTables(const std::function<void(const std::vector<std::string>&)>& settings,
                              const std::function<bool(const std::string&)>& put,
                              const std::function<void(const std::string&)>& beginTable,
                              const std::function<void(const std::string&, long long)>& endTable)
{
    if (!m_pMainDlg)
        return false;
    CViewerDlg& main = *m_pMainDlg;
    main.Output("");
    COdbcConnection& connection = main.Connection();
    const ScriptDialect dialect = DialectOf(connection.GetDbmsName());
    std::vector<std::string> names, schemas, catalogs;
    main.OnGuiThread([&] { names = SelectedTables(&schemas, &catalogs); });
    TableEnd end = TableEnd::Done;
    CExportSession session(connection, dialect);
    if (!names.empty()) {
        if (session.Begin())
            settings(session.ScriptSettings());
        else
            end = TableEnd::Failed;
    }
    // The script must give back every value exactly; the other commands show trimmed text.
    connection.SetExactValues(true);
    for (std::size_t t = 0; t < names.size() && end == TableEnd::Done; ++t) {
        main.Output("Tabellen-Export von (" + names[t] + ")\r\n");
        main.SetProgressWork("Export von " + names[t]);
        const std::string table = main.QualifiedTableName(catalogs[t], schemas[t], names[t]);
        beginTable(names[t]);
        long long rows = 0;
        end = ExportTable(main, table, dialect, put, rows);
        if (end == TableEnd::Done)
            endTable(names[t], rows);
    }
    connection.SetExactValues(false);
    // A statement or fetch that the user's Abbrechen cancelled fails or ends early: it was the
    // user's stop, and nothing of the export may pass for whole.
    if (end != TableEnd::Refused && main.CommandCancelled())
        end = TableEnd::Stopped;
    if (end == TableEnd::Failed) {
        main.Output("Abbruch wegen Fehler.");
        std::string error;
        main.Output(main.GetErrorText(error));
    } else if (end == TableEnd::Stopped) {
        main.Output("Abbruch durch Benutzer.");
    }
    // An open cursor would hold the tables' locks until the next command.
    main.ResetStatement();
    session.End();
    return end == TableEnd::Done;
}

bool CTablesDlg::ExportSelectedTables()
{
    CViewerDlg* main = m_pMainDlg;
    return ExportTables(
        [](const std::vector<std::string>&) {},
        [main](const std::string& line) {
            main->Output(line);
            return true;
        },
        [](const std::string&) {}, [](const std::string&, long long) {});
}
