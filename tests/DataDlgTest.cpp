#include "tools/DataDlg.h"

#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

#include <set>

using DataDlgTest = DriverTest;
using C = ColumnDef;

namespace {

// Lets the window's worker finish; false when it is still at work after limitMs.
bool Settled(const CDataDlg& data, int limitMs = 30000)
{
    QElapsedTimer clock;
    clock.start();
    do
        QTest::qWait(20);
    while (data.Busy() && clock.elapsed() < limitMs);
    return !data.Busy();
}

// The data window the Tabellen list opens for name, as a double-click or Enter does.
CDataDlg* OpenData(CViewerDlg& dlg, const char* name)
{
    auto* list = Child<QTreeWidget>(dlg.TablesDlg(), "IDC_LIST");
    const auto found = list->findItems(name, Qt::MatchExactly);
    EXPECT_EQ(found.size(), 1) << name;
    if (found.size() != 1)
        return nullptr;
    const int before = dlg.ClientCount();
    emit list->itemActivated(found[0], 0);
    CDataDlg* data = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == QString("Daten: ") + name && w->isVisible())
            data = dynamic_cast<CDataDlg*>(w);
    EXPECT_EQ(dlg.ClientCount(), before + 1) << "not counted among the client windows";
    EXPECT_TRUE(data && Settled(*data)) << "no data window for " << name;
    return data;
}

// The main dialog without stored settings, logged on, its tables listed.
std::unique_ptr<CViewerDlg> LoggedOn(const DataSource& source)
{
    QFile::remove(SettingsFile());
    auto dlg = std::make_unique<CViewerDlg>();
    dlg->show();
    FillLogin(*dlg, source, source.password);
    ClickButton(*dlg, "IDC_CONNECT");
    ClickButton(*dlg, "IDC_SELECT");
    return dlg;
}

void RunStatement(CDataDlg& data, const std::string& statement)
{
    auto* line = Child<QLineEdit>(&data, "IDC_STATEMENT");
    line->setText(QString::fromStdString(statement));
    QTest::keyClick(line, Qt::Key_Return);
}

std::string CopyAll(CDataDlg& data)
{
    auto* grid = Child<QTableView>(&data, "IDC_GRID");
    grid->selectAll();
    QApplication::clipboard()->clear();
    QTest::keySequence(grid, QKeySequence::Copy);
    return QApplication::clipboard()->text().toStdString();
}

} // namespace

// The grid holds the values as a script holds them, NULL apart from the text 'NULL'; Ctrl+C
// gives the selection as tab-separated lines, "Als CSV speichern" the whole result as RFC 4180,
// written whole or not at all.
TEST_P(DataDlgTest, ShowsCopiesAndSavesEveryValueExactly)
{
    db().CreateTable("werte",
                     {C{"id", "BIGINT", "BIGINT"}, C{"name", "VARCHAR(40)", "VARCHAR(40)"},
                      C{"fest", "CHAR(4)", "CHAR(4)"}, C{"roh", "BLOB", "BYTEA", "VARBINARY(4)"}},
                     {{"9007199254740993", "'Müller  '", "'ab'", db().BinaryLiteral("\x01\xff")},
                      {"-2", "'NULL'", "NULL", "NULL"},
                      {"3", "'Tab\tund \"Zitat\", Komma'", "'x'", "NULL"}});
    const std::unique_ptr<CViewerDlg> session = LoggedOn(db().source());
    CViewerDlg& dlg = *session;
    CDataDlg* data = OpenData(dlg, "werte");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->StatusText(), "3 Zeilen geladen");
    EXPECT_EQ(CopyAll(*data), "id\tname\tfest\troh\n"
                              "9007199254740993\tMüller  \tab\t0x01FF\n"
                              "-2\tNULL\t\t\n"
                              "3\t\"Tab\tund \"\"Zitat\"\", Komma\"\tx\t\n");
    const CRowModel& model = data->Model();
    const QModelIndex nullCell = model.index(1, 2), nullText = model.index(1, 1);
    EXPECT_EQ(model.data(nullCell).toString(), "NULL");
    EXPECT_TRUE(model.data(nullCell, Qt::ForegroundRole).isValid()) << "NULL not set apart";
    EXPECT_FALSE(model.data(nullText, Qt::ForegroundRole).isValid()) << "'NULL' shown as NULL";

    QTemporaryDir dir;
    const QString csv = dir.filePath("werte.csv");
    const std::string expected = "id,name,fest,roh\r\n"
                                 "9007199254740993,Müller  ,ab,0x01FF\r\n"
                                 "-2,NULL,,\r\n"
                                 "3,\"Tab\tund \"\"Zitat\"\", Komma\",x,\r\n";
    // A full disk keeps the file there was and says why; then the file is written whole.
    const struct
    {
        rlim_t limit;
        std::string file, status;
    } saves[] = {{40, "alt", "Fehler: " + csv.toStdString() + ": Die Datei ist zu groß"},
                 {RLIM_INFINITY, expected, "3 Zeilen nach " + csv.toStdString()}};
    for (const auto& save : saves) {
        WriteFileBytes(csv, "alt");
        {
            const FileSizeLimit cut(save.limit);
            data->SaveCsv(csv.toStdString());
            ASSERT_TRUE(Settled(*data));
        }
        EXPECT_EQ(ReadFileBytes(csv), save.file) << save.status;
        EXPECT_EQ(data->StatusText(), save.status);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"werte.csv"})
            << "a temporary file stayed";
    }
    EXPECT_EQ(dlg.InfoDlg()->Entries().back(), "3 Zeilen nach " + csv.toStdString());
    if (isPostgres()) {
        // Dates and times the driver cannot hold come as the server writes them, as exported.
        db().CreateTable("zeiten", {C{"t", "", "TIMESTAMP"}, C{"d", "", "DATE"}},
                         {{"'infinity'", "'0044-03-15 BC'"}});
        ClickButton(dlg, "IDC_SELECT");
        CDataDlg* times = OpenData(dlg, "zeiten");
        ASSERT_NE(times, nullptr);
        EXPECT_EQ(CopyAll(*times), "t\td\ninfinity\t0044-03-15 BC\n");
    }
    ClickButton(dlg, "IDC_CLIENTS");
    QTest::qWait(50);
    EXPECT_EQ(dlg.ClientCount(), 0) << "the data window outlived <Clients>";
}

