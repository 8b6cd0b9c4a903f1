#include "tools/ExportValue.h"

#include "odbc/OdbcConnection.h"

#include <cstring>

namespace {

// Room for what follows a long value on its line without moving the line again: the closing
// quote, the rest of the statement's punctuation.
constexpr std::size_t kLineTail = 16;

void AppendQuoted(std::string& out, const std::string& text, ScriptDialect dialect)
{
    // The characters that need more than a copy of themselves. They are rare, so memchr, which
    // runs through a value many bytes at a time, looks for the next one of each.
    char special[4] = {'\'', 0, 0, 0};
    int specials = 1;
    if (dialect == ScriptDialect::MySQL || dialect == ScriptDialect::SQLite)
        special[specials++] = '\r';
    if (dialect == ScriptDialect::MySQL) {
        special[specials++] = '\\';
        // MariaDB text may hold a zero byte, which its client would end the statement at.
        special[specials++] = '\0';
    }
    const char* const end = text.data() + text.size();
    const auto nextOf = [end](char c, const char* from) {
        const void* found = std::memchr(from, c, static_cast<std::size_t>(end - from));
        return found ? static_cast<const char*>(found) : end;
    };
    const char* next[4];
    for (int k = 0; k < specials; ++k)
        next[k] = nextOf(special[k], text.data());
    // Room for the value and the rest of the line at once: a line that grows again right after
    // a long value is copied whole, the old and the new one held together.
    if (out.capacity() < out.size() + text.size() + kLineTail)
        out.reserve(out.size() + text.size() + kLineTail);
    out += '\'';
    const char* start = text.data();
    for (;;) {
        int k = 0;
        for (int j = 1; j < specials; ++j)
            if (next[j] < next[k])
                k = j;
        const char* const hit = next[k];
        out.append(start, static_cast<std::size_t>(hit - start));
        if (hit == end)
            break;
        const char c = *hit;
        if (c == '\0')
            out += "\\0";
        else if (c != '\r')
            out.append(2, c);
        else if (dialect == ScriptDialect::MySQL)
            out += "\\r";
        else
            out += "'||char(13)||'";
        start = hit + 1;
        next[k] = nextOf(c, start);
    }
    out += '\'';
}

void AppendNumber(std::string& out, const std::string& text, ScriptDialect dialect)
{
    // Infinity and NaN have no bare literal; the quoted words are what a database accepts,
    // except SQLite, which keeps them as text but reads a number beyond a double's range as
    // infinity. Only a text whose first letter (after a minus) is 'i', 'n' or '0' is worth
    // comparing with the words and with -0.; this runs for every number of every row.
    const char first = text.c_str()[!text.empty() && text[0] == '-' ? 1 : 0];
    const bool sqlite = dialect == ScriptDialect::SQLite;
    if (first != 'i' && first != 'n' && first != '0')
        out += text;
    else if (first == '0')
        // PostgreSQL reads a bare -0. as the number 0 and keeps the sign of a double's text.
        out += dialect == ScriptDialect::PostgreSQL && text == "-0." ? "'-0'" : text;
    else if (text == "inf")
        out += sqlite ? "1e999" : "'Infinity'";
    else if (text == "-inf")
        out += sqlite ? "-1e999" : "'-Infinity'";
    else if (text == "nan" || text == "-nan")
        out += "'NaN'";
    else
        out += text;
}

} // namespace

ScriptDialect DialectOf(const std::string& dbmsName)
{
    if (dbmsName == "PostgreSQL")
        return ScriptDialect::PostgreSQL;
    if (dbmsName == "MariaDB" || dbmsName == "MySQL")
        return ScriptDialect::MySQL;
    if (dbmsName == "SQLite")
        return ScriptDialect::SQLite;
    return ScriptDialect::Standard;
}

void AppendExportValue(std::string& out, int kind, const CColumnValue& value, ScriptDialect dialect)
{
    if (value.m_bNull) {
        out += "NULL";
        return;
    }
    if (value.m_bBinary || kind == COdbcConnection::KindDefault) {
        static const char hex[] = "0123456789ABCDEF";
        out += dialect == ScriptDialect::PostgreSQL ? "'\\x" : "X'";
        const std::size_t at = out.size();
        if (out.capacity() < at + 2 * value.m_strRaw.size() + kLineTail)
            out.reserve(at + 2 * value.m_strRaw.size() + kLineTail);
        out.resize(at + 2 * value.m_strRaw.size());
        char* digit = &out[at];
        for (unsigned char c : value.m_strRaw) {
            *digit++ = hex[c >> 4];
            *digit++ = hex[c & 15];
        }
        out += '\'';
        return;
    }
    if (value.m_bText)
        kind = COdbcConnection::KindChar;
    switch (kind) {
    case COdbcConnection::KindLong:
    case COdbcConnection::KindShort:
    case COdbcConnection::KindFloat:
    case COdbcConnection::KindDouble:
        // A failed read leaves no text; an empty place fails loudly instead of storing a guess.
        AppendNumber(out, value.m_strText, dialect);
        break;
    default:
        AppendQuoted(out, value.m_strText, dialect);
        break;
    }
}

bool IsPlainIdentifier(const std::string& name)
{
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    for (char c : name) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '_')
            return false;
    }
    return true;
}

std::string QuoteIdentifier(const std::string& name, const std::string& quote)
{
    if (quote.empty())
        return name;
    std::string quoted = quote;
    std::size_t start = 0;
    for (std::size_t found = name.find(quote); found != std::string::npos;
         found = name.find(quote, start)) {
        quoted.append(name, start, found + quote.size() - start);
        quoted += quote;
        start = found + quote.size();
    }
    quoted.append(name, start, std::string::npos);
    return quoted + quote;
}
