#include "tests/support/DialogDriver.h"

#include "main/ViewerDlg.h"

Lines SplitLines(const std::string& text)
{
    Lines lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

std::string ReadFileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

void WriteFileBytes(const QString& path, const std::string& content)
{
    QFile file(path);
    QDir().mkpath(QFileInfo(file).absolutePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(content.data(), static_cast<qint64>(content.size()));
}

QString SettingsFile()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Brenkow", "Tavrin").fileName();
}

int Modals(const std::function<void()>& action, const std::function<void(QWidget*)>& handler,
           QWidget* current)
{
    // Looked for until the action ends: a command's worker thread may delay a modal by several
    // passes of the event loop. The progress window is the command's own.
    int opened = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal || modal == current || modal->objectName() == "IDD_PROGRESS")
            return;
        ++opened;
        if (handler)
            handler(modal);
        if (modal && modal->isVisible())
            modal->close();
    });
    poll.start(5);
    action();
    poll.stop();
    QApplication::processEvents();
    return opened;
}

void FillLogin(CViewerDlg& dlg, const DataSource& source, const std::string& password)
{
    dlg.findChild<QLineEdit*>("IDC_SOURCE")->setText(QString::fromStdString(source.dsn));
    dlg.findChild<QLineEdit*>("IDC_USER")->setText(QString::fromStdString(source.user));
    dlg.findChild<QLineEdit*>("IDC_PASSWORD")->setText(QString::fromStdString(password));
}

void ClickButton(CViewerDlg& dlg, const char* name)
{
    if (QPushButton* button = Child<QPushButton>(&dlg, name))
        QTest::mouseClick(button, Qt::LeftButton);
}
