#include "app/MessageDlg.h"

#include "ui_IDD_MESSAGE.h"

#include <QPixmap>

CMessageDlg::CMessageDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::IDD_MESSAGE>())
{
    m_ui->setupUi(this);
    setFixedSize(size());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    // Modal to the window that opened it only: the parentless tool windows stay usable.
    if (parent)
        setWindowModality(Qt::WindowModal);
    m_ui->IDC_STATIC_1011->setPixmap(QPixmap(":/tavrin.png"));
    connect(m_ui->IDOK, &QPushButton::clicked, this, &QDialog::accept);
}

CMessageDlg::~CMessageDlg() = default;

int CMessageDlg::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

void CMessageDlg::OnInitDialog()
{
    setWindowTitle(QString::fromStdString(m_strCaption));
    m_ui->IDC_STATIC_1009->setTitle(QString::fromStdString(m_strHeading));
    m_ui->IDC_STATIC_1010->setText(QString::fromStdString(m_strMessage));
}
