// The commands of the main dialog on every engine, the progress window that stops them, and a
// PostgreSQL server that dies under them.

#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"
#include "tools/ProgressDlg.h"
#include "tools/TablesDlg.h"

#include <QApplication>
#include <QDirIterator>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <QTreeWidget>
#include <arpa/inet.h>
#include <map>
#include <unistd.h>

namespace {

using CommandsTest = DriverTest;

// One session: every command on tables of every kind, huge and broken statements among them;
// the password typed at the login reaches no line of the log and no file of the home.
TEST_P(CommandsTest, EveryCommandReportsInItsOwnFormat)
{
    db().CreateTable("mit Blank",
                     {{"Spalte \"1\"", "SMALLINT", "SMALLINT"},
                      {"ä;b", "CHAR(10)", "CHAR(10)"},
                      {"b", "LONGVARBINARY", "BYTEA"}},
                     {{"7", "'Meier'", db().BinaryLiteral(std::string("vor\0\xff'", 6))},
                      {"NULL", "NULL", "NULL"},
                      {"8", "'O''Brien'", db().BinaryLiteral(std::string(10000, 'Z'))}});
    db().CreateTable("leer", {{"n", "REAL", "REAL"}});
    db().CreateTable("zehn", {{"n", "INTEGER", "INTEGER"}},
                     {{"0"}, {"1"}, {"2"}, {"3"}, {"4"}, {"5"}, {"6"}, {"7"}, {"8"}, {"9"}});
    // A table of another schema (PostgreSQL) or database (MariaDB) is read from there.
    const std::string txt = isPostgres() ? "andere.txt" : isMariaDB() ? "tavrin_empty.txt" : "txt";
    const std::string dropTxt =
        isPostgres() ? "DROP SCHEMA IF EXISTS andere CASCADE" : "DROP TABLE IF EXISTS " + txt;
    db().Exec(dropTxt);
    if (isPostgres())
        db().Exec("CREATE SCHEMA andere");
    ASSERT_EQ(db().Exec("CREATE TABLE " + txt + " (v VARCHAR(10))"), "");
    ASSERT_EQ(db().Exec("INSERT INTO " + txt + " VALUES ('dort')"), "");
    WriteSettingsFile("[General]\nLogging=" + QDir::homePath().toStdString() +
                      "/sitzung.log\nLogset=1\n");
    CViewerDlg dlg;
    dlg.show();
    ConnectAndSelect(dlg, db().source(), db().source().password);
    SelectTables(dlg, {"leer", "mit Blank", "txt"});
    const Lines exported = RunCommand(dlg, "IDC_EXPORT"), structure = RunCommand(dlg, "IDC_STRUCT");
    db().Exec(dropTxt);
    // The reports of the selected tables, one after the other in the order of the list.
    const auto inListOrder = [&dlg](std::map<std::string, Lines> reports) {
        Lines all = {""};
        for (const std::string& table : dlg.TablesDlg()->SelectedTables())
            all.insert(all.end(), reports[table].begin(), reports[table].end());
        return all;
    };
    const std::string b = "Insert Into " + db().ScriptName(db().Quote("mit Blank")) + " Values (",
                      x = isPostgres() ? "'\\x" : "X'";
    EXPECT_EQ(exported,
              inListOrder({{"leer", {"Tabellen-Export von (leer)", ""}},
                           {"mit Blank",
                            {"Tabellen-Export von (mit Blank)", "",
                             b + "7,'Meier'," + x + "766F7200FF27')", b + "NULL,NULL,NULL)",
                             b + "8,'O''Brien'," + x +
                                 QByteArray(10000, 'Z').toHex().toUpper().toStdString() + "')"}},
                           {"txt",
                            {"Tabellen-Export von (txt)", "",
                             "Insert Into " + txt + " Values ('dort')"}}}));
    const std::string real = isSQLite() ? "SQL_DOUBLE      " : "SQL_REAL        ";
    std::map<std::string, Lines> structures = {
        {"leer", {"Tabellen-Struktur von (leer)", "(1 Spalten)", "[001]: " + real + "\t\"n\"", ""}},
        {"mit Blank",
         {"Tabellen-Struktur von (mit Blank)", "(3 Spalten)",
          "[001]: SQL_SMALLINT    \t\"Spalte \"1\"\"", "[002]: SQL_CHAR        \t\"ä;b\"",
          "[003]: <Unknown>\t\"b\"", ""}},
        {"txt",
         {"Tabellen-Struktur von (txt)", "(1 Spalten)", "[001]: SQL_CHAR        \t\"v\"", ""}}};
    EXPECT_EQ(structure, inListOrder(structures));

    // Each table has its window: a header per column, a row of type names, room for them.
    QPushButton* clients = dlg.findChild<QPushButton*>("IDC_CLIENTS");
    EXPECT_EQ(clients->text(), "<3> Clients");
    QTreeWidget* list = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == "mit Blank")
            list = w->findChild<QTreeWidget*>("IDC_LIST");
    ASSERT_TRUE(list && list->topLevelItemCount() == 1);
    QStringList shown;
    for (int c = 0; c < list->columnCount(); ++c) {
        shown << list->headerItem()->text(c) << list->topLevelItem(0)->text(c);
        EXPECT_GE(list->columnWidth(c), list->fontMetrics().horizontalAdvance("SQL_SMALLINT"));
    }
    EXPECT_EQ(shown.join('|'), "Spalte \"1\"|SQL_SMALLINT|ä;b|SQL_CHAR|b|<Unknown>");
    ClickButton(dlg, "IDC_CLIENTS");
    EXPECT_EQ(clients->text(), "<0> Clients");
    EXPECT_FALSE(clients->isEnabled());

