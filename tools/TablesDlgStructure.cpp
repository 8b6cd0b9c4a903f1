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
    std::vector<std::string> schemas, catalogs;
    const std::vector<std::string> names = SelectedTables(&schemas, &catalogs);
    main.SetProgressWork("Struktur");
    for (std::size_t t = 0; t < names.size(); ++t) {
        // Between two tables the user may stop the command; the progress window lets events in,
        // and so the user may close a window while it is being filled.
        if (t > 0 && !main.StepProgress(true)) {
            main.Output("Abbruch durch Benutzer.");
            break;
        }
        const std::string& name = names[t];
        QPointer<CStructDlg> window = main.CreateClientWindow();
        if (window)
            window->SetTitle(name);
        main.Output("Tabellen-Struktur von (" + name + ")");
        int ret = 0;
        if (!main.ExecuteStatement(
                "Select * From " + main.QualifiedTableName(catalogs[t], schemas[t], name), &ret)) {
            main.Output("Abbruch wegen Fehler.");
            std::string error;
            main.Output(main.GetErrorText(error));
            continue;
        }
        const int n = main.GetColumnCount();
        if (window && n != 0)
            window->InsertColumns(n);
        main.Output("(" + std::to_string(n) + " Spalten)");
        for (int i = 1; i <= n; ++i) {
            std::string column = main.GetColumnName(i);
            if (window)
                window->SetColumnText(i - 1, column);
            std::string typeName;
            CViewerDlg::GetSqlTypeName(main.GetColumnType(i), typeName);
            char number[16];
            std::snprintf(number, sizeof number, "[%03d]: ", i);
            main.Output(number + typeName + "\t\"" + column + "\"");
            if (window)
                window->SetCellText(i - 1, Trimmed(typeName));
        }
        if (window)
            window->FitColumns();
        main.Output("");
    }
    main.ResetStatement();
}
