#include "odbc/OdbcConnection.h"
#include "tests/support/ConnectedDriverTest.h"

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace {

class OdbcValueTest : public ConnectedDriverTest
{
protected:
    void Select(const std::string& sql) { ASSERT_EQ(m_conn.ExecDirect(sql.c_str()), 0) << sql; }
};

// One column of every kind the program distinguishes, with the code each driver reports.
struct KindColumn
{
    ColumnDef def;
    int sqliteKind;
    int postgresKind;
    int mariadbKind;
};

const std::vector<KindColumn>& KindColumns()
{
    static const std::vector<KindColumn> columns = {
        {{"c_int", "INTEGER", "INTEGER"}, 4, 4, 4},
        {{"c_small", "SMALLINT", "SMALLINT"}, 5, 5, 5},
        // SQLite calls every floating column DOUBLE; PostgreSQL calls FLOAT and DOUBLE FLOAT;
        // MariaDB keeps REAL, FLOAT and DOUBLE apart.
        {{"c_real", "REAL", "REAL"}, 8, 7, 7},
        {{"c_float", "FLOAT", "FLOAT"}, 8, 7, 7},
        {{"c_double", "DOUBLE", "DOUBLE PRECISION"}, 8, 7, 8},
        {{"c_numeric", "NUMERIC(10,2)", "NUMERIC(10,2)"}, 8, 1, 1},
        {{"c_decimal", "DECIMAL(8,3)", "DECIMAL(8,3)"}, 1, 1, 1},
        {{"c_varchar", "VARCHAR(200)", "VARCHAR(200)"}, 1, 1, 1},
        {{"c_char", "CHAR(10)", "CHAR(10)"}, 1, 1, 1},
        {{"c_date", "DATE", "DATE"}, 1, 1, 1},
        {{"c_bigint", "BIGINT", "BIGINT"}, 1, 1, 1},
        {{"c_binary", "LONGVARBINARY", "BYTEA"}, 99, 99, 99},
    };
    return columns;
}

std::vector<ColumnDef> Defs()
{
    std::vector<ColumnDef> defs;
    for (const KindColumn& c : KindColumns())
        defs.push_back(c.def);
    return defs;
}

TEST_P(OdbcValueTest, KindCodesFollowTheSqlType)
{
    db().CreateTable("kinds", Defs());
    Select("SELECT * FROM kinds");
    ASSERT_EQ(m_conn.GetColumnCount(), static_cast<int>(KindColumns().size()));
    for (std::size_t i = 0; i < KindColumns().size(); ++i) {
        const KindColumn& c = KindColumns()[i];
        int column = static_cast<int>(i) + 1;
        EXPECT_EQ(m_conn.GetColumnName(column), c.def.name);
        EXPECT_EQ(m_conn.GetColumnType(column), isSQLite()     ? c.sqliteKind
                                                : isPostgres() ? c.postgresKind
                                                               : c.mariadbKind)
            << c.def.name;
    }
}

TEST_P(OdbcValueTest, EveryKindHasItsText)
{
    db().CreateTable(
        "texts", Defs(),
        {{"-2147483648", "-7", "2.5", "0.0078125", "3", "12.50", "-1.125", "'  x  '", "'abc'",
          "'2026-12-06'", "9223372036854775807", db().BinaryLiteral(std::string("ab\0cd", 5))}});
    Select("SELECT * FROM texts");
    ASSERT_EQ(m_conn.Fetch(), 0);
    std::vector<std::string> expected = {"-2147483648", "-7", "2.5", "7.8125e-003", "3.",
                                         // a NUMERIC read as double on SQLite, as text on PG
                                         isSQLite() ? "12.5" : "12.50", "-1.125", "  x", "abc",
                                         "2026-12-06", "9223372036854775807", "ab"};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const CColumnValue& value = m_conn.GetColumnValue(static_cast<int>(i) + 1);
        EXPECT_EQ(value.m_strText, expected[i]) << KindColumns()[i].def.name;
        EXPECT_FALSE(value.m_bNull) << KindColumns()[i].def.name;
    }
    // The text of a long binary value stops at its first zero byte; the raw bytes are all there.
    EXPECT_EQ(m_conn.GetColumnValue(12).m_strRaw, std::string("ab\0cd", 5));
    EXPECT_EQ(m_conn.Fetch(), SQL_NO_DATA);
}

TEST_P(OdbcValueTest, NullInEveryKindReadsAsNullAndIsFlagged)
{
    Row nulls(KindColumns().size(), "NULL");
    Row word(KindColumns().size(), "NULL");
    word[7] = "'NULL'";
    db().CreateTable("nulls", Defs(), {nulls, word});
    Select("SELECT * FROM nulls");
    ASSERT_EQ(m_conn.Fetch(), 0);
    for (std::size_t i = 0; i < KindColumns().size(); ++i) {
        const CColumnValue& value = m_conn.GetColumnValue(static_cast<int>(i) + 1);
        EXPECT_EQ(value.m_strText, "NULL") << KindColumns()[i].def.name;
        EXPECT_TRUE(value.m_bNull) << KindColumns()[i].def.name;
        EXPECT_EQ(value.m_strRaw, "");
    }
    ASSERT_EQ(m_conn.Fetch(), 0);
    // The word NULL stored as text reads the same but is not a null.
    EXPECT_EQ(m_conn.GetColumnText(8), "NULL");
    EXPECT_FALSE(m_conn.GetColumnValue(8).m_bNull);
    EXPECT_TRUE(m_conn.GetColumnValue(9).m_bNull);
}

