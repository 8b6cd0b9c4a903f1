#include "tools/ExportValue.h"

#include <gtest/gtest.h>

// How the value was read: a null, a binary column's bytes, no number in a numeric column.
constexpr int kNull = 1, kBytes = 2, kNoNumber = 4;
constexpr ScriptDialect kSQLite = ScriptDialect::SQLite, kPostgres = ScriptDialect::PostgreSQL,
                        kMySQL = ScriptDialect::MySQL;

struct ValueCase
{
    int kind;
    std::string text, literal, raw = "";
    int flags = 0;
    ScriptDialect dialect = ScriptDialect::Standard;
};

using ExportValueTest = ::testing::TestWithParam<ValueCase>;

TEST_P(ExportValueTest, WritesALiteralThatLoadsBack)
{
    const ValueCase& p = GetParam();
    std::string out = "(";
    AppendExportValue(out, p.kind,
                      {p.text, 0, (p.flags & kNull) != 0, p.raw, (p.flags & kBytes) != 0,
                       (p.flags & kNoNumber) != 0},
                      p.dialect);
    EXPECT_EQ(out, "(" + p.literal);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ExportValueTest,
    ::testing::Values(
        ValueCase{1, "Meier", "'Meier'"}, ValueCase{1, "'a''b'", "'''a''''b'''"},
        ValueCase{1, "'", "''''"}, ValueCase{1, "", "''"}, ValueCase{1, "NULL", "'NULL'"},
        ValueCase{1, "NULL", "NULL", "", kNull}, ValueCase{4, "NULL", "NULL", "", kNull},
        ValueCase{7, "NULL", "NULL", "", kNull}, ValueCase{99, "NULL", "NULL", "", kNull},
        ValueCase{4, "-2147483648", "-2147483648"}, ValueCase{5, "-7", "-7"},
        ValueCase{7, "7.8125e-003", "7.8125e-003"}, ValueCase{8, "3.", "3."},
        ValueCase{8, "inf", "'Infinity'"}, ValueCase{7, "-inf", "'-Infinity'"},
        ValueCase{8, "nan", "'NaN'"}, ValueCase{7, "-inf", "-1e999", "", 0, kSQLite},
        ValueCase{99, "", "X'00FF1020'", std::string("\0\xff\x10 ", 4)}, ValueCase{99, "", "X''"},
        ValueCase{1, "Grüße", "'Grüße'"}, ValueCase{4, "12abc", "'12abc'", "", kNoNumber},
        ValueCase{1, "", "X'0127'", "\x01'", kBytes},
        ValueCase{99, "", "'\\xAB'", "\xab", 0, kPostgres}, ValueCase{1, "a\\b\r\n", "'a\\b\r\n'"},
        ValueCase{1, "a\\b'\r\n", "'a\\\\b''\\r\n'", "", 0, kMySQL},
        ValueCase{1, "a\r\nb", "'a'||char(13)||'\nb'", "", 0, kSQLite}));

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
