#include "app/AboutDlg.h"

#include "app/Applikation.h"
#include "app/DedicationDlg.h"
#include "ui_IDD_ABOUTBOX.h"

#include <QMouseEvent>
#include <QMovie>
#include <QPixmap>
#include <string>

namespace {

constexpr const char* CONTACT_ADDRESS = "tavrin@brenkow.de";

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::IDD_ABOUTBOX>())
{
    m_ui->setupUi(this);
    setFixedSize(size());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    // Modal to the window that opened it only: the parentless tool windows stay usable.
    if (parent)
        setWindowModality(Qt::WindowModal);
    connect(m_ui->IDOK, &QPushButton::clicked, this, &QDialog::accept);
    OnInitDialog();
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::OnInitDialog()
{
    m_ui->IDC_STATIC_1004->setPixmap(QPixmap(":/tavrin.png"));

    std::string fileVersion;
    std::string productVersion;
    std::string comments;
    std::string legal;
    CApplikation::ReadVersionInfo(fileVersion, productVersion, comments, legal);
    m_ui->IDC_STATIC_1011->setText(QString::fromStdString("Version (" + fileVersion + ")"));
    m_ui->IDC_STATIC_1022->setText(QString::fromStdString(legal));
    m_ui->IDC_STATIC_1009->setText(QString::fromStdString(comments));
    m_ui->IDC_STATIC_1023->setText(QString::fromUtf8(CONTACT_ADDRESS));

    setWindowTitle(QString::fromStdString("Info über " + CApplikation::AppName()));

    m_pAnimate = std::make_unique<QMovie>(":/about.gif");
    // A file that asks to be played only once must not stop the animation.
    connect(m_pAnimate.get(), &QMovie::finished, m_pAnimate.get(), &QMovie::start);
    m_ui->IDC_STATIC_1012->setMovie(m_pAnimate.get());
    m_pAnimate->start();
}

void CAboutDlg::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        CDedicationDlg dedication(this);
        dedication.exec();
    }
    QDialog::mouseDoubleClickEvent(event);
}
