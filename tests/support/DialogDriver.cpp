#include "tests/support/DialogDriver.h"

#include "main/ViewerDlg.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

Lines SplitLines(const std::string& text)
{
    Lines lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::string ReadFileBytes(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

QString SettingsFile()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Brenkow", "Tavrin").fileName();
}

void WriteSettingsFile(const std::string& content)
{
    QFile file(SettingsFile());
    QDir().mkpath(QFileInfo(file).absolutePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content.data(), static_cast<qint64>(content.size()));
}

void RemoveSettingsFile()
{
    QFile::remove(SettingsFile());
}

void FillLogin(CViewerDlg& dlg, const DataSource& source, const std::string& password)
{
    dlg.findChild<QLineEdit*>("IDC_SOURCE")->setText(QString::fromStdString(source.dsn));
    dlg.findChild<QLineEdit*>("IDC_USER")->setText(QString::fromStdString(source.user));
    dlg.findChild<QLineEdit*>("IDC_PASSWORD")->setText(QString::fromStdString(password));
}

void ClickButton(CViewerDlg& dlg, const char* name)
{
    QPushButton* button = dlg.findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
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
    QTreeWidget* list = dlg.TablesDlg()->findChild<QTreeWidget*>("IDC_LIST");
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
        modal->findChild<QPlainTextEdit*>("IDC_SQLTEXT")
            ->setPlainText(QString::fromStdString(statement));
        modal->findChild<QPushButton*>("IDOK")->click();
    });
    return RunCommand(dlg, "IDC_SQL");
}
