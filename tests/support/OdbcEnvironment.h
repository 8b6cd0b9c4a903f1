#pragma once

#include <string>

// The three real drivers every database test runs against.
enum class Driver
{
    SQLite,
    PostgreSQL,
    MariaDB
};

const char* DriverName(Driver driver);

// Writes a private odbcinst.ini and odbc.ini into a temporary directory and points the driver
// manager at them, so that tests never read or write /etc or the home directory. Safe to call
// often; the first call does the work and must come before any ODBC call of the process. With
// TAVRIN_ODBC_TRACE naming a file, the driver manager traces every call into it.
void EnsureOdbcConfig();

struct DataSource
{
    std::string dsn;
    std::string user;
    std::string password;
};

// The data sources of the private configuration: a fresh SQLite file, and the PostgreSQL and
// MariaDB servers that scripts/test starts (port, user, password and database come from
// TAVRIN_PG_* and TAVRIN_MARIADB_*).
DataSource SourceFor(Driver driver);
// A PostgreSQL database with no tables in it.
DataSource EmptyPostgresSource();
// A data source of the driver's kind with no tables in it.
DataSource EmptySource(Driver driver);
// A data source whose driver library does not exist.
DataSource BrokenDriverSource();
// The private configuration directory.
std::string OdbcConfigDir();

bool PostgresConfigured();
bool MariaDbConfigured();
// Whether the test script started the server a driver needs (SQLite needs none).
bool ServerConfigured(Driver driver);

// Adds a data source of the PostgreSQL driver to the private configuration, for a server on
// another port of 127.0.0.1.
DataSource AddPostgresSource(const std::string& dsn, int port);
