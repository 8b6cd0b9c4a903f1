// The export corpus: tables of every shape a script must give back exactly, kept as data. Each
// table goes out through the real Export command; then it is renamed, made anew empty, loaded
// with the script and compared with its original by the data source itself, so the program's
// own reading of the values is not the judge.

#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/TestDatabase.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>

namespace {

struct CorpusTable
{
    std::string name;
    std::vector<ColumnDef> columns;
    std::vector<Row> rows;
};

class ExportCorpusTest : public DriverTest
{
protected:
    void SetUp() override
    {
        RemoveSettingsFile();
        DriverTest::SetUp();
    }

    // A text literal as this data source reads it back: MariaDB takes a backslash for an escape.
    std::string Text(const std::string& text) const
    {
        std::string literal = "'";
        for (char c : text) {
            literal += c;
            if (c == '\'' || (c == '\\' && isMariaDB()))
                literal += c;
        }
        return literal + "'";
    }

    // A driver limit, named where it bites: the SQLite driver hands out doubles with 15
    // significant digits, so its largest double reads as infinity.
    std::string Pick(const std::string& sqlite, const std::string& others) const
    {
        return isSQLite() ? sqlite : others;
    }

    std::vector<CorpusTable> Corpus()
    {
        std::mt19937 random(4711);
        std::string noise(10 * 1024, '\0');
        for (char& c : noise)
            c = static_cast<char>(random());
        const std::string all = "Grüße 'zitiert' \"doppelt\" C:\\pfad\\ 😀 漢字 Ω\tTab ";
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
             {{"-2147483648", "-32768", "-9223372036854775808",
               Pick("3.40282346638529e38", "3.402823466e38"),
               Pick("1.79769313486231e308", "1.7976931348623157e308"),
               Pick("-12345.6789012345", "-1234567890123456789012345678.0123456789"),
               Text(all + "  "), Text("Meier"), "'2026-12-07'", "'2026-12-07 12:34:56.123456'",
               db().BinaryLiteral(noise), db().BinaryLiteral(std::string("\0\0\xff\0", 4))},
              {"2147483647", "32767", "9223372036854775807", "1.4e-45",
               Pick("4.94065645841247e-324", "4.9406564584124654e-324"), "0.0000000001",
               Text("Zeile 1\nZeile 2\r\nZeile 3\r"), Text(" x"), "'1999-12-31'",
               "'1999-12-31 23:59:59.000001'", db().BinaryLiteral(""), db().BinaryLiteral(noise)},
              {"0", "0", "0", "-0.5", Pick("0.1", "0.30000000000000004"), "0", Text("NULL"),
               Text(""), "NULL", "NULL", db().BinaryLiteral("'"), "NULL"},
              {"NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL",
               "NULL", "NULL"},
              {"1", "1", "1", "16777216", "1e22", "1", Text("   "), Text("ÄÖÜ"), "NULL", "NULL",
               "NULL", "NULL"}}},
            {"user", {{"name", "VARCHAR(20)", "VARCHAR(20)"}}, {{Text("ich")}}},
            {"order", {{"n", "INTEGER", "INTEGER"}}, {{"1"}}},
            {"select", {{"v", "VARCHAR(10)", "VARCHAR(10)"}}, {{Text("a")}}},
            {"MixedCase", {{"Wert", "INTEGER", "INTEGER"}}, {{"7"}}},
            {"Kunden Liste", {{"n", "INTEGER", "INTEGER"}}, {{"8"}}},
            {"it's", {{"n", "INTEGER", "INTEGER"}}, {{"9"}}},
        };
        CorpusTable wide{"breit", {}, {{}, {}}};
        for (int i = 1; i <= 300; ++i) {
            wide.columns.push_back({"c" + std::to_string(i), "INTEGER", "INTEGER"});
            wide.rows[0].push_back(std::to_string(i * 1000003));
            wide.rows[1].push_back("NULL");
        }
        corpus.push_back(wide);
        // SQLite keeps a type per value, whatever the column says.
        if (isSQLite())
            corpus.push_back({"typen",
                              {{"i", "INTEGER", ""}, {"d", "DOUBLE", ""}},
                              {{"3000000000", "'abc'"},
                               {"4294967297", "'12abc'"},
                               {"'abc'", "2.5"},
                               {"2.5", "''"},
                               {"'12abc'", "' 1'"},
                               {"''", "NULL"}}});
        return corpus;
    }

    // Rows of a that b lacks, counted by the data source; on SQLite the type of each value too.
    std::string Missing(const CorpusTable& table, const std::string& a, const std::string& b)
    {
        std::string select = "SELECT *";
        if (isSQLite())
            for (const ColumnDef& column : table.columns)
                select += ", typeof(" + db().Quote(column.name) + ")";
        const std::string except = isSQLite() ? " EXCEPT " : " EXCEPT ALL ";
        return db().QueryValue("SELECT count(*) FROM (" + select + " FROM " + db().Quote(a) +
                               except + select + " FROM " + db().Quote(b) + ") x");
    }

    // Loads a script file with the engine's own command-line client.
    std::string LoadWithClient(const std::string& file)
    {
        std::string command;
        if (isSQLite()) {
            command = "sqlite3 -bail '" + OdbcConfigDir() + "/test.db' < '" + file + "'";
        } else if (isPostgres()) {
            command = "PGPASSWORD=\"$TAVRIN_PG_PASSWORD\" psql -X -q -v ON_ERROR_STOP=1 "
                      "-h \"$TAVRIN_PG_HOST\" -p \"$TAVRIN_PG_PORT\" -U \"$TAVRIN_PG_USER\" "
                      "-d \"$TAVRIN_PG_DATABASE\" -f '" +
                      file + "'";
        } else {
            command = "mariadb --no-defaults --default-character-set=utf8mb4 -h 127.0.0.1 "
                      "-P \"$TAVRIN_MARIADB_PORT\" -u \"$TAVRIN_MARIADB_USER\" "
                      "-p\"$TAVRIN_MARIADB_PASSWORD\" \"$TAVRIN_MARIADB_DATABASE\" < '" +
                      file + "'";
        }
        return std::system((command + " > '" + file + ".out' 2>&1").c_str()) == 0
                   ? ""
                   : ReadFileBytes(QString::fromStdString(file + ".out"));
    }

    // Exports the corpus through the real command, to the window or (with a path) to a file.
    std::vector<std::string> Export(const std::vector<CorpusTable>& corpus,
                                    const std::string& file = "")
    {
        std::vector<std::string> names;
        for (const CorpusTable& table : corpus) {
            db().CreateTable(table.name, table.columns, table.rows);
            names.push_back(table.name);
        }
        CViewerDlg dlg;
        dlg.show();
        ConnectAndSelect(dlg, db().source(), db().source().password);
        SelectTables(dlg, names);
        dlg.InfoDlg()->ClearLines();
        if (file.empty())
            ClickButton(dlg, "IDC_EXPORT");
        else
            dlg.TablesDlg()->ExportSelectedTablesToFile(file);
        return dlg.InfoDlg()->Entries();
    }

    // Every table renamed and made anew empty, for a script to fill.
    void MakeEmptyCopies(const std::vector<CorpusTable>& corpus)
    {
        for (const CorpusTable& table : corpus) {
            const std::string original = table.name + "_vorher";
            db().Exec("DROP TABLE IF EXISTS " + db().Quote(original));
            ASSERT_EQ(db().Exec((isMariaDB() ? "RENAME TABLE " : "ALTER TABLE ") +
                                db().Quote(table.name) + (isMariaDB() ? " TO " : " RENAME TO ") +
                                db().Quote(original)),
                      "");
            db().CreateTable(table.name, table.columns);
        }
    }

    void ExpectSameRows(const std::vector<CorpusTable>& corpus)
    {
        for (const CorpusTable& table : corpus) {
            const std::string original = table.name + "_vorher";
            EXPECT_EQ(db().QueryValue("SELECT count(*) FROM " + db().Quote(table.name)),
                      std::to_string(table.rows.size()))
                << table.name;
            EXPECT_EQ(Missing(table, original, table.name), "0") << table.name << ": rows lost";
            EXPECT_EQ(Missing(table, table.name, original), "0") << table.name << ": rows changed";
            db().Exec("DROP TABLE " + db().Quote(original));
        }
    }
};

