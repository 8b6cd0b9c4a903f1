#include "tests/support/DialogDriver.h"

#include "main/ViewerDlg.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

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

void WriteSettingsFile(const std::string& content)
{
    WriteFileBytes(SettingsFile(), content);
}

void RemoveSettingsFile()
{
    QFile::remove(SettingsFile());
}

std::string Flags(QWidget* parent, std::initializer_list<const char*> names)
{
    std::string flags;
    for (const char* name : names) {
        auto* box = qobject_cast<QCheckBox*>(Child(parent, name));
        flags += (box ? box->isChecked() : Child(parent, name)->isEnabled()) ? '1' : '0';
    }
    return flags;
}

int Modals(const std::function<void()>& action, const std::function<void(QWidget*)>& handler,
           QWidget* current)
{
    int opened = 0;
    QTimer::singleShot(0, [&] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal || modal == current)
            return;
        ++opened;
        if (handler)
            handler(modal);
        if (modal && modal->isVisible())
            modal->close();
    });
    action();
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

void ConnectAndSelect(CViewerDlg& dlg, const DataSource& source, const std::string& password)
{
    FillLogin(dlg, source, password);
    ClickButton(dlg, "IDC_CONNECT");
    ClickButton(dlg, "IDC_SELECT");
}

void SelectTables(CViewerDlg& dlg, const std::vector<std::string>& names)
{
    auto* list = Child<QTreeWidget>(dlg.TablesDlg(), "IDC_LIST");
    list->clearSelection();
    for (const std::string& name : names) {
        auto found = list->findItems(QString::fromStdString(name), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        found[0]->setSelected(true);
    }
}

Lines RunCommand(CViewerDlg& dlg, const char* button)
{
    dlg.InfoDlg()->ClearLines();
    ClickButton(dlg, button);
    return SplitLines(dlg.InfoDlg()->Text());
}

Lines RunSqlCommand(CViewerDlg& dlg, const std::string& statement)
{
    QTimer::singleShot(0, [statement] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        Child<QPlainTextEdit>(modal, "IDC_SQLTEXT")
            ->setPlainText(QString::fromStdString(statement));
        Child<QPushButton>(modal, "IDOK")->click();
    });
    return RunCommand(dlg, "IDC_SQL");
}
