// The export script: one INSERT statement per row of every selected table.

#include "main/ViewerDlg.h"
#include "tools/ExportValue.h"
#include "tools/TablesDlg.h"

bool CTablesDlg::ExportSelectedTables()
{
    if (!m_pMainDlg)
        return false;
    CViewerDlg& main = *m_pMainDlg;
    bool ok = true;
    main.Output("");
    std::string line;
    COdbcConnection& connection = main.Connection();
    const ScriptDialect dialect = DialectOf(connection.GetDbmsName());
    // The script must give back every value exactly; the other commands show trimmed text.
    connection.SetExactValues(true);
    std::vector<std::string> schemas, catalogs;
    const std::vector<std::string> names = SelectedTables(&schemas, &catalogs);
    for (std::size_t t = 0; t < names.size(); ++t) {
        const std::string& name = names[t];
        main.Output("Tabellen-Export von (" + name + ")\r\n");
        const std::string table = main.QualifiedTableName(catalogs[t], schemas[t], name);
        int ret = 0;
        bool failed = !main.ExecuteStatement("Select * From " + table, &ret);
        if (!failed) {
            const int n = main.GetColumnCount();
            std::vector<int> kinds(static_cast<std::size_t>(n > 0 ? n : 0) + 1);
            kinds[0] = n;
            for (int i = 1; i <= n; ++i)
                kinds[static_cast<std::size_t>(i)] = main.GetColumnType(i);
            const std::string prefix = "Insert Into " + table + " Values (";
            int r;
            while ((r = main.FetchRowResult()) == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO) {
                line.assign(prefix);
                for (int p = 1; p <= n; ++p) {
                    AppendExportValue(line, kinds[static_cast<std::size_t>(p)],
                                      main.GetColumnValue(p), dialect);
                    if (p != n)
                        line += ',';
                }
                line += ')';
                main.Output(line);
            }
            // A script that silently stops halfway would pass for a whole one.
            failed = r != SQL_NO_DATA;
        }
        if (failed) {
            ok = false;
            main.Output("Abbruch wegen Fehler.");
            std::string error;
            main.Output(main.GetErrorText(error));
            break;
        }
    }
    connection.SetExactValues(false);
    // An open cursor would hold the tables' locks until the next command.
    main.ResetStatement();
    return ok;
}
