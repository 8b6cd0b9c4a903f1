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

// A private odbcinst.ini and odbc.ini, so tests never touch /etc or home; before any ODBC call.
std::string OdbcConfigDir();

struct DataSource
{
    std::string dsn, user, password;
};

// A fresh SQLite file or the servers of TAVRIN_PG_* / TAVRIN_MARIADB_*; "TavrinBroken" has no
// driver.
DataSource SourceFor(Driver driver);
// Adds a data source of the PostgreSQL driver for a server on another port of 127.0.0.1.
DataSource AddPostgresSource(const std::string& dsn, int port);