TEST_P(ExportCorpusTest, ScriptsLoadBackEveryValueExactly)
{
    const std::vector<CorpusTable> corpus = Corpus();
    const std::vector<std::string> script = Export(corpus);
    ASSERT_EQ(std::count(script.begin(), script.end(), "Abbruch wegen Fehler."), 0)
        << script.back();
    MakeEmptyCopies(corpus);
    for (const std::string& line : script) {
        if (line.rfind("Insert Into ", 0) == 0) {
            EXPECT_EQ(db().Exec(line), "") << line.substr(0, 200);
        }
    }
    ExpectSameRows(corpus);
}

// The script file loads with the engine's own client, line breaks in values and all; the window
// and the log hear only how many rows went where.
TEST_P(ExportCorpusTest, ScriptFileLoadsWithTheEnginesOwnClient)
{
    const std::vector<CorpusTable> corpus = Corpus();
    QTemporaryDir dir;
    const std::string file = dir.filePath("export.sql").toStdString();
    const std::vector<std::string> lines = Export(corpus, file);
    std::vector<std::string> expected = {""};
    for (const CorpusTable& table : corpus) {
        expected.push_back("Tabellen-Export von (" + table.name + ")\r\n");
        expected.push_back(std::to_string(table.rows.size()) + " Zeilen nach " + file);
    }
    EXPECT_EQ(std::multiset<std::string>(lines.begin(), lines.end()),
              std::multiset<std::string>(expected.begin(), expected.end()));
    MakeEmptyCopies(corpus);
    EXPECT_EQ(LoadWithClient(file), "");
    ExpectSameRows(corpus);
}

