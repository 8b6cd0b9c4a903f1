// Exported values and table names come from the database, so they may hold anything; the script
// must give back exactly those bytes and nothing may break out of a literal.

#include "fuzz/Check.h"
#include "odbc/OdbcConnection.h"
#include "tools/ExportValue.h"

#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace {

// Strips the outer quotes and turns every doubled quote back into one; false when the text is not
// one well-formed quoted literal (a lone quote inside would end it early).
bool Unquote(const std::string& literal, const std::string& quote, std::string& text)
{
    const std::size_t q = quote.size();
    if (literal.size() < 2 * q || literal.compare(0, q, quote) != 0 ||
        literal.compare(literal.size() - q, q, quote) != 0)
        return false;
    const std::string inner = literal.substr(q, literal.size() - 2 * q);
    text.clear();
    for (std::size_t i = 0; i < inner.size();) {
        if (inner.compare(i, q, quote) == 0) {
            if (inner.compare(i + q, q, quote) != 0)
                return false;
            text += quote;
            i += 2 * q;
        } else {
            text += inner[i++];
        }
    }
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool DecodeHex(const std::string& literal, std::string& bytes)
{
    if (literal.size() < 3 || literal.compare(0, 2, "X'") != 0 || literal.back() != '\'' ||
        (literal.size() - 3) % 2 != 0)
        return false;
    bytes.clear();
    for (std::size_t i = 2; i + 1 < literal.size(); i += 2) {
        const int high = HexDigit(literal[i]);
        const int low = HexDigit(literal[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

bool IsPlainReference(const std::string& name)
{
    if (name.empty())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !(digit && i > 0))
            return false;
    }
    return true;
}

void CheckValue(FuzzedDataProvider& input)
{
    static const int kinds[] = {COdbcConnection::KindChar,
                                COdbcConnection::KindLong,
                                COdbcConnection::KindShort,
                                COdbcConnection::KindFloat,
                                COdbcConnection::KindDouble,
                                COdbcConnection::KindDefault,
                                0,
                                -1};
    const int kind = input.PickValueInArray(kinds);
    CColumnValue value;
    value.m_bNull = input.ConsumeBool();
    value.m_strText = input.ConsumeRandomLengthString(4096);
    value.m_strRaw = input.ConsumeRandomLengthString(4096);

    const std::string prefix = "INSERT INTO t VALUES (";
    std::string out = prefix;
    AppendExportValue(out, kind, value);
    FUZZ_CHECK(out.compare(0, prefix.size(), prefix) == 0);
    const std::string literal = out.substr(prefix.size());

    if (value.m_bNull) {
        FUZZ_CHECK(literal == "NULL");
        return;
    }
    std::string back;
    switch (kind) {
    case COdbcConnection::KindLong:
    case COdbcConnection::KindShort:
    case COdbcConnection::KindFloat:
    case COdbcConnection::KindDouble:
        if (value.m_strText == "inf")
            FUZZ_CHECK(literal == "'Infinity'");
        else if (value.m_strText == "-inf")
            FUZZ_CHECK(literal == "'-Infinity'");
        else if (value.m_strText == "nan" || value.m_strText == "-nan")
            FUZZ_CHECK(literal == "'NaN'");
        else
            FUZZ_CHECK(literal == value.m_strText);
        break;
    case COdbcConnection::KindDefault:
        FUZZ_CHECK(DecodeHex(literal, back));
        FUZZ_CHECK(back == value.m_strRaw);
        break;
    default:
        FUZZ_CHECK(Unquote(literal, "'", back));
        FUZZ_CHECK(back == value.m_strText);
        break;
    }
}

void CheckIdentifier(FuzzedDataProvider& input)
{
    // Drivers report one quote character; longer ones are tried as well since nothing forbids them.
    const std::string quote = input.ConsumeRandomLengthString(3);
    const std::string name = input.ConsumeRemainingBytesAsString();

    FUZZ_CHECK(IsPlainIdentifier(name) == IsPlainReference(name));

    const std::string quoted = QuoteIdentifier(name, quote);
    if (quote.empty()) {
        FUZZ_CHECK(quoted == name);
        return;
    }
    std::string back;
    FUZZ_CHECK(Unquote(quoted, quote, back));
    FUZZ_CHECK(back == name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    CheckValue(input);
    CheckIdentifier(input);
    return 0;
}
