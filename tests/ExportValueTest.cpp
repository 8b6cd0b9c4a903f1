#include "tools/ExportValue.h"

#include "odbc/OdbcConnection.h"

#include <gtest/gtest.h>

namespace {

CColumnValue Value(const std::string& text, bool isNull = false, const std::string& raw = "")
{
    CColumnValue value;
    value.m_strText = text;
    value.m_bNull = isNull;
    value.m_strRaw = raw;
    return value;
}

// A value of a numeric column that is no number, and bytes of a binary column read for a script.
CColumnValue Marked(const std::string& text, bool binary)
{
    CColumnValue value = Value(binary ? "" : text, false, binary ? text : "");
    value.m_bText = !binary;
    value.m_bBinary = binary;
    return value;
}

struct ValueCase
{
    const char* name;
    int kind;
    CColumnValue value;
    std::string literal;
    ScriptDialect dialect = ScriptDialect::Standard;
};

class ExportValueTest : public ::testing::TestWithParam<ValueCase>
{
};

TEST_P(ExportValueTest, WritesALiteralThatLoadsBack)
{
    std::string out = "(";
    AppendExportValue(out, GetParam().kind, GetParam().value, GetParam().dialect);
    EXPECT_EQ(out, "(" + GetParam().literal);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ExportValueTest,
    ::testing::Values(
        ValueCase{"Text", 1, Value("Meier"), "'Meier'"},
        ValueCase{"QuotesEverywhere", 1, Value("'a''b'"), "'''a''''b'''"},
        ValueCase{"OnlyAQuote", 1, Value("'"), "''''"}, ValueCase{"EmptyText", 1, Value(""), "''"},
        ValueCase{"TheWordNull", 1, Value("NULL"), "'NULL'"},
        ValueCase{"NullText", 1, Value("NULL", true), "NULL"},
        ValueCase{"NullInteger", 4, Value("NULL", true), "NULL"},
        ValueCase{"NullSmallint", 5, Value("NULL", true), "NULL"},
        ValueCase{"NullReal", 7, Value("NULL", true), "NULL"},
        ValueCase{"NullDouble", 8, Value("NULL", true), "NULL"},
        ValueCase{"NullBinary", 99, Value("NULL", true), "NULL"},
        ValueCase{"Integer", 4, Value("-2147483648"), "-2147483648"},
        ValueCase{"Smallint", 5, Value("-7"), "-7"},
        ValueCase{"Real", 7, Value("7.8125e-003"), "7.8125e-003"},
        ValueCase{"Double", 8, Value("3."), "3."},
        ValueCase{"Infinity", 8, Value("inf"), "'Infinity'"},
        ValueCase{"MinusInfinity", 7, Value("-inf"), "'-Infinity'"},
        ValueCase{"NotANumber", 8, Value("nan"), "'NaN'"},
        ValueCase{"Binary", 99, Value("", false, std::string("\0\xff\x10 ", 4)), "X'00FF1020'"},
        ValueCase{"EmptyBinary", 99, Value(""), "X''"},
        ValueCase{"Umlauts", 1, Value("Grüße"), "'Grüße'"},
        ValueCase{"TextInAnIntegerColumn", 4, Marked("12abc", false), "'12abc'"},
        ValueCase{"BytesOfAVarbinary", 1, Marked("\x01'", true), "X'0127'"},
        ValueCase{"Bytea", 99, Value("", false, "\xab"), "'\\xAB'", ScriptDialect::PostgreSQL},
        ValueCase{"BackslashStandard", 1, Value("a\\b\r\n"), "'a\\b\r\n'"},
        ValueCase{"BackslashMySQL", 1, Value("a\\b'\r\n"), "'a\\\\b''\\r\n'", ScriptDialect::MySQL},
        ValueCase{"CarriageReturnSQLite", 1, Value("a\r\nb"), "'a'||char(13)||'\nb'",
                  ScriptDialect::SQLite}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExportIdentifier, PlainNamesAreLettersDigitsAndUnderscores)
{
    for (const char* plain : {"T", "kunden", "Kunden_2", "_x", "a1b2"})
        EXPECT_TRUE(IsPlainIdentifier(plain)) << plain;
    for (const char* other : {"", "1a", "mit Blank", "a-b", "Straße", "a;b", "\"q\"", "a.b"})
        EXPECT_FALSE(IsPlainIdentifier(other)) << other;
}

TEST(ExportIdentifier, QuotingDoublesTheQuoteCharacter)
{
    EXPECT_EQ(QuoteIdentifier("mit Blank", "\""), "\"mit Blank\"");
    EXPECT_EQ(QuoteIdentifier("a\"b\"", "\""), "\"a\"\"b\"\"\"");
    EXPECT_EQ(QuoteIdentifier("x`y", "`"), "`x``y`");
    EXPECT_EQ(QuoteIdentifier("a;b", ""), "a;b");
}

} // namespace
