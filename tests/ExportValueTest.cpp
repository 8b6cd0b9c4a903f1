#include "tools/ExportValue.h"

#include <gtest/gtest.h>

namespace {

// How the connection read a value: a null, the bytes of a binary column, no number in a numeric
// one.
constexpr int kNull = 1, kBytes = 2, kNoNumber = 4;
constexpr ScriptDialect kSQLite = ScriptDialect::SQLite, kPostgres = ScriptDialect::PostgreSQL,
                        kMySQL = ScriptDialect::MySQL;

struct ValueCase
{
    int kind;
    std::string text, raw;
    int flags;
    std::string literal;
    ScriptDialect dialect = ScriptDialect::Standard;
};

using ExportValueTest = ::testing::TestWithParam<ValueCase>;

TEST_P(ExportValueTest, WritesALiteralThatLoadsBack)
{
    CColumnValue value;
    value.m_strText = GetParam().text;
    value.m_strRaw = GetParam().raw;
    value.m_bNull = GetParam().flags & kNull;
    value.m_bBinary = GetParam().flags & kBytes;
    value.m_bText = GetParam().flags & kNoNumber;
    std::string out = "(";
    AppendExportValue(out, GetParam().kind, value, GetParam().dialect);
    EXPECT_EQ(out, "(" + GetParam().literal);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ExportValueTest,
    ::testing::Values(
        ValueCase{1, "Meier", "", 0, "'Meier'"}, ValueCase{1, "'a''b'", "", 0, "'''a''''b'''"},
        ValueCase{1, "'", "", 0, "''''"}, ValueCase{1, "", "", 0, "''"},
        ValueCase{1, "NULL", "", 0, "'NULL'"}, ValueCase{1, "NULL", "", kNull, "NULL"},
        ValueCase{4, "NULL", "", kNull, "NULL"}, ValueCase{7, "NULL", "", kNull, "NULL"},
        ValueCase{99, "NULL", "", kNull, "NULL"}, ValueCase{4, "-2147483648", "", 0, "-2147483648"},
        ValueCase{5, "-7", "", 0, "-7"}, ValueCase{7, "7.8125e-003", "", 0, "7.8125e-003"},
        ValueCase{8, "3.", "", 0, "3."}, ValueCase{8, "inf", "", 0, "'Infinity'"},
        ValueCase{7, "-inf", "", 0, "'-Infinity'"}, ValueCase{8, "nan", "", 0, "'NaN'"},
        ValueCase{99, "", std::string("\0\xff\x10 ", 4), 0, "X'00FF1020'"},
        ValueCase{99, "", "", 0, "X''"}, ValueCase{1, "Grüße", "", 0, "'Grüße'"},
        ValueCase{4, "12abc", "", kNoNumber, "'12abc'"},
        ValueCase{1, "", "\x01'", kBytes, "X'0127'"},
        ValueCase{99, "", "\xab", 0, "'\\xAB'", kPostgres},
        ValueCase{1, "a\\b\r\n", "", 0, "'a\\b\r\n'"},
        ValueCase{1, "a\\b'\r\n", "", 0, "'a\\\\b''\\r\n'", kMySQL},
        ValueCase{1, "a\r\nb", "", 0, "'a'||char(13)||'\nb'", kSQLite}));

TEST(ExportValue, IdentifiersAndDialects)
{
    for (const char* plain : {"T", "kunden", "Kunden_2", "_x", "a1b2"})
        EXPECT_TRUE(IsPlainIdentifier(plain)) << plain;
    for (const char* other : {"", "1a", "mit Blank", "a-b", "Straße", "a;b", "\"q\"", "a.b"})
        EXPECT_FALSE(IsPlainIdentifier(other)) << other;
    EXPECT_EQ(QuoteIdentifier("a\"b\"", "\"") + QuoteIdentifier("x`y", "`") +
                  QuoteIdentifier("a;b", ""),
              "\"a\"\"b\"\"\"`x``y`a;b");
    EXPECT_TRUE(DialectOf("PostgreSQL") == kPostgres && DialectOf("MariaDB") == kMySQL &&
                DialectOf("MySQL") == kMySQL && DialectOf("SQLite") == kSQLite &&
                DialectOf("Oracle") == ScriptDialect::Standard);
}

} // namespace