    // Past fifty windows the report goes on without more of them.
    SelectTables(dlg, {"leer"});
    ClickButton(dlg, "IDC_STRUCT");
    EXPECT_EQ(clients->text(), "<1> Client");
    for (int i = 0; i < 49; ++i)
        ClickButton(dlg, "IDC_STRUCT");
    EXPECT_EQ(RunCommand(dlg, "IDC_STRUCT"), inListOrder(structures));
    EXPECT_EQ(clients->text(), "<50> Clients");
    ClickButton(dlg, "IDC_CLIENTS");

    const std::string big = QString("x").repeated(1 << 20).toStdString();
    std::vector<std::pair<std::string, Lines>> cases = {
        {"SELECT * FROM " + db().Quote("mit Blank"),
         {"Spalte \"1\"\tä;b\tb\t", "7\tMeier\tvor\t", "NULL\tNULL\tNULL\t",
          "8\tO'Brien\t" + std::string(10000, 'Z') + "\t", "SQL succeeded."}},
        {"INSERT INTO leer VALUES (2.5)", {"", "SQL succeeded."}},
        {"SELECT '" + big + "' AS v", {"v\t", big + "\t", "SQL succeeded."}},
        {"SELECT * FROM fehlt_x", {"SQL failed.", "Fehler: <-1>"}}};
    if (isSQLite())
        cases.insert(cases.begin(), {"SELECT CAST(X'C328FF41' AS TEXT) AS t",
                                     {"t\t", "\xC3\x28\xFF\x41\t", "SQL succeeded."}});
    for (auto& [statement, expected] : cases) {
        Lines lines = RunSqlCommand(dlg, statement);
        expected.insert(expected.begin(), statement);
        if (expected.back() == "Fehler: <-1>" && lines.size() == 4)
            expected.push_back(lines[3]); // the driver's message
        EXPECT_TRUE(lines == expected) << statement.substr(0, 100);
    }

