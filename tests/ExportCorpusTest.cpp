// The export corpus: tables of every shape a script must give back exactly, kept as data. Export's
// script loads back through the data source, the file export's through the engine's own client;
// the data source compares the rows with the originals, so the program is not its own judge.

#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

#include <QDir>
#include <cstdlib>
#include <random>
#include <set>

namespace {

struct CorpusTable
{
    std::string name;
    std::vector<ColumnDef> columns;
    std::vector<Row> rows; // no two alike, so that a comparison one way and a count suffice
};

using ExportCorpusTest = DriverTest;

TEST_P(ExportCorpusTest, ScriptsLoadBackEveryValueExactly)
{
    // A text literal as this data source reads it back: MariaDB takes a backslash for an escape.
    const auto text = [this](const std::string& value) {
        std::string literal = "'";
        for (char c : value)
            literal.append(c == '\'' || (c == '\\' && isMariaDB()) ? 2 : 1, c);
        return literal + "'";
    };
    std::mt19937 random(4711);
    std::string noise(10 * 1024, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    const std::string all = "Grüße 'zitiert' \"doppelt\" C:\\pfad\\ 😀 漢字 Ω\tTab ";
    std::string huge;
    while (huge.size() < 10 * 1024 * 1024)
        huge += "Grüße 'aus' Köln ";
    std::vector<CorpusTable> corpus = {
        {"werte",
         {{"i", "INTEGER", "INTEGER"},
          {"s", "SMALLINT", "SMALLINT"},
          {"l", "BIGINT", "BIGINT"},
          {"r", "REAL", "REAL", "FLOAT"},
          {"d", "DOUBLE", "DOUBLE PRECISION"},
          {"n", "NUMERIC(38,10)", "NUMERIC(38,10)"},
          {"v", "VARCHAR(2000)", "VARCHAR(2000)"},
          {"c", "CHAR(10)", "CHAR(10)"},
          {"dt", "DATE", "DATE"},
          {"ts", "TIMESTAMP", "TIMESTAMP(6)", "DATETIME(6)"},
          {"b", "BLOB", "BYTEA", "VARBINARY(12000)"},
          {"lb", "BLOB", "BYTEA", "LONGBLOB"}},
         // A driver limit, named where it bites: the SQLite driver hands out doubles with 15
         // significant digits, so its largest double reads as infinity.
         {{"-2147483648", "-32768", "-9223372036854775808",
           isSQLite() ? "3.40282346638529e38" : "3.402823466e38",
           isSQLite() ? "1.79769313486231e308" : "1.7976931348623157e308",
           isSQLite() ? "-12345.6789012345" : "-1234567890123456789012345678.0123456789",
           text(all + "  "), text("Meier"), "'2026-12-07'", "'2026-12-07 12:34:56.123456'",
           db().BinaryLiteral(noise), db().BinaryLiteral(std::string("\0\0\xff\0", 4))},
          {"2147483647", "32767", "9223372036854775807", "1.4e-45",
           isSQLite() ? "4.94065645841247e-324" : "4.9406564584124654e-324", "0.0000000001",
           text("Zeile 1\nZeile 2\r\nZeile 3\r"), text(" x"), "'1999-12-31'",
           "'1999-12-31 23:59:59.000001'", db().BinaryLiteral(""), db().BinaryLiteral(noise)},
          {"0", "0", "0", "-0.5", isSQLite() ? "0.1" : "0.30000000000000004", "0", text("NULL"),
           text(""), "NULL", "NULL", db().BinaryLiteral("'"), "NULL"},
          {"NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL",
           "NULL"},
          {"1", "1", "1", "16777216", "1e22", "1", text("   "), text("ÄÖÜ"), "NULL", "NULL", "NULL",
           "NULL"}}},
        {"user", {{"name", "VARCHAR(20)", "VARCHAR(20)"}}, {{text("ich")}}},
        {"order", {{"n", "INTEGER", "INTEGER"}}, {{"1"}}},
        {"select", {{"v", "VARCHAR(10)", "VARCHAR(10)"}}, {{text("a")}}},
        {"MixedCase", {{"Wert", "INTEGER", "INTEGER"}}, {{"7"}}},
        {"Kunden Liste", {{"n", "INTEGER", "INTEGER"}}, {{"8"}}},
        {"it's", {{"n", "INTEGER", "INTEGER"}}, {{"9"}}},
        {"Straße Nr. 1", {{"n", "INTEGER", "INTEGER"}}, {{"10"}}},
        {"zwei\nZeilen", {{"n", "INTEGER", "INTEGER"}}, {{"11"}}},
        {"a\"; DROP TABLE werte; --",
         {{"Spalte \"1\"", "INTEGER", "INTEGER"}, {"ä;b", "VARCHAR(9)", "VARCHAR(9)"}},
         {{"1", text("eins")}}},
        {"riesig", {{"n", "INTEGER", "INTEGER"}, {"v", "TEXT", "TEXT"}}, {{"1", text(huge)}}},
    };
    CorpusTable wide{"breit", {}, {{}, {}}};
    for (int i = 1; i <= 300; ++i) {
        wide.columns.push_back({"c" + std::to_string(i), "INTEGER", "INTEGER"});
        wide.rows[0].push_back(std::to_string(i * 1000003));
        wide.rows[1].push_back("NULL");
    }
    corpus.push_back(wide);
    // SQLite keeps a type per value, whatever the column says.
    const std::vector<Row> typen = {{"3000000000", "'abc'"}, {"4294967297", "'12abc'"},
                                    {"'abc'", "2.5"},        {"2.5", "''"},
                                    {"'12abc'", "' 1'"},     {"''", "NULL"}};
    if (isSQLite())
        corpus.push_back({"typen", {{"i", "INTEGER", ""}, {"d", "DOUBLE", ""}}, typen});

    std::vector<std::string> names;
    for (const CorpusTable& table : corpus) {
        db().CreateTable(table.name, table.columns, table.rows);
        names.push_back(table.name);
    }
    RemoveSettingsFile();
    CViewerDlg dlg;
    dlg.show();
    ConnectAndSelect(dlg, db().source(), db().source().password);
    SelectTables(dlg, names);
    ClickButton(dlg, "IDC_EXPORT");
    const std::vector<std::string> script = dlg.InfoDlg()->Entries();
    // The file export tells the window and the log only how many rows went where.
    const std::string file = QDir::homePath().toStdString() + "/export.sql";
    dlg.InfoDlg()->ClearLines();
    dlg.TablesDlg()->ExportSelectedTablesToFile(file);
    const std::vector<std::string> report = dlg.InfoDlg()->Entries();
    std::multiset<std::string> expected = {""};
    for (const CorpusTable& table : corpus) {
        expected.insert({"Tabellen-Export von (" + table.name + ")\r\n",
                         std::to_string(table.rows.size()) + " Zeilen nach " + file});
        // The original keeps its rows under another name; an empty copy waits for the script.
        const std::string kept = db().Quote(table.name + "_vorher");
        db().Exec("DROP TABLE IF EXISTS " + kept);
        ASSERT_EQ(db().Exec("ALTER TABLE " + db().Quote(table.name) + " RENAME TO " + kept), "");
        db().CreateTable(table.name, table.columns);
    }
    EXPECT_EQ(std::multiset<std::string>(report.begin(), report.end()), expected);

    // Each loaded copy holds its original's rows, counted and compared by the data source (on
    // SQLite the type of each value too); then it is emptied for the next script.
    const auto expectOriginals = [&](const char* how) {
        for (const CorpusTable& table : corpus) {
            std::string select = "SELECT *", copy = db().Quote(table.name);
            for (const ColumnDef& column : table.columns)
                select += isSQLite() ? ", typeof(" + db().Quote(column.name) + ")" : "";
            const std::string lost = select + " FROM " + db().Quote(table.name + "_vorher") +
                                     (isSQLite() ? " EXCEPT " : " EXCEPT ALL ") + select +
                                     " FROM " + copy;
            EXPECT_EQ(db().QueryValue("SELECT count(*) FROM " + copy) + " rows, " +
                          db().QueryValue("SELECT count(*) FROM (" + lost + ") x") + " lost",
                      std::to_string(table.rows.size()) + " rows, 0 lost")
                << how << table.name;
            db().Exec("DELETE FROM " + copy);
        }
    };
    for (const std::string& line : script)
        if (line.rfind("Insert Into ", 0) == 0) {
            EXPECT_EQ(db().Exec(line), "") << line.substr(0, 200);
        }
    expectOriginals("window: ");
    const std::string client =
        isSQLite()     ? "sqlite3 -bail '" + OdbcConfigDir() + "/test.db'"
        : isPostgres() ? "PGPASSWORD=\"$TAVRIN_PG_PASSWORD\" psql -X -q -v ON_ERROR_STOP=1 "
                         "-h \"$TAVRIN_PG_HOST\" -p \"$TAVRIN_PG_PORT\" -U \"$TAVRIN_PG_USER\" "
                         "-d \"$TAVRIN_PG_DATABASE\""
                       : "mariadb --no-defaults --default-character-set=utf8mb4 -h 127.0.0.1 "
                         "-P \"$TAVRIN_MARIADB_PORT\" -u \"$TAVRIN_MARIADB_USER\" "
                         "-p\"$TAVRIN_MARIADB_PASSWORD\" \"$TAVRIN_MARIADB_DATABASE\"";
    EXPECT_EQ(std::system((client + " < '" + file + "' > '" + file + ".out' 2>&1").c_str()), 0)
        << ReadFileBytes(QString::fromStdString(file + ".out"));
    expectOriginals("file: ");
    for (const CorpusTable& table : corpus)
        db().Exec("DROP TABLE " + db().Quote(table.name + "_vorher"));
}

INSTANTIATE_DRIVER_SUITE(ExportCorpusTest);

} // namespace
