#pragma once

#include "main/ViewerDlg.h"
#include "tools/ToolDlg.h"

#include <memory>
#include <string>

namespace Ui {
class IDD_STRUCT;
}

class QTreeWidget;

// A Struktur-Info window: one table's column names as headers over one row of type names.
class CStructDlg : public CToolDlg
{
    Q_OBJECT

public:
    explicit CStructDlg(QWidget* parent = nullptr);
    ~CStructDlg() override;

    void SetTitle(const std::string& title);
    void InsertColumns(int count);
    void SetColumnText(int column, const std::string& text);
    void SetCellText(int column, const std::string& text);
    // Widens the window, within the screen, until each column (the client width shared out
    // evenly) shows its whole header and type name.
    void FitColumns();

protected:
    void OnToolClose() override;

private:
    std::unique_ptr<Ui::IDD_STRUCT> m_ui;
    QTreeWidget* m_list = nullptr;
};
