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
// often; the first call does the work and must come before any ODBC call of the process.
void EnsureOdbcConfig();
std::string OdbcConfigDir();

struct DataSource
{
    std::string dsn, user, password;
};

// A fresh SQLite file, or the PostgreSQL and MariaDB servers that scripts/test starts (port, user,
// password and database come from TAVRIN_PG_* and TAVRIN_MARIADB_*). Each DSN has a twin with
// "Empty" appended for a database without tables; "TavrinBroken" names a missing driver library.
DataSource SourceFor(Driver driver);
bool PostgresConfigured();
// Adds a data source of the PostgreSQL driver for a server on another port of 127.0.0.1.
DataSource AddPostgresSource(const std::string& dsn, int port);