    // Half a second into a long command the progress window shows, before it lets in the events
    // that fire this timer; its Abbrechen stops the command, and no second one starts meanwhile.
    bool seen = false;
    QTimer::singleShot(600, [&] {
        auto* progress = dlg.findChild<QDialog*>("IDD_PROGRESS");
        seen = progress && progress->isVisible();
        const std::size_t lines = dlg.InfoDlg()->LineCount();
        ClickButton(dlg, "IDC_EXPORT");
        EXPECT_EQ(dlg.InfoDlg()->LineCount(), lines) << "a second command ran";
        if (progress)
            progress->findChild<QPushButton*>("IDCANCEL")->click();
    });
    const Lines stopped =
        RunSqlCommand(dlg, "SELECT a.n FROM zehn a, zehn b, zehn c, zehn d, zehn e, zehn f");
    EXPECT_TRUE(seen) << "no progress window";
    EXPECT_EQ(stopped.empty() ? "" : stopped.back(), "Abbruch durch Benutzer.");

    // The first table that fails ends the export; the structure report goes on.
    SelectTables(dlg, {"leer", "mit Blank"});
    const std::string first = dlg.TablesDlg()->SelectedTables().front();
    db().Exec("DROP TABLE " + db().Quote(first));
    const Lines failed = RunCommand(dlg, "IDC_EXPORT");
    ASSERT_EQ(failed.size(), 5u);
    EXPECT_EQ(Lines(failed.begin(), failed.end() - 1),
              (Lines{"", "Tabellen-Export von (" + first + ")", "", "Abbruch wegen Fehler."}));
    EXPECT_NE(failed[4].find(first), std::string::npos) << failed[4];
    structures[first] = {"Tabellen-Struktur von (" + first + ")", failed[3], failed[4]};
    EXPECT_EQ(RunCommand(dlg, "IDC_STRUCT"), inListOrder(structures));

