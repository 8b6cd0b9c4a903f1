#pragma once

#include "tools/ToolDlg.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class IDD_TABLES;
}

class QLineEdit;
class QPoint;
class QString;
class QTreeWidget;
class QTreeWidgetItem;

// The list of the selected database's tables. The export and structure commands work on the
// tables selected here.
class CTablesDlg : public CToolDlg
{
    Q_OBJECT

public:
    explicit CTablesDlg(QWidget* parent = nullptr);
    ~CTablesDlg() override;

    // Shows exactly these names, in this order; true when there was at least one. Each keeps
    // its schema, when given, so that a namesake in another schema is never taken for it.
    bool FillTables(const std::vector<std::string>& names,
                    const std::vector<std::string>& schemas = {},
                    const std::vector<std::string>& catalogs = {});
    void ClearTables();
    int TableCount() const { return m_nTables; }
    // The selected names from top to bottom, as listed, and their schemas and catalogs.
    std::vector<std::string> SelectedTables(std::vector<std::string>* schemas = nullptr,
                                            std::vector<std::string>* catalogs = nullptr) const;

    // The commands on the selected tables, reported line by line through the main dialog.
    bool ExportSelectedTables();
    void ReportSelectedStructures();
    // The export script into a file, written whole or not at all; the main dialog hears only
    // how many rows of each table went there.
    bool ExportSelectedTablesToFile(const std::string& path);

protected:
    void OnToolClose() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The export of every selected table: settings gets the statements a script file begins
    // with (the session settings its values need); put gets each statement and returns false
    // when it takes no more, which ends the export at once; beginTable and endTable (with its
    // rows) frame each table that went out whole.
    bool ExportTables(const std::function<void(const std::vector<std::string>&)>& settings,
                      const std::function<bool(const std::string&)>& put,
                      const std::function<void(const std::string&)>& beginTable,
                      const std::function<void(const std::string&, long long)>& endTable);

    void ShowContextMenu(const QPoint& at);
    // A data window with the item's table.
    void ShowData(QTreeWidgetItem* item);
    // Shows only the names that contain text, whatever its letter case.
    void ApplyFilter(const QString& text);
    // The selected names onto the clipboard, one a line.
    void CopyNames();

    std::unique_ptr<Ui::IDD_TABLES> m_ui;
    QTreeWidget* m_list = nullptr;
    QLineEdit* m_filter = nullptr;
    int m_nTables = 0;
};
