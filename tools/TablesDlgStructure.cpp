// The structure report: each selected table's columns with their type names, as text and in a
// Struktur-Info window.

#include "main/ViewerDlg.h"
#include "tools/StructDlg.h"
#include "tools/TablesDlg.h"

#include <QPointer>
#include <cstdio>

namespace {

std::string Trimmed(const std::string& text)
{
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

void CTablesDlg::ReportSelectedStructures()
{
    if (!m_pMainDlg)
        return;
    CViewerDlg& main = *m_pMainDlg;
    main.Output("");
    std::vector<std::string> names, schemas, catalogs;
    main.OnGuiThread([&] { names = SelectedTables(&schemas, &catalogs); });
    main.SetProgressWork("Struktur");
    for (std::size_t t = 0; t < names.size(); ++t) {
        if (t > 0 && !main.StepProgress(true)) {
            main.Output("Abbruch durch Benutzer.");
            break;
        }
        const std::string& name = names[t];
        // The windows live on the GUI thread, and the user may close one while it is being
        // filled.
        QPointer<CStructDlg> window;
        main.OnGuiThread([&] {
            window = main.CreateClientWindow();
            if (window)
                window->SetTitle(name);
        });
        main.Output("Tabellen-Struktur von (" + name + ")");
        // Only the columns count here: a driver that reads a whole result at once would read
        // the whole table for them.
        const std::string noRows = main.Connection().StreamsResults() ? "" : " Where 1 = 0";
        int ret = 0;
        if (!main.ExecuteStatement(
                "Select * From " + main.QualifiedTableName(catalogs[t], schemas[t], name) + noRows,
                &ret)) {
            if (main.CommandCancelled()) {
                main.Output("Abbruch durch Benutzer.");
                break;
            }
            main.Output("Abbruch wegen Fehler.");
            std::string error;
            main.Output(main.GetErrorText(error));
            continue;
        }
        const int n = main.GetColumnCount();
        main.Output("(" + std::to_string(n) + " Spalten)");
        std::vector<std::string> columns, types;
        for (int i = 1; i <= n; ++i) {
            columns.push_back(main.GetColumnName(i));
            std::string typeName;
            CViewerDlg::GetSqlTypeName(main.GetColumnType(i), typeName);
            char number[16];
            std::snprintf(number, sizeof number, "[%03d]: ", i);
            main.Output(number + typeName + "\t\"" + columns.back() + "\"");
            types.push_back(Trimmed(typeName));
        }
        main.OnGuiThread([&] {
            if (!window)
                return;
            if (n != 0)
                window->InsertColumns(n);
            for (int i = 0; i < n; ++i) {
                window->SetColumnText(i, columns[static_cast<std::size_t>(i)]);
                window->SetCellText(i, types[static_cast<std::size_t>(i)]);
            }
            window->FitColumns();
        });
        main.Output("");
    }
    main.ResetStatement();
}
