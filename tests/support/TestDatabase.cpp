#include "tests/support/TestDatabase.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <sqlext.h>

namespace {

std::string Env(const std::string& name, const char* fallback = "")
{
    const char* value = std::getenv(name.c_str());
    return value && *value ? value : fallback;
}

std::string PgSection(const std::string& dsn, const std::string& port, const std::string& more = "")
{
    return "[" + dsn +
           "]\nDriver=PostgreSQL ANSI\nServername=" + Env("TAVRIN_PG_HOST", "127.0.0.1") +
           "\nPort=" + port + "\nDatabase=" + Env("TAVRIN_PG_DATABASE", "tavrin") +
           "\nSSLmode=disable\n" + more;
}

std::string MariaSection(const std::string& dsn, const std::string& more = "")
{
    return "[" + dsn +
           "]\nDriver=MariaDB\nServer=127.0.0.1\nPort=" + Env("TAVRIN_MARIADB_PORT", "3306") +
           "\nDatabase=" + Env("TAVRIN_MARIADB_DATABASE", "tavrin") + "\nCHARSET=utf8mb4\n" + more;
}

std::string WriteConfig()
{
    static char templ[] = "/tmp/tavrin-odbc-XXXXXX"; // without a destructor: still there at exit
    const std::string dir = mkdtemp(templ);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(templ, ignored);
    });
    std::ofstream(dir + "/odbcinst.ini")
        << "[SQLite3]\nDriver=libsqlite3odbc.so\n[PostgreSQL ANSI]\nDriver=psqlodbca.so\n"
        << "[MariaDB]\nDriver=libmaodbc.so\n[Missing]\nDriver=/nonexistent/libtavrin-missing-"
           "driver.so\n";
    // Each data source as users write it, and a twin whose entry turns streaming off.
    const std::string sqlite = "Driver=SQLite3\nDatabase=" + dir + "/test.db\nTimeout=2000\n";
    const std::string pgPort = Env("TAVRIN_PG_PORT", "5432");
    std::ofstream(dir + "/odbc.ini")
        << "[TavrinSQLite]\n" + sqlite + "[TavrinSQLiteWhole]\n" + sqlite + "StepAPI=0\n"
        << "[TavrinBroken]\nDriver=Missing\n" + PgSection("TavrinPg", pgPort)
        << PgSection("TavrinPgWhole", pgPort, "UseDeclareFetch=0\n") + MariaSection("TavrinMaria")
        << MariaSection("TavrinMariaWhole", "NO_CACHE=0\n");
    setenv("ODBCSYSINI", dir.c_str(), 1);
    setenv("ODBCINI", (dir + "/odbc.ini").c_str(), 1);
    return dir;
}

bool ServerConfigured(Driver driver)
{
    return driver == Driver::SQLite ||
           !Env(driver == Driver::MariaDB ? "TAVRIN_MARIADB_PORT" : "TAVRIN_PG_PORT").empty();
}

SQLCHAR* Text(const std::string& text)
{
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
}

std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle)
{
    SQLCHAR state[6] = "", message[1024] = "";
    SQLINTEGER native = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, nullptr);
    return reinterpret_cast<char*>(state) + std::string(": ") + reinterpret_cast<char*>(message);
}

} // namespace

const char* DriverName(Driver driver)
{
    return std::array{"SQLite", "PostgreSQL", "MariaDB"}[static_cast<int>(driver)];
}

std::string OdbcConfigDir()
{
    static const std::string dir = WriteConfig();
    return dir;
}

DataSource SourceFor(Driver driver)
{
    OdbcConfigDir();
    const std::string env = driver == Driver::MariaDB ? "TAVRIN_MARIADB_" : "TAVRIN_PG_";
    return driver == Driver::SQLite
               ? DataSource{"TavrinSQLite", "", ""}
               : DataSource{driver == Driver::MariaDB ? "TavrinMaria" : "TavrinPg",
                            Env(env + "USER", "tavrin"), Env(env + "PASSWORD")};
}

DataSource AddPostgresSource(const std::string& dsn, int port)
{
    std::ofstream(OdbcConfigDir() + "/odbc.ini", std::ios::app)
        << PgSection(dsn, std::to_string(port));
    return {dsn, "tavrin", "x"};
}