TEST_P(OdbcValueTest, WhiteSpaceIsTrimmedOnTheRightOnly)
{
    db().CreateTable("blanks", {{"v", "VARCHAR(40)", "VARCHAR(40)"}, {"c", "CHAR(10)", "CHAR(10)"}},
                     {{"'  x  '", "'abc'"},
                      {"'\t lead and tail \t'", "' '"},
                      {isSQLite()     ? "'line' || char(10) || char(13)"
                       : isPostgres() ? "'line' || chr(10) || chr(13)"
                                      : "concat('line', char(10), char(13))",
                       "''"}});
    Select("SELECT v, c FROM blanks");
    std::vector<std::pair<std::string, std::string>> rows;
    while (m_conn.Fetch() == 0)
        rows.emplace_back(m_conn.GetColumnText(1), m_conn.GetColumnText(2));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::pair<std::string, std::string>{"  x", "abc"}));
    EXPECT_EQ(rows[1], (std::pair<std::string, std::string>{"\t lead and tail", ""}));
    EXPECT_EQ(rows[2], (std::pair<std::string, std::string>{"line", ""}));
}

TEST_P(OdbcValueTest, Utf8TextComesBackByteForByte)
{
    const std::string text = "Grüße aus Köln: Äpfel, Öl, Übermaß – 10 €";
    db().CreateTable("umlaut", {{"v", "VARCHAR(200)", "VARCHAR(200)"}}, {{"'" + text + "'"}});
    Select("SELECT v FROM umlaut");
    ASSERT_EQ(m_conn.Fetch(), 0);
    EXPECT_EQ(m_conn.GetColumnText(1), text);
}

// Values around the size of one read buffer and far beyond it are read whole.
class OdbcLongTextTest : public OdbcValueTest
{
};

TEST_P(OdbcLongTextTest, LongTextsAreReadWhole)
{
    // Multi-byte characters land on the piece boundaries of the 8 KiB read buffer.
    std::string pattern = "abcdefghijklmnopqrstuvwxyzäöüß0123456789";
    db().CreateTable("langtext", {{"n", "INTEGER", "INTEGER"}, {"v", "TEXT", "TEXT"}});
    std::vector<std::string> values;
    for (std::size_t length : {8190u, 8191u, 8192u, 8193u, 16383u, 100000u, 1000000u}) {
        std::string value;
        while (value.size() < length)
            value += pattern;
        value.resize(length);
        while ((static_cast<unsigned char>(value.back()) & 0xC0) == 0x80 ||
               static_cast<unsigned char>(value.back()) >= 0xC0)
            value.pop_back(); // keep whole characters
        value += 'Z';
        values.push_back(value);
        db().InsertRows("langtext", {{std::to_string(values.size()), "'" + value + "'"}});
    }
    Select("SELECT n, v FROM langtext ORDER BY n");
    for (const std::string& expected : values) {
        ASSERT_EQ(m_conn.Fetch(), 0);
        const std::string& text = m_conn.GetColumnValue(2).m_strText;
        EXPECT_EQ(text.size(), expected.size());
        EXPECT_TRUE(text == expected) << "value of " << expected.size() << " bytes differs";
    }
    EXPECT_EQ(m_conn.Fetch(), SQL_NO_DATA);
}

TEST_P(OdbcLongTextTest, LongBinaryValuesAreReadWhole)
{
    std::string bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += static_cast<char>((i * 7919) % 256);
    db().CreateTable("longbin", {{"b", "LONGVARBINARY", "BYTEA"}}, {{db().BinaryLiteral(bytes)}});
    Select("SELECT b FROM longbin");
    ASSERT_EQ(m_conn.Fetch(), 0);
    const CColumnValue& value = m_conn.GetColumnValue(1);
    EXPECT_EQ(value.m_strRaw.size(), bytes.size());
    EXPECT_TRUE(value.m_strRaw == bytes);
    EXPECT_EQ(value.m_strText, ""); // the first byte is zero
}

INSTANTIATE_DRIVER_SUITE(OdbcLongTextTest);

int CountCalls(const std::string& traceFile, const std::string& function)
{
    std::ifstream in(traceFile);
    std::stringstream content;
    content << in.rdbuf();
    std::string text = content.str();
    std::regex entry("\\[" + function + "\\.c\\]\\[\\d+\\]\\s*Entry:");
    return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), entry),
                                          std::sregex_iterator()));
}

