// The commands of the main dialog on every engine: Export, Struktur with its windows, the SQL
// command, and the progress window that stops them.

#include "main/ViewerDlg.h"
#include "main/WindowPlacement.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>
#include <map>
#include <set>

namespace {

class CommandsTest : public DriverTest
{
protected:
    void TearDown() override
    {
        m_dlg.reset();
        DriverTest::TearDown();
        RemoveSettingsFile();
    }

    // A main dialog that starts with these settings (or none) and logs on to the test source.
    void Open(const std::string& settings = "")
    {
        settings.empty() ? RemoveSettingsFile() : WriteSettingsFile(settings);
        m_dlg = std::make_unique<CViewerDlg>();
        m_dlg->show();
        ConnectAndSelect(*m_dlg, db().source(), db().source().password);
    }

    Lines Run(const char* button) { return RunCommand(*m_dlg, button); }

    void ExpectClients(const QString& text)
    {
        QPushButton* button = m_dlg->findChild<QPushButton*>("IDC_CLIENTS");
        EXPECT_EQ(button->text(), text);
        EXPECT_EQ(button->isEnabled(), text != "<0> Clients");
    }

    // The reports of the selected tables as one command writes them: in the order of the list.
    Lines InListOrder(std::map<std::string, Lines> reports)
    {
        Lines all = {""};
        for (const std::string& table : m_dlg->TablesDlg()->SelectedTables())
            all.insert(all.end(), reports[table].begin(), reports[table].end());
        return all;
    }