    ClickButton(dlg, "IDC_QUIT");
    RemoveSettingsFile();
    const std::string password = db().source().password;
    QDirIterator files(QDir::homePath(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (!password.empty() && files.hasNext()) {
        const QString file = files.next();
        EXPECT_EQ(ReadFileBytes(file).find(password), std::string::npos) << file.toStdString();
    }
}

INSTANTIATE_DRIVER_SUITE(CommandsTest);

const std::string kFixture = std::string(TAVRIN_SOURCE_DIR) + "/scripts/pg-fixture ";

// The PostgreSQL driver itself sometimes dereferences a null pointer in SQLFetch when the server
// vanishes under a streaming cursor: the scenario runs in a child process, a crash inside the
// driver is reported, and the server is brought back either way.
void RunInChild()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setEnvironment(QProcess::systemEnvironment() << "TAVRIN_FAULT_CHILD=1");
    child.start(QCoreApplication::applicationFilePath(),
                {QString("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())});
    child.waitForFinished(-1);
    const std::string printed = child.readAll().toStdString();
    std::system((kFixture + "restart >/dev/null 2>&1").c_str());
    TestDatabase(Driver::PostgreSQL).Exec("DROP TABLE IF EXISTS big");
    // Killed by a signal, or stopped by AddressSanitizer with the innermost frame in the driver.
    const std::size_t segv = printed.find("AddressSanitizer: SEGV"),
                      frame = printed.find("#0 ", segv);
    if ((child.exitStatus() == QProcess::CrashExit && segv == std::string::npos) ||
        printed.find("psqlodbc", frame) < printed.find('\n', frame))
        GTEST_SKIP() << "the PostgreSQL driver crashed after the server died:\n" << printed;
    EXPECT_EQ(child.exitCode(), 0) << printed;
}

// The server dies under an export once the log holds a good many of its rows.
TEST(ServerFaultTest, ServerDiesUnderAnExport)
{
    const bool fixture = PostgresConfigured() && std::getenv("TAVRIN_PG_DIR");
    ASSERT_TRUE(fixture || !std::getenv("CI")) << "the PostgreSQL fixture is not running";
    if (!fixture)
        GTEST_SKIP() << "the PostgreSQL fixture is not running";
    // A server that an earlier crash left down comes back first.
    std::system((kFixture + "restart >/dev/null 2>&1").c_str());
    if (!std::getenv("TAVRIN_FAULT_CHILD"))
        return RunInChild();
    TestDatabase db(Driver::PostgreSQL);
    ASSERT_EQ(db.Exec("CREATE TABLE big AS SELECT g AS id, repeat('Zeile ', 20) || g AS note "
                      "FROM generate_series(1, 200000) AS g"),
              "");
    const QString log = QDir::homePath() + "/fault.log";
    WriteSettingsFile("[General]\nLogging=" + log.toStdString() + "\nLogset=1\n");
    CViewerDlg dlg;
    dlg.show();
    ConnectAndSelect(dlg, db.source(), db.source().password);
    SelectTables(dlg, {"big"});
    bool crashed = false;
    QTimer crash;
    QObject::connect(&crash, &QTimer::timeout, [&] {
        if (QFileInfo(log).size() > 512 * 1024 && !crashed)
            crashed = std::system((kFixture + "crash").c_str()) == 0;
    });
    crash.start(1);
    const Lines window = RunCommand(dlg, "IDC_EXPORT");
    ASSERT_TRUE(crashed) << "the server was not stopped";
    // Then the failure and the driver's message: a half script must not pass for a whole one.
    ASSERT_GT(window.size(), 3u);
    EXPECT_EQ(window[window.size() - 2], "Abbruch wegen Fehler.");
    EXPECT_FALSE(window.back().empty());

    // The log has every row before the failure, whole and in order, across its backup (should the
    // server take long to die, the oldest rows may have gone with a second rotation).
    const std::string prefix = ">: Insert Into \"public\".big Values (";
    const std::string zeilen = QString("Zeile ").repeated(20).toStdString();
    long next = 0, first = 0;
    for (const std::string& line :
         SplitLines(ReadFileBytes(QDir::homePath() + "/fault.BAK") + ReadFileBytes(log))) {
        const std::size_t at = line.find(prefix) + prefix.size();
        if (line[0] != '<' || at != 23 + prefix.size())
            continue;
        if (next == 0)
            next = first = std::atol(line.c_str() + at);
        const std::string n = std::to_string(next++);
        EXPECT_EQ(line.substr(at), n + ",'" + zeilen + n + "')");
    }
    EXPECT_TRUE(next - first > 1000 && next <= 200000) << first << " to " << next;

    // Once the server is back, the same window logs on again.
    ASSERT_EQ(std::system((kFixture + "restart").c_str()), 0);
    ClickButton(dlg, "IDC_DISCONNECT");
    EXPECT_EQ(RunCommand(dlg, "IDC_CONNECT"), Lines{"Connect ok."});
}

// A port that takes the login and never answers: only the login time-out ends the wait.
TEST(ConnectFaults, HostThatNeverAnswersFailsAfterTheLoginTimeout)
{
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{static_cast<sa_family_t>(AF_INET), 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(silent, 8), 0);
    getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const DataSource source = AddPostgresSource("TavrinSilent", ntohs(address.sin_port));
    COdbcConnection conn;
    conn.SetQuiet(true);
    EXPECT_EQ(conn.Connect(source.dsn.c_str(), source.user.c_str(), source.password.c_str()),
              SQL_ERROR);
    std::string message;
    conn.GetErrorText(message);
    EXPECT_FALSE(message.empty());
    close(silent);
}

// Each table's rows count from zero, in German digit groups.
TEST(ProgressDlg, CountsTheRowsOfEachWorkAnew)
{
    QWidget main;
    CProgressDlg progress(&main);
    progress.show();
    for (const char* work : {"Export von a", "Export von b"}) {
        progress.SetWork(work);
        for (int row = 0; row < 1500; ++row)
            progress.Step();
    }
    QTest::qWait(60);
    progress.Step(true);
    EXPECT_EQ(progress.findChild<QLabel*>("IDC_PROGRESS_TEXT")->text(),
              "Export von b: 1.501 Zeilen");
}

} // namespace
