// The activity output and the log file switches.

#include "main/ViewerDlg.h"
#include "tools/InfoDlg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

void CViewerDlg::Output(const std::string& text)
{
    if (m_bLogging)
        NoteLogWritten(m_logFile.WriteLine(text));
    ShowLine(text);
}

void CViewerDlg::NoteLogWritten(bool written)
{
    // Lines the log does not take would be gone unnoticed (the window keeps only the newest
    // ones): the window says when the log stops taking them and when it takes them again.
    if (written != m_bLogWritable) {
        m_bLogWritable = written;
        ShowLine(written ? "Log-Datei wieder beschreibbar: " + m_strLogPath
                         : "Log-Datei nicht beschreibbar: " + m_strLogPath + " (" +
                               m_logFile.LastError() + ")");
    }
}

void CViewerDlg::ShowLine(const std::string& text)
{
    // While a command runs, its lines reach the window through the command, in their order,
    // from whichever thread reports them.
    if (m_pCommand)
        m_pCommand->PostLine(text);
    else if (m_pInfoDlg)
        m_pInfoDlg->AddLine(text);
}

void CViewerDlg::OnLogCheck()
{
    m_bLogging = m_pChkLog->isChecked();
    m_bLogWritable = true;
    m_pBtnLogFile->setEnabled(m_bLogging);
}

void CViewerDlg::SetLogFileCaption(const std::string& path)
{
    QString caption = QString::fromStdString(path);
    if (caption.size() > 12)
        caption = caption.left(10) + "...";
    m_pBtnLogFile->setText(caption);
    // The caption may be shortened; the whole path is one hover away.
    m_pBtnLogFile->setToolTip(QString::fromStdString(path));
}

void CViewerDlg::OnLogFile()
{
    QString path = QString::fromStdString(m_strLogPath);
    QFileInfo info(path);
    QString name = info.fileName();
    qsizetype dot = name.lastIndexOf('.');
    QString extension = dot > 0 ? name.mid(dot + 1) : QString();
    QString withoutExtension = dot > 0 ? path.left(path.size() - (name.size() - dot)) : path;

    QFileDialog chooser(this);
    chooser.setObjectName("IDD_LOGFILE");
    chooser.setWindowModality(Qt::WindowModal);
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setOption(QFileDialog::DontConfirmOverwrite);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setNameFilters({"Log-Files (*.log)", "Text-Files (*.txt)"});
    chooser.setDefaultSuffix(extension);
    if (!info.absolutePath().isEmpty())
        chooser.setDirectory(info.absolutePath());
    chooser.selectFile(QFileInfo(withoutExtension).fileName());
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;

    m_strLogPath = chooser.selectedFiles().constFirst().toStdString();
    m_logFile.SetFileName(m_strLogPath);
    m_bLogWritable = true;
    SetLogFileCaption(m_strLogPath);
}
