#include "odbc/OdbcConnection.h"

#include "tests/support/TestDatabase.h"

#include <filesystem>
#include <regex>
#include <set>

static int Connect(COdbcConnection& conn, const DataSource& source)
{
    return conn.Connect(source.dsn.c_str(), source.user.c_str(), source.password.c_str());
}

static std::string ErrorText(COdbcConnection& conn)
{
    std::string text;
    conn.GetErrorText(text);
    return text;
}

// Logged on in quiet mode; ends before the test database drops the tables an open cursor locks.
class OdbcConnectionTest : public DriverTest
{
protected:
    void SetUp() override
    {
        DriverTest::SetUp();
        m_conn.SetQuiet(true);
        ASSERT_TRUE(IsSkipped() || HasFatalFailure() || Connect(m_conn, db().source()) == 0);
    }
    void TearDown() override
    {
        m_conn.Disconnect();
        DriverTest::TearDown();
    }
    // The current row: "|" between values, a null in <>, no number in a numeric column after "?".
    std::string Values()
    {
        std::string row;
        for (int column = 1; column <= m_conn.GetColumnCount(); ++column) {
            const CColumnValue& value = m_conn.GetColumnValue(column);
            row += (column > 1 ? "|" : "") + (value.m_bNull   ? "<" + value.m_strText + ">"
                                              : value.m_bText ? "?" + value.m_strText
                                                              : value.m_strText);
        }
        return row;
    }
    // The rows still to come of the statement, or of the current one; one a line.
    std::string Rows(const std::string& sql = "")
    {
        EXPECT_TRUE(sql.empty() || m_conn.ExecDirect(sql.c_str()) == 0) << sql;
        std::string rows;
        while (m_conn.Fetch() == 0)
            rows += Values() + "\n";
        EXPECT_EQ(m_conn.Fetch(), SQL_NO_DATA);
        return rows;
    }
    COdbcConnection m_conn;
};

TEST_P(OdbcConnectionTest, FailedLogOnGivesTheDriversMessageAndNothingToRun)
{
    DataSource wrong = db().source();
    wrong.password += "x";
    std::vector<std::pair<DataSource, std::string>> failures = {
        {wrong, isPostgres() ? "password authentication failed" : "Access denied"}};
    if (isSQLite())
        failures = {{{"NoSuchSource", "", ""}, "Data source name not found"},
                    {{"TavrinBroken", "", ""}, "libtavrin-missing-driver.so"}};
    for (const auto& [source, message] : failures) {
        COdbcConnection conn;
        conn.SetQuiet(true);
        conn.SetQuestionHandler([](const std::string&, const std::string&) -> bool {
            throw std::logic_error("asked in quiet mode");
        });
        EXPECT_EQ(Connect(conn, source), SQL_ERROR);
        EXPECT_NE(ErrorText(conn).find(message), std::string::npos) << message;
        EXPECT_EQ((std::vector{conn.ExecDirect("SELECT 1"), conn.Fetch(), conn.GetColumnCount()}),
                  (std::vector{SQL_INVALID_HANDLE, SQL_INVALID_HANDLE, 0}));
    }
    // User names and passwords beyond 19 characters go whole.
    const std::string env = isPostgres() ? "TAVRIN_PG_LONG_" : "TAVRIN_MARIADB_LONG_";
    if (const char* user = std::getenv((env + "USER").c_str()); user && !isSQLite()) {
        ASSERT_EQ(
            Connect(m_conn, {db().source().dsn, user, std::getenv((env + "PASSWORD").c_str())}), 0);
        EXPECT_EQ(Rows(isPostgres() ? "SELECT current_user"
                                    : "SELECT substring_index(current_user(), '@', 1)"),
                  user + std::string("\n"));
    }
}

// A session left behind holds a descriptor: a socket, or the SQLite file.
TEST_P(OdbcConnectionTest, ConnectAgainAndDisconnectEndTheSession)
{
    const auto descriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    m_conn.Disconnect();
    const auto idle = descriptors();
    ASSERT_EQ(Connect(m_conn, SourceFor(Driver::SQLite)), 0);
    EXPECT_EQ(m_conn.GetDbmsName(), "SQLite"); // to be forgotten at the next Connect
    ASSERT_EQ(Connect(m_conn, db().source()), 0);
    const auto connected = descriptors();
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(Connect(m_conn, db().source()), 0);
    EXPECT_EQ(descriptors(), connected);
    EXPECT_EQ(m_conn.GetDbmsName(), DriverName(GetParam()));
    m_conn.Disconnect();
    m_conn.Disconnect(); // twice is harmless
    EXPECT_EQ(descriptors(), idle);
    EXPECT_EQ(m_conn.ExecDirect("SELECT 1"), SQL_INVALID_HANDLE);
    ASSERT_EQ(Connect(m_conn, db().source()), 0);
    EXPECT_EQ(Rows("SELECT 2"), "2\n");
}

