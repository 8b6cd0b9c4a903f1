#pragma once

#include <string>

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

// A fresh SQLite file or the servers of TAVRIN_PG_* / TAVRIN_MARIADB_*.
DataSource SourceFor(Driver driver);
DataSource AddPostgresSource(const std::string& dsn, int port);
