#pragma once

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class IDD_SQL;
}

class CViewerDlg;
class QComboBox;

// The modal dialog in which a statement is written, taken from the history of this run or
// loaded from a script file. "Execute SQL" hands the text to the main dialog, which runs it.
class CSqlDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CSqlDlg(QWidget* parent = nullptr);
    ~CSqlDlg() override;

    void SetMainDialog(CViewerDlg* mainDlg) { m_pMainDlg = mainDlg; }
    void SetCaption(const std::string& caption) { m_strCaption = caption; }
    void SetHeading(const std::string& heading) { m_strHeading = heading; }

    int exec() override;

private:
    void OnInitDialog();
    void OnSelChangeHistory(int index);
    void OnLoadScript();
    void OnSaveScript();
    void OnOK();

    std::unique_ptr<Ui::IDD_SQL> m_ui;
    QComboBox* m_pHistoryCombo = nullptr;
    CViewerDlg* m_pMainDlg = nullptr;
    std::string m_strCaption;
    std::string m_strHeading;
};
