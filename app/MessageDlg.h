#pragma once

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class IDD_MESSAGE;
}

// A message under a heading, beside the program icon, confirmed with OK.
class CMessageDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CMessageDlg(QWidget* parent = nullptr);
    ~CMessageDlg() override;

    void SetCaption(const std::string& text) { m_strCaption = text; }
    void SetHeading(const std::string& text) { m_strHeading = text; }
    void SetMessage(const std::string& text) { m_strMessage = text; }

    int exec() override;

private:
    void OnInitDialog();

    std::unique_ptr<Ui::IDD_MESSAGE> m_ui;
    std::string m_strCaption;
    std::string m_strHeading;
    std::string m_strMessage;
};
