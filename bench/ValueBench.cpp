// One long value read through the program's own ODBC layer, as the export reads it (every byte,
// binary columns as bytes): how long it takes and how much memory the process needs for it.
//
//   tavrin_bench_value DSN USER PASSWORD "SELECT ..."
//
// Reads every value of every row of the query. Prints "seconds <s> bytes <n> maxrss_kib <n>
// before_kib <n>": the clock from SQLExecDirect to the last value, the bytes of all values, the
// peak resident memory of the whole process and the resident memory just before the statement
// (the program, the driver and the session).

#include "odbc/OdbcConnection.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

[[noreturn]] void Fail(const std::string& message)
{
    std::fprintf(stderr, "tavrin_bench_value: %s\n", message.c_str());
    std::exit(1);
}

long ResidentKib()
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        Fail("usage: tavrin_bench_value DSN USER PASSWORD \"SELECT ...\"");
    COdbcConnection conn;
    conn.SetQuiet(true);
    conn.SetExactValues(true);
    std::string error;
    if (conn.Connect(argv[1], argv[2], argv[3]) != 0) {
        conn.GetErrorText(error);
        Fail("cannot connect: " + error);
    }
    const long before = ResidentKib();
    const auto start = std::chrono::steady_clock::now();
    if (conn.ExecDirect(argv[4]) != 0) {
        conn.GetErrorText(error);
        Fail("the statement failed: " + error);
    }
    const int columns = conn.GetColumnCount();
    std::size_t bytes = 0;
    int r;
    while ((r = conn.Fetch()) == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO)
        for (int c = 1; c <= columns; ++c) {
            const CColumnValue& value = conn.GetColumnValue(c);
            bytes += value.m_bBinary ? value.m_strRaw.size() : value.m_strText.size();
        }
    if (r != SQL_NO_DATA) {
        conn.GetErrorText(error);
        Fail("the fetch failed: " + error);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    conn.ResetStatement();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("seconds %.6f bytes %zu maxrss_kib %ld before_kib %ld\n", elapsed.count(), bytes,
                usage.ru_maxrss, before);
    return 0;
}