// A late failing row fails a whole-read statement at once; a streamed one hands out the rows
// before it. Streaming is asked for whatever the entry says (its twin turns it off); where the
// driver cannot (MariaDB before 3.1.17), the session must say so, or exports read tables whole.
TEST_P(OdbcConnectionTest, ResultsStreamWhereTheDriverCan)
{
    const std::string lateFailure =
        isSQLite()     ? "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < "
                         "100000) SELECT CASE WHEN i < 90000 THEN i ELSE abs(-9223372036854775807 "
                         "- 1) END FROM c"
        : isPostgres() ? "SELECT 1 / (g - 90000) FROM generate_series(1, 100000) g"
                       : "SELECT IF(seq < 90000, seq, (SELECT 1 UNION SELECT 2)) FROM "
                         "seq_1_to_100000";
    for (const std::string& dsn : {db().source().dsn, db().source().dsn + "Whole"}) {
        ASSERT_EQ(Connect(m_conn, {dsn, db().source().user, db().source().password}), 0) << dsn;
        const bool streamed = m_conn.ExecDirect(lateFailure.c_str()) == 0 && m_conn.Fetch() == 0;
        EXPECT_EQ(streamed, m_conn.StreamsResults()) << dsn;
        EXPECT_TRUE(streamed || isMariaDB()) << dsn << ": the whole result was read at once";
    }
}

// A connection string logs on as a data source does: streaming asked of its driver, a typed user
// and password added braced (the long ones hold "; {} =" and blanks at their ends).
TEST_P(OdbcConnectionTest, ConnectionStringsLogOnAsDataSourcesDo)
{
    const bool streams = m_conn.StreamsResults();
    DataSource s = db().source();
    s.dsn = isSQLite() ? "Driver={SQLite3};Database=" + OdbcConfigDir() + "/test.db; "
                       : "DSN=" + s.dsn + ";";
    if (const char* user = std::getenv("TAVRIN_PG_LONG_USER"); user && isPostgres())
        s = {s.dsn, user, std::getenv("TAVRIN_PG_LONG_PASSWORD")};
    db().CreateTable("quelle", {{"n", "INTEGER", "INTEGER"}}, {{"7"}});
    ASSERT_EQ(Connect(m_conn, s), 0) << ErrorText(m_conn);
    EXPECT_EQ(m_conn.StreamsResults(), streams);
    EXPECT_EQ(Rows(isSQLite()     ? "SELECT n FROM quelle"
                   : isPostgres() ? "SELECT current_user"
                                  : "SELECT substring_index(current_user(), '@', 1)"),
              (isSQLite() ? "7" : s.user) + "\n");
}

// Quelle offers each data source once with its driver, though the tests' user and system
// configuration are one file; what is shown or stored of a connection string has no password.
TEST(OdbcConnectionText, DataSourcesAndConnectionStringsWithoutPassword)
{
    OdbcConfigDir();
    std::string listed;
    for (const auto& [name, driver] : COdbcConnection::DataSources())
        listed += name + "=" + driver + ";";
    EXPECT_EQ(listed, "TavrinSQLite=SQLite3;TavrinSQLiteWhole=SQLite3;TavrinBroken=Missing;"
                      "TavrinPg=PostgreSQL ANSI;TavrinPgWhole=PostgreSQL ANSI;"
                      "TavrinMaria=MariaDB;TavrinMariaWhole=MariaDB;");
    const std::pair<const char*, const char*> texts[] = {
        {"Lager PWD", "Lager PWD"},
        {"DSN=x;PWD=geheim;UID=u", "DSN=x;UID=u"},
        {"Driver={A;B};Password={ge;}}h=eim};Database=d", "Driver={A;B};Database=d"},
        {" pwd = x ;DSN=y;", "DSN=y"}};
    for (const auto& [text, shown] : texts)
        EXPECT_EQ(COdbcConnection::WithoutPassword(text), shown) << text;
}

