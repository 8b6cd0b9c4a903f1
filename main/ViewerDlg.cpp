#include "main/ViewerDlg.h"

#include "res/resource.h"
#include "tools/InfoDlg.h"
#include "tools/StructDlg.h"
#include "tools/TablesDlg.h"
#include "ui_IDD_MAIN.h"

#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace {

// The driver layer asks through this when it runs outside quiet mode.
bool AskWhetherToQuit(const std::string& title, const std::string& text)
{
    QMessageBox box(QMessageBox::Question, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::string DefaultLogPath()
{
    return QDir::home().filePath("Logging.log").toStdString();
}

} // namespace

CViewerDlg::CViewerDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::IDD_MAIN>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    OnInitDialog();
}

CViewerDlg::~CViewerDlg()
{
    m_listClients.clear();
    m_pHistory.reset();
    m_pInfoDlg.reset();
    m_pTablesDlg.reset();
}

void CViewerDlg::OnInitDialog()
{
    setContextMenuPolicy(Qt::ActionsContextMenu);
    AddAboutEntry();
    setWindowIcon(QIcon(":/tavrin.png"));

    m_pChkAutoDel = m_ui->IDC_AUTODEL;
    m_pChkLog = m_ui->IDC_LOG;
    m_pBtnExport = m_ui->IDC_EXPORT;
    m_pBtnStruct = m_ui->IDC_STRUCT;
    m_pBtnSql = m_ui->IDC_SQL;
    m_pBtnLogFile = m_ui->IDC_LOGFILE;
    m_pBtnConnect = m_ui->IDC_CONNECT;
    m_pBtnDisconnect = m_ui->IDC_DISCONNECT;
    m_pBtnSelect = m_ui->IDC_SELECT;
    m_pComboDatabase = m_ui->IDC_DATABASE;

    m_pHistory = std::make_unique<std::vector<std::string>>();
    m_strLogPath = DefaultLogPath();
    LoadSettings();

    m_pChkAutoDel->setChecked(m_bAutoDel);
    m_pChkLog->setChecked(m_bLogging);
    m_pBtnLogFile->setEnabled(m_bLogging);
    m_logFile.SetFileName(m_strLogPath);
    m_pBtnLogFile->setText(QString::fromStdString(m_strLogPath));
    m_pBtnLogFile->setToolTip(QString::fromStdString(m_strLogPath));
    if (m_pInfoDlg)
        m_pInfoDlg->ClearLines();

    m_odbc.SetQuestionHandler(AskWhetherToQuit);
    m_odbc.SetQuiet(true);
    ConnectControls();
    SetUpSourceCompleter();
}

void CViewerDlg::ConnectControls()
{
    connect(m_ui->IDC_LOG, &QCheckBox::clicked, this, &CViewerDlg::OnLogCheck);
    connect(m_ui->IDC_LOGFILE, &QPushButton::clicked, this, &CViewerDlg::OnLogFile);
    connect(m_ui->IDC_CONNECT, &QPushButton::clicked, this, &CViewerDlg::OnConnect);
    connect(m_ui->IDC_SELECT, &QPushButton::clicked, this, &CViewerDlg::OnSelect);
    connect(m_ui->IDC_DISCONNECT, &QPushButton::clicked, this, &CViewerDlg::OnDisconnect);
    connect(m_ui->IDC_QUIT, &QPushButton::clicked, this, &CViewerDlg::OnQuit);
    connect(m_ui->IDC_CLEAR, &QPushButton::clicked, this, &CViewerDlg::OnClear);
    connect(m_ui->IDC_AUTODEL, &QCheckBox::clicked, this, &CViewerDlg::OnAutoDel);
    connect(m_ui->IDC_INFO, &QCheckBox::clicked, this, &CViewerDlg::OnInfoCheck);
    connect(m_ui->IDC_TABS, &QCheckBox::clicked, this, &CViewerDlg::OnTabsCheck);
    connect(m_ui->IDC_SQL, &QPushButton::clicked, this, &CViewerDlg::OnSql);
    connect(m_ui->IDC_EXPORT, &QPushButton::clicked, this, &CViewerDlg::OnExport);
    connect(m_ui->IDC_STRUCT, &QPushButton::clicked, this, &CViewerDlg::OnStruct);
    connect(m_ui->IDC_CLIENTS, &QPushButton::clicked, this, &CViewerDlg::OnClients);
}

void CViewerDlg::ReadLoginFields()
{
    m_strSource = m_ui->IDC_SOURCE->text().toStdString();
    m_strUser = m_ui->IDC_USER->text().toStdString();
    m_strPassword = m_ui->IDC_PASSWORD->text().toStdString();
}

void CViewerDlg::WriteLoginFields()
{
    m_ui->IDC_SOURCE->setText(QString::fromStdString(m_strSource));
    m_ui->IDC_USER->setText(QString::fromStdString(m_strUser));
    m_ui->IDC_PASSWORD->setText(QString::fromStdString(m_strPassword));
}

void CViewerDlg::closeEvent(QCloseEvent* event)
{
    // A running command is stopped first; the program ends as Beenden does once it has.
    if (m_pCommand) {
        m_bQuitAfterCommand = true;
        m_pCommand->Cancel();
        event->ignore();
        return;
    }
    ReadLoginFields();
    SaveSettings();
    QDialog::closeEvent(event);
}

void CViewerDlg::reject()
{
    // Escape while a command runs stops the command, never the program under it.
    if (m_pCommand) {
        m_pCommand->Cancel();
        return;
    }
    QDialog::reject();
}

void CViewerDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter never ends the program: after typing the password it logs on, after typing a
    // database name it selects, on a focused button it presses that button, elsewhere nothing.
    // Escape still leaves without saving.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    QWidget* focus = focusWidget();
    QPushButton* button = qobject_cast<QPushButton*>(focus);
    if (focus == m_ui->IDC_SOURCE || focus == m_ui->IDC_USER || focus == m_ui->IDC_PASSWORD)
        button = m_pBtnConnect;
    else if (focus && (focus == m_pComboDatabase || m_pComboDatabase->isAncestorOf(focus)))
        button = m_pBtnSelect;
    if (button && button->isEnabled())
        button->click();
}

void CViewerDlg::OnQuit()
{
    ReadLoginFields();
    SaveSettings();
    accept();
}