    std::unique_ptr<CViewerDlg> m_dlg;
};

TEST_P(CommandsTest, ExportAndStructureOfEveryTableInListOrder)
{
    db().CreateTable("Kunde",
                     {{"Spalte \"1\"", "INTEGER", "INTEGER"}, {"ä;b", "CHAR(10)", "CHAR(10)"}},
                     {{"7", "'Meier'"}, {"NULL", "NULL"}, {"8", "'O''Brien'"}});
    db().CreateTable("leer", {{"n", "REAL", "REAL"}});
    db().CreateTable("mit Blank", {{"n", "SMALLINT", "SMALLINT"}, {"b", "LONGVARBINARY", "BYTEA"}},
                     {{"1", db().BinaryLiteral(std::string("\0\xff'\0x", 5))},
                      {"2", "NULL"},
                      {"3", db().BinaryLiteral(std::string(10000, '\x5a'))}});
    // A table of another schema (PostgreSQL) or database (MariaDB) is read from there.
    const std::string txt = isPostgres() ? "andere.txt" : isMariaDB() ? "tavrin_empty.txt" : "txt";
    const std::string dropTxt =
        isPostgres() ? "DROP SCHEMA IF EXISTS andere CASCADE" : "DROP TABLE IF EXISTS " + txt;
    db().Exec(dropTxt);
    if (isPostgres())
        db().Exec("CREATE SCHEMA andere");
    ASSERT_EQ(db().Exec("CREATE TABLE " + txt + " (v VARCHAR(10))"), "");
    ASSERT_EQ(db().Exec("INSERT INTO " + txt + " VALUES ('dort')"), "");
    Open();
    SelectTables(*m_dlg, {"Kunde", "leer", "mit Blank", "txt"});
    const Lines exported = Run("IDC_EXPORT"), structure = Run("IDC_STRUCT");
    db().Exec(dropTxt);
    // PostgreSQL folds unquoted names to lower case, so "Kunde" must be quoted there.
    const std::string k = "Insert Into " + db().ScriptName(isPostgres() ? "\"Kunde\"" : "Kunde");
    const std::string b = "Insert Into " + db().ScriptName(db().Quote("mit Blank")) + " Values (";
    std::string x = isPostgres() ? "'\\x" : "X'", fives = x;
    for (int i = 0; i < 10000; ++i)
        fives += "5A";
    EXPECT_EQ(exported,
              InListOrder({{"Kunde",
                            {"Tabellen-Export von (Kunde)", "", k + " Values (7,'Meier')",
                             k + " Values (NULL,NULL)", k + " Values (8,'O''Brien')"}},
                           {"leer", {"Tabellen-Export von (leer)", ""}},
                           {"mit Blank",
                            {"Tabellen-Export von (mit Blank)", "", b + "1," + x + "00FF270078')",
                             b + "2,NULL)", b + "3," + fives + "')"}},
                           {"txt",
                            {"Tabellen-Export von (txt)", "",
                             "Insert Into " + txt + " Values ('dort')"}}}));
    std::map<std::string, Lines> structures = {
        {"Kunde",
         {"Tabellen-Struktur von (Kunde)", "(2 Spalten)",
          "[001]: SQL_INTEGER     \t\"Spalte \"1\"\"", "[002]: SQL_CHAR        \t\"ä;b\"", ""}},
        {"leer",
         {"Tabellen-Struktur von (leer)", "(1 Spalten)",
          std::string("[001]: ") + (isSQLite() ? "SQL_DOUBLE      " : "SQL_REAL        ") +
              "\t\"n\"",
          ""}},
        {"mit Blank",
         {"Tabellen-Struktur von (mit Blank)", "(2 Spalten)", "[001]: SQL_SMALLINT    \t\"n\"",
          "[002]: <Unknown>\t\"b\"", ""}},
        {"txt",
         {"Tabellen-Struktur von (txt)", "(1 Spalten)", "[001]: SQL_CHAR        \t\"v\"", ""}}};
    EXPECT_EQ(structure, InListOrder(structures));

    // Each table has its window: a header per column, a row of type names, room for both, and
    // on the screen.
    ExpectClients("<4> Clients");
    QWidget* grid = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "IDD_STRUCT" && w->isVisible() && w->windowTitle() == "mit Blank")
            grid = w;
    ASSERT_NE(grid, nullptr);
    QTreeWidget* list = grid->findChild<QTreeWidget*>("IDC_LIST");
    ASSERT_EQ(list->columnCount(), 2);
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->headerItem()->text(0) + "|" + list->headerItem()->text(1), "n|b");
    EXPECT_EQ(list->topLevelItem(0)->text(0) + "|" + list->topLevelItem(0)->text(1),
              "SQL_SMALLINT|<Unknown>");
    EXPECT_EQ(list->columnWidth(0), list->columnWidth(1));
    EXPECT_GE(list->columnWidth(0), QFontMetrics(list->font()).horizontalAdvance("SQL_SMALLINT"));
    EXPECT_TRUE(WindowPlacement::ClientArea(0, 0).contains(grid->geometry()));
    grid->close();
    ExpectClients("<3> Clients");
    ClickButton(*m_dlg, "IDC_CLIENTS");
    ExpectClients("<0> Clients");

    // Past fifty windows the report goes on without more of them. They are cascaded, so that
    // none hides another, and each is on the screen.
    SelectTables(*m_dlg, {"leer"});
    ClickButton(*m_dlg, "IDC_STRUCT");
    ExpectClients("<1> Client");
    for (int i = 0; i < 48; ++i)
        ClickButton(*m_dlg, "IDC_STRUCT");
    EXPECT_EQ(Run("IDC_STRUCT"), InListOrder(structures));
    EXPECT_EQ(Run("IDC_STRUCT"), InListOrder(structures));
    ExpectClients("<50> Clients");
    std::set<std::pair<int, int>> corners;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "IDD_STRUCT" && w->isVisible()) {
            corners.insert({w->x(), w->y()});
            EXPECT_TRUE(WindowPlacement::ClientArea(0, 0).contains(w->geometry()));
        }
    EXPECT_EQ(corners.size(), 50u);
    ClickButton(*m_dlg, "IDC_CLIENTS");

    // The first table that fails ends the export; the structure report goes on.
    SelectTables(*m_dlg, {"leer", "mit Blank"});
    const std::string first = m_dlg->TablesDlg()->SelectedTables().front();
    db().Exec("DROP TABLE " + db().Quote(first));
    const Lines failed = Run("IDC_EXPORT");
    ASSERT_EQ(failed.size(), 5u);
    EXPECT_EQ(Lines(failed.begin(), failed.end() - 1),
              (Lines{"", "Tabellen-Export von (" + first + ")", "", "Abbruch wegen Fehler."}));
    EXPECT_NE(failed[4].find(first), std::string::npos) << failed[4];
    structures[first] = {"Tabellen-Struktur von (" + first + ")", failed[3], failed[4]};
    EXPECT_EQ(Run("IDC_STRUCT"), InListOrder(structures));
    SelectTables(*m_dlg, {});
    EXPECT_EQ(Run("IDC_EXPORT"), Lines{""});
    EXPECT_EQ(Run("IDC_STRUCT"), Lines{""});
}

