#include "tests/support/OdbcEnvironment.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string g_dir;

std::string Env(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

void RemoveConfigDir()
{
    std::error_code ignored;
    if (!g_dir.empty())
        fs::remove_all(g_dir, ignored);
}

void WriteDriverConfig(const std::string& dir, const std::string& traceFile)
{
    std::ofstream inst(dir + "/odbcinst.ini");
    if (!traceFile.empty())
        inst << "[ODBC]\nTrace=Yes\nTraceFile=" << traceFile << "\n\n";
    inst << "[SQLite3]\nDriver=libsqlite3odbc.so\n\n"
         << "[PostgreSQL ANSI]\nDriver=psqlodbca.so\n\n"
         << "[MariaDB]\nDriver=libmaodbc.so\n\n"
         << "[Missing]\nDriver=/nonexistent/libtavrin-missing-driver.so\n";
}

void WriteConfig()
{
    char templ[] = "/tmp/tavrin-odbc-XXXXXX";
    if (!mkdtemp(templ))
        throw std::runtime_error("cannot create the ODBC configuration directory");
    g_dir = templ;
    std::atexit(RemoveConfigDir);

    WriteDriverConfig(g_dir, Env("TAVRIN_ODBC_TRACE", ""));
    std::string port = Env("TAVRIN_PG_PORT", "5432");
    std::string host = Env("TAVRIN_PG_HOST", "127.0.0.1");
    std::string database = Env("TAVRIN_PG_DATABASE", "tavrin");
    std::string emptyDatabase = Env("TAVRIN_PG_EMPTY_DATABASE", "tavrin_empty");
    {
        std::ofstream ini(g_dir + "/odbc.ini");
        ini << "[TavrinSQLite]\nDriver=SQLite3\nDatabase=" << g_dir << "/test.db\n"
            << "Timeout=2000\n\n"
            << "[TavrinSQLiteEmpty]\nDriver=SQLite3\nDatabase=" << g_dir << "/empty.db\n\n";
        for (auto [dsn, db] : {std::pair{"TavrinPg", database}, {"TavrinPgEmpty", emptyDatabase}}) {
            ini << "[" << dsn << "]\nDriver=PostgreSQL ANSI\nServername=" << host
                << "\nPort=" << port << "\nDatabase=" << db
                << "\nUseDeclareFetch=1\nFetch=1000\nSSLmode=disable\n\n";
        }
        for (auto [dsn, db] : {std::pair{"TavrinMaria", Env("TAVRIN_MARIADB_DATABASE", "tavrin")},
                               {"TavrinMariaEmpty", Env("TAVRIN_MARIADB_EMPTY_DATABASE", "x")}}) {
            ini << "[" << dsn << "]\nDriver=MariaDB\nServer=127.0.0.1\nPort="
                << Env("TAVRIN_MARIADB_PORT", "3306") << "\nDatabase=" << db
                << "\nCHARSET=utf8mb4\n\n";
        }
        ini << "[TavrinBroken]\nDriver=Missing\n";
    }
    setenv("ODBCSYSINI", g_dir.c_str(), 1);
    setenv("ODBCINI", (g_dir + "/odbc.ini").c_str(), 1);
}

} // namespace

const char* DriverName(Driver driver)
{
    switch (driver) {
    case Driver::SQLite:
        return "SQLite";
    case Driver::PostgreSQL:
        return "PostgreSQL";
    case Driver::MariaDB:
        break;
    }
    return "MariaDB";
}

void EnsureOdbcConfig()
{
    static std::once_flag once;
    std::call_once(once, WriteConfig);
}

std::string OdbcConfigDir()
{
    EnsureOdbcConfig();
    return g_dir;
}

bool PostgresConfigured()
{
    const char* port = std::getenv("TAVRIN_PG_PORT");
    return port && *port;
}

bool MariaDbConfigured()
{
    const char* port = std::getenv("TAVRIN_MARIADB_PORT");
    return port && *port;
}

bool ServerConfigured(Driver driver)
{
    return driver == Driver::SQLite ||
           (driver == Driver::PostgreSQL ? PostgresConfigured() : MariaDbConfigured());
}

DataSource SourceFor(Driver driver)
{
    EnsureOdbcConfig();
    if (driver == Driver::SQLite)
        return {"TavrinSQLite", "", ""};
    if (driver == Driver::MariaDB)
        return {"TavrinMaria", Env("TAVRIN_MARIADB_USER", "tavrin"),
                Env("TAVRIN_MARIADB_PASSWORD", "")};
    return {"TavrinPg", Env("TAVRIN_PG_USER", "tavrin"), Env("TAVRIN_PG_PASSWORD", "")};
}

DataSource EmptyPostgresSource()
{
    DataSource source = SourceFor(Driver::PostgreSQL);
    source.dsn = "TavrinPgEmpty";
    return source;
}

DataSource EmptySource(Driver driver)
{
    if (driver == Driver::PostgreSQL)
        return EmptyPostgresSource();
    if (driver == Driver::MariaDB) {
        DataSource source = SourceFor(Driver::MariaDB);
        source.dsn = "TavrinMariaEmpty";
        return source;
    }
    EnsureOdbcConfig();
    return {"TavrinSQLiteEmpty", "", ""};
}

DataSource BrokenDriverSource()
{
    EnsureOdbcConfig();
    return {"TavrinBroken", "", ""};
}

DataSource AddPostgresSource(const std::string& dsn, int port)
{
    EnsureOdbcConfig();
    std::ofstream ini(g_dir + "/odbc.ini", std::ios::app);
    ini << "\n[" << dsn << "]\nDriver=PostgreSQL ANSI\nServername=127.0.0.1\nPort=" << port
        << "\nDatabase=tavrin\nUseDeclareFetch=1\nFetch=1000\nSSLmode=disable\n";
    return {dsn, "tavrin", "x"};
}
