#pragma once

#include "tests/support/OdbcEnvironment.h"

#include <gtest/gtest.h>
#include <sql.h>

// A column of a test table, its type as each driver spells it (MariaDB's, if other, last).
struct ColumnDef
{
    std::string name, sqliteType, postgresType, mariadbType{};
};

using Row = std::vector<std::string>; // SQL literals, one per column

// Plain ODBC, apart from the code under test: builds the tables a test reads, drops them after.
class TestDatabase
{
public:
    explicit TestDatabase(Driver driver);
    ~TestDatabase();

    const DataSource& source() const { return m_source; }
    // The driver's message on failure, else empty.
    std::string Exec(const std::string& sql) { return Run(sql, false); }
    // The first column of the first row, "<null>" or "<error: ...>".
    std::string QueryValue(const std::string& sql) { return Run(sql, true); }
    void CreateTable(const std::string& name, const std::vector<ColumnDef>& columns,
                     const std::vector<Row>& rows = {});
    void CreateView(const std::string& name, const std::string& select);
    std::string BinaryLiteral(const std::string& bytes) const;
    std::string Quote(const std::string& identifier) const;

private:
    friend class DriverTest;
    std::string Run(const std::string& sql, bool query);

    Driver m_driver;
    DataSource m_source;
    SQLHENV m_henv = SQL_NULL_HENV;
    SQLHDBC m_hdbc = SQL_NULL_HDBC;
    bool m_connected = false;
    std::string m_connectError;
    std::vector<std::string> m_drops;
};

// A missing server skips the test on a developer's machine and fails it in CI.
class DriverTest : public ::testing::TestWithParam<Driver>
{
protected:
    void SetUp() override;
    void TearDown() override { m_db.reset(); }
    TestDatabase& db() { return *m_db; }
    bool isSQLite() const { return GetParam() == Driver::SQLite; }
    bool isPostgres() const { return GetParam() == Driver::PostgreSQL; }
    bool isMariaDB() const { return GetParam() == Driver::MariaDB; }

private:
    std::unique_ptr<TestDatabase> m_db;
};

#define INSTANTIATE_DRIVER_SUITE(Suite)                                                            \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Drivers, Suite, ::testing::Values(Driver::SQLite, Driver::PostgreSQL, Driver::MariaDB),    \
        [](const auto& info) { return std::string(DriverName(info.param)); })