TEST_P(OdbcConnectionTest, FailureOutsideQuietModeAsksWhetherToQuit)
{
    std::string questions;
    m_conn.SetQuiet(false);
    m_conn.SetQuestionHandler([&](const std::string& title, const std::string& text) {
        questions += title + "|" + text;
        return false;
    });
    EXPECT_EQ(m_conn.ExecDirect("SELECT * FROM missing_table_x"), SQL_ERROR);
    // The end of the rows is no failure worth a question, and leaves no message behind.
    EXPECT_EQ(Rows("SELECT 1"), "1\n");
    EXPECT_EQ(ErrorText(m_conn), "");
    const std::regex asked(R"(SQL Fehlermeldung\|[^'][\s\S]*missing_table_x[\s\S]*'\n\n)"
                           "Soll das Programm beendet werden \\?");
    EXPECT_TRUE(std::regex_match(questions, asked)) << questions;
    // Quiet mode means no question and the plain return code.
    m_conn.SetQuiet(true);
    EXPECT_EQ(m_conn.ExecDirect("SELECT * FROM missing_table_x"), SQL_ERROR);
    EXPECT_NE(ErrorText(m_conn).find("missing_table_x"), std::string::npos);
    EXPECT_EQ(std::count(questions.begin(), questions.end(), '|'), 1);

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    m_conn.SetQuiet(false);
    m_conn.SetQuestionHandler([](const std::string&, const std::string&) { return true; });
    EXPECT_EXIT((m_conn.ExecDirect("SELECT * FROM missing_table_x"), std::_Exit(3)),
                ::testing::ExitedWithCode(0), "");
}

TEST_P(OdbcConnectionTest, EveryKindHasItsCodeItsTextAndItsNull)
{
    std::vector<ColumnDef> columns;
    for (const char* type : {"INTEGER", "SMALLINT", "REAL", "FLOAT", "DOUBLE", "NUMERIC(10,2)",
                             "DECIMAL(8,3)", "VARCHAR(200)", "CHAR(10)", "DATE", "BIGINT"})
        columns.push_back({"c" + std::to_string(columns.size()), type, type});
    columns[2].mariadbType = "FLOAT";
    columns[4].postgresType = "DOUBLE PRECISION";
    columns.push_back({"c11", "LONGVARBINARY", "BYTEA", "LONGBLOB"});
    db().CreateTable("kinds", columns,
                     {{isSQLite() ? "9223372036854775807" : "-2147483648", "-7", "2.5", "0.0078125",
                       "3", "12.50", "-1.125", "'  x  '", "'abc'", "'2026-12-06'",
                       "9223372036854775807", db().BinaryLiteral(std::string("ab\0cd", 5))},
                      Row(12, "NULL")});
    ASSERT_EQ(m_conn.ExecDirect("SELECT * FROM kinds"), 0);
    std::string kinds;
    for (int column = 1; column <= 12; ++column)
        kinds += std::to_string(m_conn.GetColumnType(column)) + " ";
    // SQLite: floats and NUMERIC DOUBLE; PostgreSQL: FLOAT, DOUBLE FLOAT; MariaDB keeps all apart.
    EXPECT_EQ(kinds, isSQLite()     ? "4 5 8 8 8 8 1 1 1 1 1 99 "
                     : isPostgres() ? "4 5 7 7 7 1 1 1 1 1 1 99 "
                                    : "4 5 7 7 8 1 1 1 1 1 1 99 ");
    // A binary value's text stops at its first zero byte, its raw bytes are all there; a value
    // asked for out of order is kept, as a driver hands out each once. SQLite has 64-bit INTEGER.
    ASSERT_EQ(m_conn.Fetch(), 0);
    EXPECT_EQ(m_conn.GetColumnText(9), "abc");
    EXPECT_EQ(Values(), (isSQLite() ? "9223372036854775807" : "-2147483648") +
                            std::string("|-7|2.5|7.8125e-003|3.|") +
                            (isSQLite() ? "12.5" : "12.50") +
                            "|-1.125|  x|abc|2026-12-06|9223372036854775807|ab");
    EXPECT_EQ(m_conn.GetColumnValue(12).m_strRaw, std::string("ab\0cd", 5));
    EXPECT_EQ(Rows(),
              "<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|"
              "<NULL>\n");
    // The same column numbers now name columns of other kinds.
    ASSERT_EQ(m_conn.ExecDirect("SELECT c8, c1 FROM kinds WHERE c1 IS NOT NULL"), 0);
    EXPECT_EQ(m_conn.GetColumnName(1) + m_conn.GetColumnName(2) +
                  std::to_string(m_conn.GetColumnType(1) * 10 + m_conn.GetColumnType(2)),
              "c8c115");
    EXPECT_EQ(Rows(), "abc|-7\n");
    m_conn.ResetStatement();
    EXPECT_EQ(m_conn.GetColumnCount(), 0);

    // White space is trimmed on the right only; the word NULL is no null.
    const std::string utf8 = "Grüße aus Köln: Äpfel, Öl, Übermaß – 10 €";
    db().CreateTable("texte", {columns[7], columns[8]},
                     {{"'NULL'", "' '"},
                      {"'\t lead and tail \t'", "''"},
                      {isSQLite()     ? "'line' || char(10) || char(13)"
                       : isPostgres() ? "'line' || chr(10) || chr(13)"
                                      : "concat('line', char(10), char(13))",
                       "'ä'"},
                      {"'" + utf8 + "'", "NULL"}});
    EXPECT_EQ(Rows("SELECT * FROM texte"),
              "NULL|\n\t lead and tail|\nline|ä\n" + utf8 + "|<NULL>\n");
}

