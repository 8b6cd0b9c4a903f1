#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class IDD_ABOUTBOX;
}

class QMovie;

// The program's name, version, comment, legal notice and contact address beside a looping
// animation. A right double-click inside it opens the dedication.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void OnInitDialog();

    std::unique_ptr<Ui::IDD_ABOUTBOX> m_ui;
    std::unique_ptr<QMovie> m_pAnimate;
};