// A table and its namesake in another schema (PostgreSQL) or database (MariaDB) each export
// their own rows.
TEST_P(ExportCorpusTest, NamesakesExportTheirOwnRows)
{
    if (isSQLite())
        GTEST_SKIP() << "SQLite has no schemas";
    const std::string other = isPostgres() ? "andere" : "tavrin_empty";
    const auto dropNamesake = [&] {
        db().Exec(isPostgres() ? "DROP SCHEMA IF EXISTS andere CASCADE"
                               : "DROP TABLE IF EXISTS tavrin_empty.txt");
    };
    dropNamesake();
    if (isPostgres()) {
        ASSERT_EQ(db().Exec("CREATE SCHEMA andere"), "");
    }
    ASSERT_EQ(db().Exec("CREATE TABLE " + other + ".txt (v VARCHAR(10))"), "");
    ASSERT_EQ(db().Exec("INSERT INTO " + other + ".txt VALUES ('dort')"), "");
    db().CreateTable("txt", {{"v", "VARCHAR(10)", "VARCHAR(10)"}}, {{"'hier'"}});
    CViewerDlg dlg;
    dlg.show();
    ConnectAndSelect(dlg, db().source(), db().source().password);
    QTreeWidget* list = dlg.TablesDlg()->findChild<QTreeWidget*>("IDC_LIST");
    const auto items = list->findItems("txt", Qt::MatchExactly);
    ASSERT_EQ(items.size(), 2);
    for (QTreeWidgetItem* item : items)
        item->setSelected(true);
    const Lines lines = RunCommand(dlg, "IDC_EXPORT");
    dropNamesake();
    for (const std::string& line : {"Insert Into " + other + ".txt Values ('dort')",
                                    "Insert Into " + db().ScriptName("txt") + " Values ('hier')"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
}

INSTANTIATE_DRIVER_SUITE(ExportCorpusTest);

} // namespace
