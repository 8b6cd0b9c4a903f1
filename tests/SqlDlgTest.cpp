#include "tools/SqlDlg.h"

#include "main/ViewerDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Entries = std::vector<std::string>;

QPlainTextEdit* Edit(CSqlDlg& dlg)
{
    return dlg.findChild<QPlainTextEdit*>("IDC_SQLTEXT");
}

void Click(CSqlDlg& dlg, const char* name)
{
    QTest::mouseClick(dlg.findChild<QPushButton*>(name), Qt::LeftButton);
}

void WriteFile(const QString& path, const std::string& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content.data(), static_cast<qint64>(content.size()));
}

// Runs the dialog for main as the SQL command does; drive sees it open and is to end it.
int RunSqlDlg(CViewerDlg& main, const std::function<void(CSqlDlg&)>& drive)
{
    CSqlDlg dlg;
    dlg.SetMainDialog(&main);
    QTimer::singleShot(0, &dlg, [&] {
        // Keys go to the focus widget, and only an active window has one.
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
        drive(dlg);
        if (dlg.isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dlg.done(-1);
        }
    });
    return dlg.exec();
}

// Presses the button, which is to bring up the script file chooser, and types path into it
// and accepts as a user does, or cancels it when path is empty. Asked whether to replace a file,
// answers as replace says.
void ChooseScript(CSqlDlg& dlg, const char* button, const QString& path, bool replace = true)
{
    bool seen = false;
    QTimer::singleShot(0, &dlg, [&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!chooser)
            return;
        seen = true;
        if (path.isEmpty())
            return chooser->reject();
        chooser->selectFile(path);
        // The chooser would open a directory rather than choose it; insist on the choice.
        if (QFileInfo(path).isDir())
            return static_cast<QDialog*>(chooser)->done(QDialog::Accepted);
        QTimer::singleShot(0, chooser, [replace, chooser] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr) << "no question before replacing a file";
            EXPECT_TRUE(box->text().contains(QString::fromUtf8("überschrieben")))
                << box->text().toStdString();
            box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
            // Refused, the chooser stays open for another name: the user gives up.
            if (!replace)
                QTimer::singleShot(0, chooser, &QDialog::reject);
        });
        // The chooser's own accept: it adds the extension and asks before replacing.
        static_cast<QDialog*>(chooser)->accept();
    });
    Click(dlg, button);
    EXPECT_TRUE(seen) << "no file chooser came up";
}

class SqlDlgTest : public ::testing::Test
{
protected:
    Entries History() const
    {
        Entries entries;
        std::string entry;
        for (int i = 0; m_main.GetHistoryEntry(i, entry); ++i)
            entries.push_back(entry);
        return entries;
    }

    // Runs the dialog, puts text into its editor and presses Execute SQL.
    void Execute(const QString& text)
    {
        RunSqlDlg(m_main, [&](CSqlDlg& dlg) {
            Edit(dlg)->setPlainText(text);
            Click(dlg, "IDOK");
        });
    }

    // Loads the script at path, or one holding content, over an edited statement, executes.
    std::string LoadAndExecute(const std::string& content, QString path = {})
    {
        QDir(m_dir.path()).mkdir("ordner.sql");
        if (path.isEmpty())
            WriteFile(path = m_dir.filePath("skript.sql"), content);
        RunSqlDlg(m_main, [&](CSqlDlg& dlg) {
            Edit(dlg)->setPlainText("SELECT vorher");
            ChooseScript(dlg, "IDC_LOADSCRIPT", path.replace("<dir>", m_dir.path()));
            Click(dlg, "IDOK");
        });
        return m_main.SqlText();
    }

    CViewerDlg m_main;
    QTemporaryDir m_dir;
};

TEST_F(SqlDlgTest, HistoryIsSortedIgnoringCaseAndAnEntryReplacesTheText)
{
    for (std::string entry : {"select b", "Select a", "SELECT c\r\nFROM t", "delete x", "select a"})
        m_main.AddToHistory(entry);
    RunSqlDlg(m_main, [](CSqlDlg& dlg) {
        auto* combo = dlg.findChild<QComboBox*>("IDC_HISTORY");
        Entries items;
        for (int i = 0; i < combo->count(); ++i)
            items.push_back(combo->itemText(i).toStdString());
        EXPECT_EQ(items,
                  (Entries{"delete x", "Select a", "select a", "select b", "SELECT c\r\nFROM t"}));
        EXPECT_EQ(combo->currentIndex(), -1);
        EXPECT_EQ(Edit(dlg)->toPlainText(), "");

        QTest::keyClicks(Edit(dlg), "getippt");
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        EXPECT_EQ(Edit(dlg)->toPlainText(), "delete x");
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(combo, Qt::Key_Down);
        EXPECT_EQ(Edit(dlg)->toPlainText(), "SELECT c\nFROM t");
        Click(dlg, "IDOK");
    });
    EXPECT_EQ(m_main.SqlText(), "SELECT c\r\nFROM t");
    EXPECT_EQ(History().size(), 5u);
}

