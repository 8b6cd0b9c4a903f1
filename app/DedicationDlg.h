#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class IDD_DEDICATION;
}

class QMovie;

// A one-line dedication above a looping animation.
class CDedicationDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CDedicationDlg(QWidget* parent = nullptr);
    ~CDedicationDlg() override;

private:
    void OnInitDialog();

    std::unique_ptr<Ui::IDD_DEDICATION> m_ui;
    std::unique_ptr<QMovie> m_pAnimate;
};