// The driver manager reads its trace switch once per process, so the traced reading runs in a
// child process of this test program, started with the trace switched on.
TEST(TracedRead, DISABLED_ReadRowsTwice)
{
    Driver driver = std::string(std::getenv("TAVRIN_TRACE_DRIVER")) == "SQLite"
                        ? Driver::SQLite
                        : Driver::PostgreSQL;
    TestDatabase db(driver);
    ASSERT_TRUE(db.connected()) << db.connectError();
    db.CreateTable("cache",
                   {{"i", "INTEGER", "INTEGER"},
                    {"v", "VARCHAR(20)", "VARCHAR(20)"},
                    {"d", "DOUBLE", "DOUBLE PRECISION"}},
                   {{"1", "'eins'", "1.5"}, {"2", "'zwei'", "2.5"}, {"3", "'drei'", "NULL"}});
    std::vector<std::string> seen;
    {
        COdbcConnection traced;
        traced.SetQuiet(true);
        const DataSource& source = db.source();
        ASSERT_EQ(traced.Connect(source.dsn.c_str(), source.user.c_str(), source.password.c_str()),
                  0);
        ASSERT_EQ(traced.ExecDirect("SELECT i, v, d FROM cache ORDER BY i"), 0);
        for (int column = 1; column <= 3; ++column)
            traced.GetColumnType(column);
        while (traced.Fetch() == 0) {
            std::string line;
            for (int column = 1; column <= 3; ++column)
                line += traced.GetColumnText(column) + ";";
            // Asked again in the same row: served from the cache.
            line += traced.GetColumnText(2) + ";" + traced.GetColumnText(1);
            seen.push_back(line);
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"1;eins;1.5;eins;1", "2;zwei;2.5;zwei;2",
                                              "3;drei;NULL;drei;3"}));
}

TEST_P(OdbcValueTest, EachValueIsReadOnceAndEachColumnDescribedOnce)
{
    std::string trace = OdbcConfigDir() + "/trace-" + DriverName(driver()) + ".log";
    std::string command = "TAVRIN_ODBC_TRACE=" + trace +
                          " TAVRIN_TRACE_DRIVER=" + DriverName(driver()) + " /proc/" +
                          std::to_string(getpid()) +
                          "/exe --gtest_also_run_disabled_tests"
                          " --gtest_filter=TracedRead.DISABLED_ReadRowsTwice >" +
                          OdbcConfigDir() + "/child.out 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    // Three rows of three columns, each column described once for the whole result set.
    EXPECT_EQ(CountCalls(trace, "SQLGetData"), 9);
    EXPECT_EQ(CountCalls(trace, "SQLDescribeCol"), 3);
}

TEST_P(OdbcValueTest, KindsAreDescribedAfreshForEveryStatement)
{
    db().CreateTable("memo", {{"i", "INTEGER", "INTEGER"}, {"v", "VARCHAR(20)", "VARCHAR(20)"}},
                     {{"7", "'Meier'"}});
    Select("SELECT i, v FROM memo");
    EXPECT_EQ(m_conn.GetColumnType(1), 4);
    ASSERT_EQ(m_conn.Fetch(), 0);
    EXPECT_EQ(m_conn.GetColumnText(1), "7");
    // The same column numbers now name columns of other types.
    Select("SELECT v, i FROM memo");
    EXPECT_EQ(m_conn.GetColumnType(1), 1);
    EXPECT_EQ(m_conn.GetColumnType(2), 4);
    ASSERT_EQ(m_conn.Fetch(), 0);
    EXPECT_EQ(m_conn.GetColumnText(1), "Meier");
    EXPECT_EQ(m_conn.GetColumnText(2), "7");
    m_conn.ResetStatement();
    EXPECT_EQ(m_conn.GetColumnCount(), 0);
}

TEST_P(OdbcValueTest, FetchMovesTheCacheToTheNextRow)
{
    db().CreateTable("zeilen", {{"i", "INTEGER", "INTEGER"}, {"v", "VARCHAR(20)", "VARCHAR(20)"}},
                     {{"1", "'a'"}, {"2", "'b'"}});
    Select("SELECT i, v FROM zeilen ORDER BY i");
    ASSERT_EQ(m_conn.Fetch(), 0);
    EXPECT_EQ(m_conn.GetColumnText(2), "a");
    ASSERT_EQ(m_conn.Fetch(), 0);
    EXPECT_EQ(m_conn.GetColumnText(2), "b");
    EXPECT_EQ(m_conn.GetColumnText(1), "2");
    EXPECT_EQ(m_conn.Fetch(), SQL_NO_DATA);
}

TEST_P(OdbcValueTest, FailedStatementGivesTheDriversMessage)
{
    EXPECT_EQ(m_conn.ExecDirect("SELECT * FROM no_such_table_here"), SQL_ERROR);
    std::string message;
    m_conn.GetErrorText(message);
    EXPECT_NE(message.find("no_such_table_here"), std::string::npos) << message;
    // The record is consumed; the next question finds none and says so.
    Select("SELECT 1");
    m_conn.GetErrorText(message);
    EXPECT_EQ(message, "");
}

INSTANTIATE_DRIVER_SUITE(OdbcValueTest);

} // namespace
