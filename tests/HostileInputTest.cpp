#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <fstream>
#include <sstream>

namespace {

class HostileInputTest : public DriverTest
{
protected:
    void SetUp() override
    {
        RemoveSettingsFile();
        DriverTest::SetUp();
    }

    void TearDown() override
    {
        m_dlg.reset();
        DriverTest::TearDown();
        RemoveSettingsFile();
    }

    CViewerDlg& ConnectAndSelect(const std::string& password)
    {
        m_dlg = std::make_unique<CViewerDlg>();
        m_dlg->show();
        ::ConnectAndSelect(*m_dlg, db().source(), password);
        return *m_dlg;
    }

    void Click(const char* name) { ClickButton(*m_dlg, name); }
    void Select(const std::vector<std::string>& names) { SelectTables(*m_dlg, names); }
    Lines Run(const char* button) { return RunCommand(*m_dlg, button); }
    Lines RunSql(const std::string& statement) { return RunSqlCommand(*m_dlg, statement); }

    std::unique_ptr<CViewerDlg> m_dlg;
};

TEST_P(HostileInputTest, TableNamesRunNothingButTheirSelect)
{
    const std::vector<std::string> names = {"a\"; DROP TABLE opfer; --", "Straße Nr. 1", "x'y",
                                            "semi;colon"};
    for (const std::string& name : names)
        db().CreateTable(
            name, {{"Spalte \"1\"", "INTEGER", "INTEGER"}, {"ä;b", "VARCHAR(9)", "VARCHAR(9)"}},
            {{"1", "'eins'"}});
    db().CreateTable("opfer", {{"n", "INTEGER", "INTEGER"}}, {{"42"}});
    ConnectAndSelect(db().source().password);
    std::vector<std::string> listed = m_dlg->TablesDlg()->SelectedTables();
    Select(names);
    Lines structure = Run("IDC_STRUCT");
    for (const std::string& name : names) {
        auto header =
            std::find(structure.begin(), structure.end(), "Tabellen-Struktur von (" + name + ")");
        ASSERT_NE(header, structure.end()) << name;
        ASSERT_LT(header + 4, structure.end());
        EXPECT_EQ(header[1], "(2 Spalten)");
        EXPECT_EQ(header[2], "[001]: SQL_INTEGER     \t\"Spalte \"1\"\"");
        EXPECT_EQ(header[3], "[002]: SQL_CHAR        \t\"ä;b\"");
    }
    Lines script = Run("IDC_EXPORT");
    EXPECT_EQ(std::count(script.begin(), script.end(), "Abbruch wegen Fehler."), 0);
    EXPECT_EQ(db().QueryValue("SELECT n FROM opfer"), "42");

    // Each table's script puts its row back into the emptied table.
    for (const std::string& name : names)
        db().Exec("DELETE FROM " + db().Quote(name));
    for (const std::string& line : script)
        if (line.rfind("Insert Into ", 0) == 0) {
            EXPECT_EQ(db().Exec(line), "") << line;
        }
    for (const std::string& name : names)
        EXPECT_EQ(db().QueryValue("SELECT count(*) FROM " + db().Quote(name)), "1") << name;
    EXPECT_EQ(db().QueryValue("SELECT n FROM opfer"), "42");
}

TEST_P(HostileInputTest, HugeStatementAndHugeValue)
{
    std::string big(1 << 20, 'x');
    for (std::size_t i = 0; i < big.size(); i += 1000)
        big[i] = 'y';
    ConnectAndSelect(db().source().password);
    std::string statement = "SELECT '" + big + "' AS v";
    Lines lines = RunSql(statement);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(lines[0] == statement);
    EXPECT_TRUE(lines[2] == big + "\t");
    EXPECT_EQ(lines[3], "SQL succeeded.");
    std::string entry;
    ASSERT_TRUE(m_dlg->GetHistoryEntry(0, entry));
    EXPECT_EQ(entry.size(), 1024u);

    // A value of 10 MB goes out whole in its export line and loads back whole.
    std::string huge;
    while (huge.size() < 10 * 1024 * 1024)
        huge += "Grüße 'aus' Köln ";
    huge += "Ende";
    db().CreateTable("riesig", {{"n", "INTEGER", "INTEGER"}, {"v", "TEXT", "TEXT"}});
    std::string quoted;
    for (char c : huge)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    ASSERT_EQ(db().Exec("INSERT INTO riesig VALUES (1, '" + quoted + "')"), "");
    Click("IDC_SELECT");
    Select({"riesig"});
    Lines script = Run("IDC_EXPORT");
    ASSERT_EQ(script.size(), 4u);
    EXPECT_TRUE(script[3] ==
                "Insert Into " + db().ScriptName("riesig") + " Values (1,'" + quoted + "')");
    db().Exec("DELETE FROM riesig");
    EXPECT_EQ(db().Exec(script[3]), "");
    EXPECT_EQ(db().QueryValue(std::string("SELECT ") + (isMariaDB() ? "char_length" : "length") +
                              "(v) FROM riesig"),
              std::to_string(QString::fromStdString(huge).size()));
}

TEST_P(HostileInputTest, ZeroBytesAndBrokenUtf8DoNotBreakTheWindow)
{
    db().CreateTable("roh", {{"b", "LONGVARBINARY", "BYTEA"}, {"t", "VARCHAR(20)", "VARCHAR(20)"}},
                     {{db().BinaryLiteral(std::string("vor\0nach", 8)), "'gut'"}});
    if (isSQLite())
        db().Exec("INSERT INTO roh VALUES (X'00', CAST(X'C328FF41' AS TEXT))");
    ConnectAndSelect(db().source().password);
    m_dlg->InfoDlg()->show();
    Lines lines = RunSql("SELECT b, t FROM roh");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2], "vor\tgut\t");
    if (isSQLite()) {
        EXPECT_EQ(lines[3], "\t\xC3\x28\xFF\x41\t");
    }
    QApplication::processEvents();
    QString shown = m_dlg->InfoDlg()->findChild<QPlainTextEdit*>("IDC_INFOTEXT")->toPlainText();
    EXPECT_TRUE(shown.contains("vor\tgut\t"));
    EXPECT_TRUE(shown.contains("SQL succeeded."));
}

// After a whole session with a typed password the password is in no file and no line.
TEST_P(HostileInputTest, PasswordNeverLeavesTheLoginField)
{
    if (isSQLite())
        GTEST_SKIP() << "SQLite takes no password";
    QTemporaryDir dir;
    QString log = dir.filePath("geheim.log");
    WriteSettingsFile("[General]\nLogging=" + log.toStdString() + "\nLogset=1\n");
    const std::string password = db().source().password;
    ASSERT_FALSE(password.empty());
    ConnectAndSelect(password);
    Lines sql = RunSql("SELECT current_user");
    EXPECT_EQ(sql.back(), "SQL succeeded.");
    std::string output = m_dlg->InfoDlg()->Text();
    Click("IDC_QUIT");
    m_dlg.reset();

    EXPECT_EQ(output.find(password), std::string::npos);
    EXPECT_EQ(ReadFileBytes(log).find(password), std::string::npos);
    EXPECT_EQ(ReadFileBytes(SettingsFile()).find(password), std::string::npos);
    // Nor anywhere else the program could have written in its home.
    QDirIterator files(QDir::homePath(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QString file = files.next();
        EXPECT_EQ(ReadFileBytes(file).find(password), std::string::npos) << file.toStdString();
    }
}

INSTANTIATE_DRIVER_SUITE(HostileInputTest);

} // namespace