// in: typed, or a script's bytes; out: handed over, or the file afterwards; more: the history
// entry kept, or the script's path.
struct Case
{
    const char* name;
    std::string in{};
    std::string out{};
    std::string more{};
    bool refuse = false;
};

std::string Name(const ::testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}

class SqlDlgCaseTest : public SqlDlgTest, public ::testing::WithParamInterface<Case>
{
};
using SqlDlgExecuteTest = SqlDlgCaseTest;
using SqlDlgCancelTest = SqlDlgCaseTest;
using SqlDlgLoadTest = SqlDlgCaseTest;
using SqlDlgSaveTest = SqlDlgCaseTest;

// The main dialog gets the whole text; the history keeps at most 1024 bytes, cut before a
// character that does not fit whole, and the same text only once.
TEST_P(SqlDlgExecuteTest, HandsOverTheWholeTextAndKeepsItOnce)
{
    // Only a text within the limit runs twice: a longer one is compared whole with its cut entry,
    // so it comes in again.
    const int rounds = GetParam().out.size() <= CViewerDlg::HISTORY_MAX_LENGTH ? 2 : 1;
    for (int round = 0; round < rounds; ++round) {
        Execute(QString::fromStdString(GetParam().in));
        EXPECT_EQ(m_main.SqlText(), GetParam().out);
        EXPECT_EQ(History(), Entries{GetParam().more}) << "round " << round;
    }
}

const std::string A1022(1022, 'a');
const std::string A1023(1023, 'a');
const std::string X1500(1500, 'x');

INSTANTIATE_TEST_SUITE_P(
    SqlDlg, SqlDlgExecuteTest,
    ::testing::Values(Case{"Empty", "", "", ""},
                      Case{"LinesAndEveryCharacter", "SELECT 'Maße\u00a0€'\n-- ä\u2028",
                           "SELECT 'Maße\u00a0€'\r\n-- ä\r\n", "SELECT 'Maße\u00a0€'\r\n-- ä\r\n"},
                      Case{"Long", X1500, X1500, X1500.substr(0, 1024)},
                      Case{"Exactly1024", A1022 + "ä", A1022 + "ä", A1022 + "ä"},
                      Case{"UmlautAcrossTheLimit", A1023 + "ä", A1023 + "ä", A1023},
                      Case{"EuroAcrossTheLimit", A1022 + "€b", A1022 + "€b", A1022}),
    Name);

// Texts that differ in case only are two entries; the 21st pushes the oldest out.
TEST_F(SqlDlgTest, HistoryTellsCaseAndDropsTheOldestOfTwenty)
{
    Entries executed = {"SELECT 1", "select 1"};
    for (int i = 3; i <= 21; ++i)
        executed.push_back("SELECT " + std::to_string(i));
    for (const std::string& text : executed)
        Execute(QString::fromStdString(text));
    EXPECT_EQ(History(), Entries(executed.begin() + 1, executed.end()));
}

