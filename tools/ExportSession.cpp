#include "tools/ExportSession.h"

#include "odbc/OdbcConnection.h"

namespace {

struct Setting
{
    const char* name;
    const char* value; // as the export reads
};

// The output a value's text depends on; the rest of a setting (DateStyle's field order) only
// matters for reading a script, where the ISO form is taken whatever the order. A money value is
// written and read in the units of lc_monetary's currency: under the same one both ways it
// comes back as it was.
const Setting kPostgres[] = {{"DateStyle", "ISO"},
                             {"IntervalStyle", "postgres"},
                             {"extra_float_digits", "3"},
                             {"lc_monetary", "C"}};
// A TIMESTAMP is handed out in the session's time zone: two instants an hour apart around a
// change to winter time would read alike.
const Setting kMySQL[] = {{"time_zone", "+00:00"}};

std::string Literal(const std::string& text)
{
    std::string literal = "'";
    for (char c : text) {
        literal += c;
        if (c == '\'')
            literal += c;
    }
    return literal + "'";
}

bool Succeeded(int r)
{
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}

} // namespace

CExportSession::CExportSession(COdbcConnection& connection, ScriptDialect dialect)
    : m_connection(connection), m_dialect(dialect)
{
}

CExportSession::~CExportSession()
{
    End();
}

bool CExportSession::Begin()
{
    const Setting* settings = nullptr;
    std::size_t count = 0;
    std::string select;
    if (m_dialect == ScriptDialect::PostgreSQL) {
        settings = kPostgres;
        count = std::size(kPostgres);
        select = "Select current_setting('client_encoding')";
        for (const Setting& s : kPostgres)
            select += std::string(", current_setting('") + s.name + "')";
    } else if (m_dialect == ScriptDialect::MySQL) {
        settings = kMySQL;
        count = std::size(kMySQL);
        select = "Select @@session.character_set_results, @@session.time_zone";
    } else {
        return true;
    }
    // The user's values, and the character set in which the values reach the script.
    if (!Succeeded(m_connection.ExecDirect(select.c_str())) || m_connection.Fetch() != SQL_SUCCESS)
        return false;
    std::vector<std::string> user;
    for (std::size_t i = 0; i <= count; ++i) {
        const CColumnValue& value = m_connection.GetColumnValue(static_cast<int>(i) + 1);
        user.push_back(value.m_bNull ? std::string() : value.m_strText);
    }
    m_connection.ResetStatement();
    for (std::size_t i = 0; i < count; ++i) {
        if (user[i + 1] == settings[i].value)
            continue;
        // On the statement whose error the export reports.
        const std::string set =
            std::string("Set ") + settings[i].name + " = " + Literal(settings[i].value);
        if (!Succeeded(m_connection.ExecDirect(set.c_str())))
            return false;
        m_changed.emplace_back(settings[i].name, user[i + 1]);
    }
    if (m_dialect == ScriptDialect::PostgreSQL) {
        m_script = {"Set client_encoding = " + Literal(user[0]),
                    "Set standard_conforming_strings = on",
                    "Set DateStyle = ISO",
                    "Set IntervalStyle = postgres",
                    "Set extra_float_digits = 3",
                    "Set lc_monetary = 'C'"};
    } else {
        // The target keeps its strictness; an id 0 stays 0 rather than drawing the next number,
        // and a backslash is an escape, as the literals are written.
        m_script = {"Set Names " + (user[0].empty() ? std::string("utf8mb4") : user[0]),
                    "Set time_zone = '+00:00'",
                    "Set sql_mode = Concat(Replace(@@sql_mode, 'NO_BACKSLASH_ESCAPES', ''), "
                    "',NO_AUTO_VALUE_ON_ZERO')"};
    }
    return true;
}

void CExportSession::End()
{
    // Beside the export's statement, whose diagnostics may still be wanted.
    for (const auto& [name, value] : m_changed)
        m_connection.ExecAside(("Set " + name + " = " + Literal(value)).c_str());
    m_changed.clear();
}

namespace {

bool IsDateOrTimeSqlType(int sqlType)
{
    switch (sqlType) {
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string ServerTextSelect(COdbcConnection& connection, int columns)
{
    std::string select = "Select ";
    bool any = false;
    for (int i = 1; i <= columns; ++i) {
        const bool cast = IsDateOrTimeSqlType(connection.GetColumnSqlType(i));
        any = any || cast;
        select +=
            QuoteIdentifier(connection.GetColumnName(i, false), connection.GetIdentifierQuote());
        select += cast ? "::text" : "";
        select += i < columns ? ", " : "";
    }
    return any ? select : "Select *";
}
