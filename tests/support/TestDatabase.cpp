#include "tests/support/TestDatabase.h"

#include <algorithm>
#include <cstdlib>
#include <sqlext.h>

namespace {

std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    std::string text;
    SQLCHAR state[6];
    SQLINTEGER native = 0;
    SQLCHAR message[1024];
    SQLSMALLINT length = 0;
    for (SQLSMALLINT i = 1; SQLGetDiagRec(type, handle, i, state, &native, message, sizeof message,
                                          &length) == SQL_SUCCESS;
         ++i) {
        text += reinterpret_cast<char*>(state);
        text += ": ";
        text += reinterpret_cast<char*>(message);
        text += "\n";
    }
    return text.empty() ? "unknown error" : text;
}

bool Ok(SQLRETURN r)
{
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}

} // namespace

TestDatabase::TestDatabase(Driver driver) : m_driver(driver), m_source(SourceFor(driver))
{
    if (!ServerConfigured(driver)) {
        m_connectError = std::string("the ") + DriverName(driver) +
                         " fixture is not running (scripts/test starts it, or scripts/pg-fixture "
                         "and scripts/mariadb-fixture start)";
        return;
    }
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_henv);
    SQLSetEnvAttr(m_henv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, m_henv, &m_hdbc);
    SQLRETURN r = SQLConnect(
        m_hdbc, reinterpret_cast<SQLCHAR*>(const_cast<char*>(m_source.dsn.c_str())), SQL_NTS,
        reinterpret_cast<SQLCHAR*>(const_cast<char*>(m_source.user.c_str())), SQL_NTS,
        reinterpret_cast<SQLCHAR*>(const_cast<char*>(m_source.password.c_str())), SQL_NTS);
    m_connected = Ok(r);
    if (!m_connected)
        m_connectError = Diagnostics(SQL_HANDLE_DBC, m_hdbc);
    else if (driver == Driver::PostgreSQL)
        Exec("SET lock_timeout = '20s'"); // a forgotten open cursor fails a test, not the run
}

TestDatabase::~TestDatabase()
{
    DropAll();
    if (m_hdbc) {
        if (m_connected)
            SQLDisconnect(m_hdbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_hdbc);
    }
    if (m_henv)
        SQLFreeHandle(SQL_HANDLE_ENV, m_henv);
}

std::string TestDatabase::Exec(const std::string& sql)
{
    if (!m_connected)
        return "not connected: " + m_connectError;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_hdbc, &hstmt);
    SQLRETURN r =
        SQLExecDirect(hstmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
    std::string error;
    if (!Ok(r) && r != SQL_NO_DATA)
        error = Diagnostics(SQL_HANDLE_STMT, hstmt);
    SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
    return error;
}

std::string TestDatabase::QueryValue(const std::string& sql)
{
    if (!m_connected)
        return "<error: not connected>";
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_hdbc, &hstmt);
    std::string value;
    SQLRETURN r =
        SQLExecDirect(hstmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
    if (Ok(r))
        r = SQLFetch(hstmt);
    if (Ok(r)) {
        char buffer[4096];
        SQLLEN length = 0;
        r = SQLGetData(hstmt, 1, SQL_C_CHAR, buffer, sizeof buffer, &length);
        if (Ok(r))
            value = length == SQL_NULL_DATA ? "<null>" : buffer;
    }
    if (!Ok(r))
        value = "<error: " + Diagnostics(SQL_HANDLE_STMT, hstmt) + ">";
    SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
    return value;
}

std::string TestDatabase::ScriptName(const std::string& spelled) const
{
    return m_driver == Driver::PostgreSQL ? "\"public\"." + spelled : spelled;
}

std::string TestDatabase::Quote(const std::string& identifier) const
{
    const char mark = m_driver == Driver::MariaDB ? '`' : '"';
    std::string quoted(1, mark);
    for (char c : identifier) {
        quoted += c;
        if (c == mark)
            quoted += mark;
    }
    return quoted + mark;
}

std::string TestDatabase::TypeOf(const ColumnDef& column) const
{
    if (m_driver == Driver::SQLite)
        return column.sqliteType;
    if (m_driver == Driver::PostgreSQL || !column.mariadbType.empty())
        return m_driver == Driver::PostgreSQL ? column.postgresType : column.mariadbType;
    // MariaDB spells a few types its own way; long VARCHARs would exceed its row size.
    const std::string& type = column.postgresType;
    if (type == "BYTEA")
        return "LONGBLOB";
    if (type == "TEXT")
        return "LONGTEXT";
    if (type == "REAL")
        return "FLOAT";
    if (type.rfind("VARCHAR(", 0) == 0 && std::atoi(type.c_str() + 8) > 4000)
        return "MEDIUMTEXT";
    return type;
}

void TestDatabase::CreateTable(const std::string& name, const std::vector<ColumnDef>& columns,
                               const std::vector<Row>& rows)
{
    Exec("DROP TABLE IF EXISTS " + Quote(name));
    std::string sql = "CREATE TABLE " + Quote(name) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i)
            sql += ", ";
        sql += Quote(columns[i].name) + " " + TypeOf(columns[i]);
    }
    sql += ")";
    std::string error = Exec(sql);
    ASSERT_EQ(error, "") << sql;
    m_tables.push_back(name);
    InsertRows(name, rows);
}

void TestDatabase::InsertRows(const std::string& name, const std::vector<Row>& rows)
{
    for (const Row& row : rows) {
        std::string sql = "INSERT INTO " + Quote(name) + " VALUES (";
        for (std::size_t i = 0; i < row.size(); ++i)
            sql += (i ? "," : "") + row[i];
        sql += ")";
        std::string error = Exec(sql);
        ASSERT_EQ(error, "") << sql.substr(0, 300);
    }
}

void TestDatabase::CreateView(const std::string& name, const std::string& select)
{
    Exec("DROP VIEW IF EXISTS " + Quote(name));
    std::string error = Exec("CREATE VIEW " + Quote(name) + " AS " + select);
    ASSERT_EQ(error, "");
    m_views.push_back(name);
}

void TestDatabase::DropAll()
{
    for (auto it = m_views.rbegin(); it != m_views.rend(); ++it)
        Exec("DROP VIEW IF EXISTS " + Quote(*it));
    for (auto it = m_tables.rbegin(); it != m_tables.rend(); ++it)
        Exec("DROP TABLE IF EXISTS " + Quote(*it));
    m_views.clear();
    m_tables.clear();
}

std::string TestDatabase::BinaryLiteral(const std::string& bytes) const
{
    static const char hex[] = "0123456789abcdef";
    std::string digits;
    for (unsigned char c : bytes) {
        digits += hex[c >> 4];
        digits += hex[c & 15];
    }
    if (m_driver == Driver::PostgreSQL)
        return "decode('" + digits + "','hex')";
    return "X'" + digits + "'";
}

void DriverTest::SetUp()
{
    m_db = std::make_unique<TestDatabase>(GetParam());
    if (!m_db->connected()) {
        if (!ServerConfigured(GetParam()) && !std::getenv("CI"))
            GTEST_SKIP() << m_db->connectError();
        FAIL() << "cannot connect to " << DriverName(GetParam()) << ": " << m_db->connectError();
    }
}

void DriverTest::TearDown()
{
    m_db.reset();
}

std::string DriverParamName(const ::testing::TestParamInfo<Driver>& info)
{
    return DriverName(info.param);
}
