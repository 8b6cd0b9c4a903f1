// The floor every command is measured against: the driver alone, reading every value of every
// row of a query as text with SQLFetch and SQLGetData, and nothing else.
//
//   tavrin_bench_floor DSN USER PASSWORD "SELECT ..." RUNS [ATTRIBUTES]
//
// ATTRIBUTES ("StepAPI=1", ...) are added to the connection string as the program adds them to
// make the driver stream; without them the data source is used as its entry says.
// Prints one line per run: "seconds <s> cpu <s> rows <n> values <n> bytes <n>" (cpu: user and
// system time of this process, without the server's). The clock covers the
// statement's execution, the fetch loop and the release of the cursor, as a command's does.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sql.h>
#include <sqlext.h>
#include <string>
#include <sys/resource.h>

namespace {

bool Succeeded(SQLRETURN r)
{
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}

[[noreturn]] void Fail(const char* what, SQLSMALLINT type, SQLHANDLE handle)
{
    SQLCHAR state[6] = {0};
    SQLCHAR message[512] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length);
    std::fprintf(stderr, "tavrin_bench_floor: %s failed: %s %s\n", what, state, message);
    std::exit(1);
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Totals
{
    long rows = 0;
    long values = 0;
    long bytes = 0;
};

Totals ReadAll(SQLHDBC hdbc, const std::string& query)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &hstmt)))
        Fail("SQLAllocHandle", SQL_HANDLE_DBC, hdbc);
    std::string sql = query;
    if (!Succeeded(SQLExecDirect(hstmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS)))
        Fail("SQLExecDirect", SQL_HANDLE_STMT, hstmt);
    SQLSMALLINT columns = 0;
    SQLNumResultCols(hstmt, &columns);

    Totals totals;
    // Large enough for every value of the benchmark table, small enough that a driver which
    // writes its whole buffer (the SQLite driver pads with zeros) does not pay for the padding.
    char buffer[512];
    SQLRETURN r;
    while (Succeeded(r = SQLFetch(hstmt))) {
        ++totals.rows;
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            SQLLEN indicator = 0;
            SQLRETURN g;
            // Long values come in pieces; the floor reads them whole like the program does.
            while (Succeeded(
                g = SQLGetData(hstmt, c, SQL_C_CHAR, buffer, sizeof buffer, &indicator))) {
                if (indicator > 0)
                    totals.bytes +=
                        indicator < SQLLEN(sizeof buffer) ? indicator : SQLLEN(sizeof buffer) - 1;
                if (g == SQL_SUCCESS)
                    break;
            }
            if (!Succeeded(g) && g != SQL_NO_DATA)
                Fail("SQLGetData", SQL_HANDLE_STMT, hstmt);
            ++totals.values;
        }
    }
    if (r != SQL_NO_DATA)
        Fail("SQLFetch", SQL_HANDLE_STMT, hstmt);
    SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
    return totals;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr, "usage: %s DSN USER PASSWORD QUERY RUNS [ATTRIBUTES]\n", argv[0]);
        return 2;
    }
    const int runs = std::atoi(argv[5]);

    SQLHENV henv = SQL_NULL_HENV;
    SQLHDBC hdbc = SQL_NULL_HDBC;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &henv);
    // The program talks ODBC 2 to the driver; the floor asks for the same behaviour.
    SQLSetEnvAttr(henv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC2), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, henv, &hdbc);
    // The benchmark's names and passwords need no braces.
    std::string text = std::string("DSN=") + argv[1];
    if (*argv[2] != '\0')
        text += std::string(";UID=") + argv[2] + ";PWD=" + argv[3];
    if (argc == 7 && *argv[6] != '\0')
        text += std::string(";") + argv[6];
    if (!Succeeded(SQLDriverConnect(hdbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                                    nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)))
        Fail("SQLDriverConnect", SQL_HANDLE_DBC, hdbc);

    for (int run = 0; run < runs; ++run) {
        const double cpuStart = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const Totals totals = ReadAll(hdbc, argv[4]);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        std::printf("seconds %.6f cpu %.6f rows %ld values %ld bytes %ld\n", elapsed.count(),
                    CpuSeconds() - cpuStart, totals.rows, totals.values, totals.bytes);
        std::fflush(stdout);
    }

    SQLDisconnect(hdbc);
    SQLFreeHandle(SQL_HANDLE_DBC, hdbc);
    SQLFreeHandle(SQL_HANDLE_ENV, henv);
    return 0;
}