TestDatabase::TestDatabase(Driver driver) : m_driver(driver), m_source(SourceFor(driver))
{
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_henv);
    SQLSetEnvAttr(m_henv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, m_henv, &m_hdbc);
    m_connected = ServerConfigured(driver) &&
                  SQL_SUCCEEDED(SQLConnect(m_hdbc, Text(m_source.dsn), SQL_NTS, Text(m_source.user),
                                           SQL_NTS, Text(m_source.password), SQL_NTS));
    m_connectError = m_connected                ? ""
                     : ServerConfigured(driver) ? Diagnostic(SQL_HANDLE_DBC, m_hdbc)
                                                : "no server (scripts/test starts one)";
    if (m_connected && driver == Driver::PostgreSQL)
        Exec("SET lock_timeout = '20s'"); // a forgotten open cursor fails a test, not the run
}

TestDatabase::~TestDatabase()
{
    for (auto drop = m_drops.rbegin(); drop != m_drops.rend(); ++drop)
        Exec(*drop);
    if (m_connected)
        SQLDisconnect(m_hdbc);
    SQLFreeHandle(SQL_HANDLE_DBC, m_hdbc);
    SQLFreeHandle(SQL_HANDLE_ENV, m_henv);
}

std::string TestDatabase::Run(const std::string& sql, bool query)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_hdbc, &hstmt);
    SQLRETURN r = SQLExecDirect(hstmt, Text(sql), SQL_NTS);
    char value[4096] = "";
    SQLLEN length = 0;
    if (query && SQL_SUCCEEDED(r) && SQL_SUCCEEDED(r = SQLFetch(hstmt)))
        r = SQLGetData(hstmt, 1, SQL_C_CHAR, value, sizeof value, &length);
    std::string result = length == SQL_NULL_DATA ? "<null>" : value;
    if (!SQL_SUCCEEDED(r) && (query || r != SQL_NO_DATA))
        result = m_connected ? Diagnostic(SQL_HANDLE_STMT, hstmt) : "not connected";
    SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
    return query && !SQL_SUCCEEDED(r) ? "<error: " + result + ">" : result;
}

std::string TestDatabase::Quote(const std::string& identifier) const
{
    const char mark = m_driver == Driver::MariaDB ? '`' : '"';
    std::string quoted(1, mark);
    for (char c : identifier)
        quoted.append(c == mark ? 2 : 1, c);
    return quoted + mark;
}

void TestDatabase::CreateTable(const std::string& name, const std::vector<ColumnDef>& columns,
                               const std::vector<Row>& rows)
{
    Exec("DROP TABLE IF EXISTS " + Quote(name));
    std::string sql = "CREATE TABLE " + Quote(name);
    for (const ColumnDef& c : columns)
        sql += (&c == &columns[0] ? " (" : ", ") + Quote(c.name) + " " +
               (m_driver == Driver::SQLite                                ? c.sqliteType
                : m_driver == Driver::PostgreSQL || c.mariadbType.empty() ? c.postgresType
                                                                          : c.mariadbType);
    ASSERT_EQ(Exec(sql + (columns.empty() ? " ()" : ")")), "") << sql;
    m_drops.push_back("DROP TABLE IF EXISTS " + Quote(name));
    for (const Row& row : rows) {
        sql = "INSERT INTO " + Quote(name) + (row.empty() ? " DEFAULT VALUES" : " VALUES (");
        for (const std::string& value : row)
            sql += (&value == &row[0] ? "" : ",") + value;
        ASSERT_EQ(Exec(sql + (row.empty() ? "" : ")")), "") << sql.substr(0, 300);
    }
}

void TestDatabase::CreateView(const std::string& name, const std::string& select)
{
    Exec("DROP VIEW IF EXISTS " + Quote(name));
    ASSERT_EQ(Exec("CREATE VIEW " + Quote(name) + " AS " + select), "");
    m_drops.push_back("DROP VIEW IF EXISTS " + Quote(name));
}

std::string TestDatabase::BinaryLiteral(const std::string& bytes) const
{
    std::string hex;
    for (unsigned char c : bytes)
        hex += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    return m_driver == Driver::PostgreSQL ? "decode('" + hex + "','hex')" : "X'" + hex + "'";
}

void DriverTest::SetUp()
{
    m_db = std::make_unique<TestDatabase>(GetParam());
    if (!m_db->m_connected && !ServerConfigured(GetParam()) && !std::getenv("CI"))
        GTEST_SKIP() << m_db->m_connectError;
    ASSERT_TRUE(m_db->m_connected) << DriverName(GetParam()) << ": " << m_db->m_connectError;
}