// Values around the bound buffer and the first pieces and far beyond, multi-byte characters on
// the piece boundaries.
TEST_P(OdbcConnectionTest, LongValuesAreReadWhole)
{
    std::vector<Row> rows;
    std::vector<std::string> texts, bytes;
    for (std::size_t length :
         {511u, 512u, 8191u, 8192u, 8193u, 16383u, 100000u, 1000000u, 3000001u}) {
        texts.emplace_back(length % 2, 'Z');
        while (texts.back().size() < length)
            texts.back() += "ä";
        bytes.emplace_back(length, '\0');
        for (std::size_t i = 0; i < bytes.back().size(); ++i)
            bytes.back()[i] = static_cast<char>(i * 7919); // the first one zero
        rows.push_back({"'" + texts.back() + "'", db().BinaryLiteral(bytes.back())});
    }
    db().CreateTable(
        "langtext",
        {{"v", "TEXT", "TEXT", "LONGTEXT"}, {"b", "LONGVARBINARY", "BYTEA", "LONGBLOB"}}, rows);
    ASSERT_EQ(m_conn.ExecDirect("SELECT v, b FROM langtext ORDER BY length(v)"), 0);
    for (std::size_t row = 0; row < texts.size() && m_conn.Fetch() == 0; ++row) {
        const std::string text = m_conn.GetColumnText(1);
        const CColumnValue& binary = m_conn.GetColumnValue(2);
        EXPECT_TRUE(text == texts[row] && binary.m_strRaw == bytes[row] && binary.m_strText.empty())
            << "row " << row << ", " << texts[row].size() << " bytes";
    }
    EXPECT_EQ(m_conn.Fetch(), SQL_NO_DATA);
}

TEST_P(OdbcConnectionTest, TablesAreListedAsStoredWithoutViewsBehindWhatTheListHolds)
{
    std::string longName(isSQLite() ? 200 : isPostgres() ? 63 : 64, 'x');
    longName[0] = 'L';
    for (const std::string& name :
         {std::string("kunden"), std::string("Straße Nr 1"), std::string(" lead"), longName})
        db().CreateTable(name, {{"n", "INTEGER", "INTEGER"}});
    db().CreateView("kunden_view", "SELECT n FROM kunden");
    EXPECT_EQ(isPostgres() ? db().Exec("DROP SCHEMA IF EXISTS zweig CASCADE; CREATE SCHEMA zweig; "
                                       "CREATE TABLE zweig.kunden (n INTEGER)")
                           : "",
              "");
    std::list<std::string> names{"vorher"}, schemas{""}, catalogs{""};
    EXPECT_TRUE(m_conn.GetTableNames(names, &schemas, &catalogs));
    if (isPostgres())
        db().Exec("DROP SCHEMA zweig CASCADE");
    // Those of the current database alone, none of MariaDB's system databases.
    std::multiset<std::string> tables;
    for (auto n = names.begin(), s = schemas.begin(), c = catalogs.begin(); n != names.end();
         ++n, ++s, ++c)
        tables.insert(m_conn.CatalogToQualify(*c) + *s + "." + *n);
    const std::string in = isPostgres() ? "public." : ".";
    std::multiset<std::string> expected = {".vorher", in + "kunden", in + "Straße Nr 1",
                                           in + " lead", in + longName};
    if (isPostgres())
        expected.insert("zweig.kunden");
    EXPECT_EQ(tables, expected);
}

INSTANTIATE_DRIVER_SUITE(OdbcConnectionTest);
