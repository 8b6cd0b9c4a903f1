#include "app/DedicationDlg.h"

#include "ui_IDD_DEDICATION.h"

#include <QMovie>

CDedicationDlg::CDedicationDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::IDD_DEDICATION>())
{
    m_ui->setupUi(this);
    setFixedSize(size());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    if (parent)
        setWindowModality(Qt::WindowModal);
    connect(m_ui->IDOK, &QPushButton::clicked, this, &QDialog::accept);
    OnInitDialog();
}

CDedicationDlg::~CDedicationDlg() = default;

void CDedicationDlg::OnInitDialog()
{
    m_pAnimate = std::make_unique<QMovie>(":/dedication.gif");
    // A file that asks to be played only once must not stop the animation.
    connect(m_pAnimate.get(), &QMovie::finished, m_pAnimate.get(), &QMovie::start);
    m_ui->IDC_STATIC_1043->setMovie(m_pAnimate.get());
    m_pAnimate->start();
}
