// Long commands can be watched and stopped: half a second in, the progress window shows; its
// Abbrechen stops the command after the current row, the output ends saying so, a file export
// leaves an existing file as it was, and no second command starts meanwhile.

#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

constexpr int kRows = 1000000;

class ProgressTest : public ::testing::TestWithParam<const char*>
{
};

TEST_P(ProgressTest, AbbrechenStopsTheCommandAfterTheCurrentRow)
{
    RemoveSettingsFile();
    TestDatabase db(Driver::SQLite);
    ASSERT_TRUE(db.connected()) << db.connectError();
    db.CreateTable("gross", {{"i", "INTEGER", ""}, {"t", "VARCHAR(20)", ""}});
    ASSERT_EQ(db.Exec("INSERT INTO gross WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                      "FROM s WHERE i < " +
                      std::to_string(kRows) + ") SELECT i, 'Zeile ' || i FROM s"),
              "");
    QTemporaryDir dir;
    const QString file = dir.filePath("alt.sql");
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("alt\n");
    }
    CViewerDlg dlg;
    dlg.show();
    ConnectAndSelect(dlg, db.source(), "");
    SelectTables(dlg, {"gross"});
    dlg.InfoDlg()->ClearLines();

    bool seen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* progress = dlg.findChild<QDialog*>("IDD_PROGRESS");
        if (!progress || !progress->isVisible())
            return;
        seen = true;
        watch.stop();
        const std::size_t before = dlg.InfoDlg()->LineCount();
        ClickButton(dlg, "IDC_STRUCT"); // a second command must wait
        EXPECT_EQ(dlg.InfoDlg()->LineCount(), before);
        progress->findChild<QPushButton*>("IDCANCEL")->click();
    });
    watch.start(20);

    const std::string command = GetParam();
    if (command == "Export") {
        ClickButton(dlg, "IDC_EXPORT");
    } else if (command == "SQL") {
        RunSqlCommand(dlg, "Select * From gross");
    } else {
        QTimer::singleShot(0, [&] {
            auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(chooser, nullptr);
            chooser->selectFile(file);
            QTimer::singleShot(0, [] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                ASSERT_NE(box, nullptr) << "no question before replacing the file";
                box->button(QMessageBox::Yes)->click();
            });
            static_cast<QDialog*>(chooser)->accept();
        });
        dlg.OnExportToFile();
    }

    EXPECT_TRUE(seen) << "no progress window";
    const std::vector<std::string> lines = dlg.InfoDlg()->Entries();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Abbruch durch Benutzer.");
    EXPECT_FALSE(dlg.CommandRunning());
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "alt\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"alt.sql"});
}

INSTANTIATE_TEST_SUITE_P(Commands, ProgressTest, ::testing::Values("Export", "File", "SQL"),
                         [](const auto& info) { return std::string(info.param); });

} // namespace