// Rows come in batches as the view asks; Ctrl+End reads the rest. A statement of the user's
// replaces the table's rows, a faulty one says why in the window and in the log, a long one
// stops on Abbrechen, and closing a window at work ends its statement.
TEST_P(DataDlgTest, FetchesLazilyRunsStatementsAndStops)
{
    db().CreateTable("ziffern", {C{"n", "INTEGER", "INTEGER"}},
                     {{"0"}, {"1"}, {"2"}, {"3"}, {"4"}, {"5"}, {"6"}, {"7"}, {"8"}, {"9"}});
    db().CreateTable("viele", {C{"n", "INTEGER PRIMARY KEY", "INTEGER PRIMARY KEY"}});
    ASSERT_EQ(db().Exec("INSERT INTO viele SELECT a.n + 10 * b.n + 100 * c.n + 1000 * d.n FROM "
                        "ziffern a, ziffern b, ziffern c, ziffern d WHERE d.n < 2 OR (d.n = 2 AND "
                        "c.n < 5)"),
              "");
    const std::unique_ptr<CViewerDlg> session = LoggedOn(db().source());
    CViewerDlg& dlg = *session;
    CDataDlg* data = OpenData(dlg, "viele");
    ASSERT_NE(data, nullptr);
    const CRowModel& model = data->Model();
    const struct
    {
        const char* step;
        std::function<void()> act;
        std::string status;
        std::size_t rows;
    } steps[] = {
        {"opened", [] {}, "1.000 Zeilen geladen, weitere folgen", 1000},
        {"scrolled", [&] { Child<QTableView>(data, "IDC_GRID")->scrollToBottom(); },
         "2.000 Zeilen geladen, weitere folgen", 2000},
        {"Ctrl+End",
         [&] {
             QTest::keyClick(Child<QTableView>(data, "IDC_GRID"), Qt::Key_End, Qt::ControlModifier);
         },
         "2.500 Zeilen geladen", 2500},
        {"statement",
         [&] { RunStatement(*data, "SELECT n * 2 AS doppelt FROM viele WHERE n < 3"); },
         "3 Zeilen geladen", 3},
        {"faulty", [&] { RunStatement(*data, "SELECT nichts FROM nirgends"); }, "Fehler: ", 0},
    };
    for (const auto& step : steps) {
        step.act();
        ASSERT_TRUE(Settled(*data)) << step.step;
        EXPECT_EQ(data->StatusText().substr(0, step.status.size()), step.status) << step.step;
        EXPECT_EQ(model.LoadedRows(), step.rows) << step.step;
        // Every row once, none changed by the batches after it.
        std::set<std::string> values;
        for (std::size_t row = 0; row < model.LoadedRows(); ++row)
            values.insert(model.Text(row, 0));
        EXPECT_EQ(values.size(), step.rows) << step.step;
        EXPECT_TRUE(step.rows < 2500 || (values.count("0") && values.count("2499"))) << step.step;
    }
    const Lines info = dlg.InfoDlg()->Entries();
    const auto failed = std::find(info.begin(), info.end(), "SQL failed.");
    ASSERT_TRUE(failed != info.begin() && info.end() - failed >= 3) << "the log tells no failure";
    EXPECT_EQ(failed[-1], "SELECT nichts FROM nirgends");
    EXPECT_EQ(failed[1].substr(0, 8), "Fehler: ");
    EXPECT_EQ("Fehler: " + failed[2], data->StatusText()) << "not the driver's message";

    const std::string slow = isSQLite() ? "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                          "FROM s WHERE i < 4000000000) SELECT count(*) FROM s"
                             : isPostgres() ? "SELECT pg_sleep(60)"
                                            : "SELECT SLEEP(60)";
    RunStatement(*data, slow);
    QTest::qWait(700);
    auto* progress = data->findChild<QDialog*>("IDD_PROGRESS");
    ASSERT_TRUE(progress && progress->isVisible()) << "no progress window for a long statement";
    progress->findChild<QPushButton*>("IDCANCEL")->click();
    ASSERT_TRUE(Settled(*data, 5000)) << "Abbrechen did not stop the statement";
    EXPECT_EQ(data->StatusText().substr(0, 23), "Abbruch durch Benutzer.");
    RunStatement(*data, "SELECT 1 AS eins");
    ASSERT_TRUE(Settled(*data));
    EXPECT_EQ(CopyAll(*data), "eins\n1\n") << "the session after the cancel";

    // Closed at work: the statement ends with the window, not at its end a minute later.
    RunStatement(*data, slow);
    QTest::qWait(300);
    QElapsedTimer closing;
    closing.start();
    ClickButton(dlg, "IDC_CLIENTS");
    QTest::qWait(50);
    EXPECT_LT(closing.elapsed(), 30000) << "closing waited for the statement";
    EXPECT_EQ(dlg.ClientCount(), 0);
}

INSTANTIATE_DRIVER_SUITE(DataDlgTest);
