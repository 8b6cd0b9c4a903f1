#pragma once

#include "tests/support/OdbcEnvironment.h"

#include <gtest/gtest.h>
#include <sql.h>
#include <string>
#include <vector>

// A column of a test table, with its type as each driver spells it; MariaDB's follows from
// PostgreSQL's where it is not given.
struct ColumnDef
{
    std::string name;
    std::string sqliteType;
    std::string postgresType;
    std::string mariadbType{};
};

using Row = std::vector<std::string>; // SQL literals, one per column

// A connection of its own (plain ODBC, independent of the code under test) that builds and
// removes the tables a test reads, so that one test body can run on either driver.
class TestDatabase
{
public:
    explicit TestDatabase(Driver driver);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    Driver driver() const { return m_driver; }
    const DataSource& source() const { return m_source; }
    bool connected() const { return m_connected; }
    const std::string& connectError() const { return m_connectError; }

    // Runs a statement; returns the driver's message on failure, empty on success.
    std::string Exec(const std::string& sql);
    // The first column of the first row of a query, or "<error: ...>".
    std::string QueryValue(const std::string& sql);
    void CreateTable(const std::string& name, const std::vector<ColumnDef>& columns,
                     const std::vector<Row>& rows = {});
    void CreateView(const std::string& name, const std::string& select);
    void InsertRows(const std::string& name, const std::vector<Row>& rows);
    // Drops every table and view this object created.
    void DropAll();

    // Driver-specific literal forms.
    std::string BinaryLiteral(const std::string& bytes) const;
    std::string Quote(const std::string& identifier) const;
    std::string TypeOf(const ColumnDef& column) const;
    // A table of the default schema as the export script names it: qualified where the data
    // source has schemas ("public", an ODBC reserved word, quoted).
    std::string ScriptName(const std::string& spelled) const;

private:
    Driver m_driver;
    DataSource m_source;
    SQLHENV m_henv = SQL_NULL_HENV;
    SQLHDBC m_hdbc = SQL_NULL_HDBC;
    bool m_connected = false;
    std::string m_connectError;
    std::vector<std::string> m_tables;
    std::vector<std::string> m_views;
};

// Base of every test suite that runs on every driver. A missing server skips the test on a
// developer's machine and fails it in CI.
class DriverTest : public ::testing::TestWithParam<Driver>
{
protected:
    void SetUp() override;
    void TearDown() override;
    TestDatabase& db() { return *m_db; }
    Driver driver() const { return GetParam(); }
    bool isSQLite() const { return GetParam() == Driver::SQLite; }
    bool isPostgres() const { return GetParam() == Driver::PostgreSQL; }
    bool isMariaDB() const { return GetParam() == Driver::MariaDB; }

private:
    std::unique_ptr<TestDatabase> m_db;
};

std::string DriverParamName(const ::testing::TestParamInfo<Driver>& info);

#define INSTANTIATE_DRIVER_SUITE(Suite)                                                            \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Drivers, Suite, ::testing::Values(Driver::SQLite, Driver::PostgreSQL, Driver::MariaDB),    \
        DriverParamName)