// A session of statements, huge and broken ones among them; the password typed at the login
// reaches no line of the log and no file of the home.
TEST_P(CommandsTest, SqlCommandReportsStatementRowsAndVerdict)
{
    db().CreateTable(
        "zwei",
        {{"a", "INTEGER", "INTEGER"},
         {"b", "VARCHAR(9)", "VARCHAR(9)"},
         {"r", "LONGVARBINARY", "BYTEA"}},
        {{"1", "'x'", db().BinaryLiteral(std::string("vor\0nach", 8))}, {"2", "NULL", "NULL"}});
    Open("[General]\nLogging=" + QDir::homePath().toStdString() + "/sitzung.log\nLogset=1\n");
    std::string big(1 << 20, 'x');
    for (std::size_t i = 0; i < big.size(); i += 1000)
        big[i] = 'y';
    std::vector<std::pair<std::string, Lines>> cases = {
        {"SELECT a, b, r FROM zwei ORDER BY a", {"a\tb\tr\t", "1\tx\tvor\t", "2\tNULL\tNULL\t"}},
        {"SELECT a FROM zwei WHERE a > 5", {"a\t"}},
        {"INSERT INTO zwei VALUES (3, 'y', NULL)", {""}},
        {"SELECT '" + big + "' AS v", {"v\t", big + "\t"}},
        {"SELECT * FROM fehlt_x", {"SQL failed.", "Fehler: <-1>"}}};
    if (isSQLite())
        cases.insert(cases.begin(),
                     {"SELECT CAST(X'C328FF41' AS TEXT) AS t", {"t\t", "\xC3\x28\xFF\x41\t"}});
    for (auto& [statement, expected] : cases) {
        Lines lines = RunSqlCommand(*m_dlg, statement);
        expected.insert(expected.begin(), statement);
        if (expected.back() != "Fehler: <-1>")
            expected.push_back("SQL succeeded.");
        else if (lines.size() == 4 && lines[3].find("fehlt_x") != std::string::npos)
            expected.push_back(lines[3]); // the driver's message
        EXPECT_TRUE(lines == expected) << statement.substr(0, 100);
    }
    std::string entry;
    EXPECT_TRUE(m_dlg->GetHistoryEntry(0, entry) && entry == cases[0].first);
    EXPECT_TRUE(m_dlg->GetHistoryEntry(cases.size() - 2, entry) && entry.size() == 1024u);

    // Abbrechen in the SQL dialog runs nothing and leaves the window as it was.
    m_dlg->findChild<QCheckBox*>("IDC_AUTODEL")->click();
    m_dlg->InfoDlg()->ClearLines();
    m_dlg->Output("bleibt");
    QTimer::singleShot(0, [] {
        QWidget* modal = QApplication::activeModalWidget();
        modal->findChild<QPlainTextEdit*>("IDC_SQLTEXT")->setPlainText("DELETE FROM zwei");
        modal->findChild<QPushButton*>("IDCANCEL")->click();
    });
    ClickButton(*m_dlg, "IDC_SQL");
    EXPECT_EQ(m_dlg->InfoDlg()->Text(), "bleibt\r\n");
    EXPECT_FALSE(m_dlg->GetHistoryEntry(cases.size(), entry));
    EXPECT_EQ(m_dlg->SqlText(), "SELECT * FROM fehlt_x");
    EXPECT_EQ(db().QueryValue("SELECT count(*) FROM zwei"), "3");

    const std::string password = db().source().password;
    ClickButton(*m_dlg, "IDC_QUIT");
    m_dlg.reset();
    QDirIterator files(QDir::homePath(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (!password.empty() && files.hasNext()) {
        const QString file = files.next();
        EXPECT_EQ(ReadFileBytes(file).find(password), std::string::npos) << file.toStdString();
    }
}

INSTANTIATE_DRIVER_SUITE(CommandsTest);

// Half a second into a long command the progress window shows. Its Abbrechen stops the command
// after the current row, the output ends saying so, a file export leaves an existing file as it
// was, and no second command starts meanwhile.
TEST(ProgressTest, AbbrechenStopsEveryLongCommandAfterTheCurrentRow)
{
    RemoveSettingsFile();
    TestDatabase db(Driver::SQLite);
    db.CreateTable("gross", {{"i", "INTEGER", ""}, {"t", "VARCHAR(20)", ""}});
    ASSERT_EQ(db.Exec("INSERT INTO gross WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                      "FROM s WHERE i < 1000000) SELECT i, 'Zeile ' || i FROM s"),
              "");
    QTemporaryDir dir;
    const QString file = dir.filePath("alt.sql");
    std::ofstream(file.toStdString()) << "alt\n";
    CViewerDlg dlg;
    dlg.show();
    ConnectAndSelect(dlg, db.source(), "");
    SelectTables(dlg, {"gross"});
    for (const std::string command : {"Export", "File", "SQL"}) {
        SCOPED_TRACE(command);
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
            ClickButton(dlg, "IDC_STRUCT");
            EXPECT_EQ(dlg.InfoDlg()->LineCount(), before) << "a second command ran";
            progress->findChild<QPushButton*>("IDCANCEL")->click();
        });
        watch.start(20);
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
        const Lines lines = dlg.InfoDlg()->Entries();
        EXPECT_EQ(lines.empty() ? "" : lines.back(), "Abbruch durch Benutzer.");
        EXPECT_FALSE(dlg.CommandRunning());
        EXPECT_EQ(ReadFileBytes(file), "alt\n");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"alt.sql"});
    }
}

} // namespace