TEST_F(SqlDlgTest, EnterBreaksTheLineInTheEditor)
{
    RunSqlDlg(m_main, [](CSqlDlg& dlg) {
        QTest::keyClicks(Edit(dlg), "SELECT a");
        QTest::keyClick(Edit(dlg), Qt::Key_Return);
        QTest::keyClicks(Edit(dlg), "FROM t");
        QTest::keyClick(Edit(dlg), Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_TRUE(dlg.isVisible());
        Click(dlg, "IDOK");
    });
    EXPECT_EQ(m_main.SqlText(), "SELECT a\r\nFROM t\r\n");
}

TEST_P(SqlDlgCancelTest, ChangesNothing)
{
    std::string old = "SELECT alt";
    m_main.AddToHistory(old);
    m_main.SetSqlText("SELECT vorher");
    const int result = RunSqlDlg(m_main, [](CSqlDlg& dlg) {
        QTest::keyClicks(Edit(dlg), "SELECT neu");
        const std::string how = GetParam().name;
        if (how == "Escape")
            QTest::keyClick(Edit(dlg), Qt::Key_Escape);
        else if (how == "CloseBox")
            dlg.close();
        else
            Click(dlg, "IDCANCEL");
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(m_main.SqlText(), "SELECT vorher");
    EXPECT_EQ(History(), Entries{"SELECT alt"});
}

INSTANTIATE_TEST_SUITE_P(SqlDlg, SqlDlgCancelTest,
                         ::testing::Values(Case{"Abbrechen"}, Case{"Escape"}, Case{"CloseBox"}),
                         Name);

// Every line of the script ends in CR LF, however it ended in the file; a script that cannot be
// opened or read (/proc/self/mem fails at the first read) leaves the statement as it was.
TEST_P(SqlDlgLoadTest, GivesEveryLineWithCrLf)
{
    EXPECT_EQ(LoadAndExecute(GetParam().in, QString::fromStdString(GetParam().more)),
              GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    SqlDlg, SqlDlgLoadTest,
    ::testing::Values(Case{"Lf", "SELECT a\n\nFROM t\n", "SELECT a\r\n\r\nFROM t\r\n"},
                      Case{"CrLf", "SELECT a\r\nFROM t\r\n", "SELECT a\r\nFROM t\r\n"},
                      Case{"CrOnly", "SELECT a\rFROM t\r", "SELECT a\r\nFROM t\r\n"},
                      Case{"NoFinalLineEnd", "SELECT a\r\nFROM t", "SELECT a\r\nFROM t\r\n"},
                      Case{"Empty", "", ""},
                      Case{"Windows1252", "SELECT 'K\xf6ln \x80 \x93\x81\x94'\nFROM t\xc3",
                           "SELECT 'Köln € “\u0081”'\r\nFROM tÃ\r\n"},
                      Case{"Missing", "", "SELECT vorher", "<dir>/fehlt.sql"},
                      Case{"Directory", "", "SELECT vorher", "<dir>/ordner.sql"},
                      Case{"ReadError", "", "SELECT vorher", "/proc/self/mem"}),
    Name);

TEST_F(SqlDlgTest, LoadsATenMegabyteScriptWhole)
{
    const std::string line = "INSERT INTO t VALUES ('" + std::string(90, 'z') + "');";
    std::string file;
    std::string expected;
    while (file.size() < 10 * 1024 * 1024) {
        file += line + "\n";
        expected += line + "\r\n";
    }
    const std::string given = LoadAndExecute(file);
    EXPECT_EQ(given.size(), expected.size());
    EXPECT_TRUE(given == expected);
}

const std::string Hashes(5000, '#');

// The file is replaced after a question and holds exactly the text with CR LF breaks; a name
// typed without extension gets ".sql". A save that cannot write, is cancelled or refused
// leaves the old file and no other.
TEST_P(SqlDlgSaveTest, ReplacesTheFileWithCrLfLines)
{
    const QString target = m_dir.filePath("ziel.sql");
    WriteFile(target, Hashes);
    QDir(m_dir.path()).mkdir("ordner.sql");
    QString path = QString::fromStdString(GetParam().more).replace("<dir>", m_dir.path());
    RunSqlDlg(m_main, [&](CSqlDlg& dlg) {
        Edit(dlg)->setPlainText(QString::fromStdString(GetParam().in));
        ChooseScript(dlg, "IDC_SAVESCRIPT", path, !GetParam().refuse);
        Click(dlg, "IDCANCEL");
    });
    QFile written(target);
    EXPECT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(), GetParam().out);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{"ordner.sql", "ziel.sql"}));
    EXPECT_TRUE(QDir(m_dir.filePath("ordner.sql")).isEmpty());
    EXPECT_EQ(History(), Entries{});
}

INSTANTIATE_TEST_SUITE_P(
    SqlDlg, SqlDlgSaveTest,
    ::testing::Values(Case{"Lines", "SELECT a\n\nFROM t\nWHERE b",
                           "SELECT a\r\n\r\nFROM t\r\nWHERE b", "<dir>/ziel.sql"},
                      Case{"Utf8AndFinalLineEnd", "SELECT 'Größe\u00a0€'\n",
                           "SELECT 'Größe\u00a0€'\r\n", "<dir>/ziel.sql"},
                      Case{"Empty", "", "", "<dir>/ziel.sql"},
                      Case{"WithoutExtension", "SELECT a", "SELECT a", "<dir>/ziel"},
                      Case{"Refused", "SELECT a", Hashes, "<dir>/ziel.sql", true},
                      Case{"OverDirectory", "SELECT a", Hashes, "<dir>/ordner.sql"},
                      Case{"Cancelled", "SELECT a", Hashes, ""}),
    Name);

} // namespace
