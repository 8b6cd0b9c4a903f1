#include "tools/KeyedPages.h"

#include "odbc/OdbcConnection.h"
#include "tools/ExportValue.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <utility>

namespace {

// The driver holds a page in memory: its rows follow what the rows of the page before took, so
// that a table of long values is read in pages of fewer rows. The first page is small to learn
// that. Pages of a few MiB cost a few per cent more time than one whole read; smaller ones more.
long g_maxPageRows = 100000;
constexpr double kPageBytes = 8.0 * 1024 * 1024;
constexpr long kFirstPageRows = 16;
// What the driver keeps per value beside its bytes.
constexpr double kValueOverhead = 16;

bool Succeeded(int r)
{
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}

bool OnlyOf(const std::string& text, const char* allowed)
{
    return !text.empty() && text.find_first_not_of(allowed) == std::string::npos;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

long CKeyedPages::SetPageRows(long rows)
{
    return std::exchange(g_maxPageRows, std::max(1L, rows));
}

CKeyedPages::CKeyedPages(COdbcConnection& connection, std::string select, std::string table,
                         std::string where)
    : m_connection(connection), m_select(std::move(select)), m_table(std::move(table)),
      m_where(std::move(where))
{
}

CKeyedPages::~CKeyedPages()
{
    // Beside the current statement, whose diagnostics may still be asked for, and out of the
    // user's reach: a snapshot left open would show the next statements an old table.
    if (m_bTransaction)
        m_connection.ExecAside("Commit");
}

int CKeyedPages::Execute(bool paged)
{
    m_bPaged = paged && FindKey() && BeginSnapshot();
    m_nPageRows = std::min(g_maxPageRows, kFirstPageRows);
    const std::string whole =
        m_select + " From " + m_table + (m_where.empty() ? "" : " Where " + m_where);
    const int r = m_bPaged ? RunPage() : m_connection.ExecDirect(whole.c_str());
    m_nColumns = Succeeded(r) ? m_connection.GetColumnCount() -
                                    (m_bPaged ? static_cast<int>(m_key.size()) : 0)
                              : 0;
    return r;
}

int CKeyedPages::Fetch()
{
    if (!m_bPaged)
        return m_connection.Fetch();
    for (;;) {
        if (m_bOnRow)
            KeepRow();
        const int r = m_connection.Fetch();
        m_bOnRow = Succeeded(r);
        m_nRowsInPage += m_bOnRow ? 1 : 0;
        // A page with fewer rows than it might have held was the last.
        if (r != SQL_NO_DATA || m_nRowsInPage < m_nPageRows)
            return r;
        const int page = RunPage();
        if (!Succeeded(page))
            return page;
    }
}

void CKeyedPages::KeepRow()
{
    // The row's values were read already; the connection keeps them for the row.
    for (int c = 1; c <= m_nColumns; ++c) {
        const CColumnValue& value = m_connection.GetColumnValue(c);
        m_pageBytes += kValueOverhead + static_cast<double>(value.m_strText.size()) +
                       static_cast<double>(value.m_strRaw.size());
    }
    m_lastKey.resize(m_key.size());
    for (std::size_t i = 0; i < m_key.size(); ++i) {
        const CColumnValue& value =
            m_connection.GetColumnValue(m_nColumns + 1 + static_cast<int>(i));
        // A key has no NULL; a character no literal takes stands for one.
        m_lastKey[i].assign(value.m_bNull ? "\x01" : value.m_strText);
    }
}

bool CKeyedPages::FindKey()
{
    // Only InnoDB keeps the snapshot that makes all pages one moment of the table. The options
    // follow the line that ends the column list; a line break inside a name, default or comment
    // is written escaped.
    if (!Succeeded(m_connection.ExecDirect(("Show Create Table " + m_table).c_str())) ||
        !Succeeded(m_connection.Fetch()))
        return false;
    const std::string create = m_connection.GetColumnValue(2).m_strText;
    const std::string engine = "\n) ENGINE=InnoDB";
    const std::size_t at = create.find("\n) ENGINE=");
    if (at == std::string::npos || create.compare(at, engine.size(), engine) != 0 ||
        (create.size() > at + engine.size() && create[at + engine.size()] != ' '))
        return false;

    if (!Succeeded(m_connection.ExecDirect(("Show Full Columns From " + m_table).c_str())))
        return false;
    // Type and collation by column name; a NULL collation is "".
    std::map<std::string, std::pair<std::string, std::string>> types;
    while (Succeeded(m_connection.Fetch())) {
        const std::string name = m_connection.GetColumnValue(1).m_strText;
        const std::string type = m_connection.GetColumnValue(2).m_strText;
        const CColumnValue& collation = m_connection.GetColumnValue(3);
        types[name] = {type, collation.m_bNull ? "" : collation.m_strText};
    }

    if (!Succeeded(m_connection.ExecDirect(("Show Keys From " + m_table).c_str())))
        return false;
    // An index the optimizer is told to ignore would make every page a scan of the table.
    int hiddenColumn = 0;
    std::string hiddenWhen;
    if (m_connection.GetColumnCount() >= 14) {
        const std::string name = m_connection.GetColumnName(14);
        hiddenColumn = name == "Ignored" || name == "Visible" ? 14 : 0;
        hiddenWhen = name == "Ignored" ? "YES" : "NO";
    }
    // The keys in the order listed, the primary key first; a key is usable when unique, over
    // whole NOT NULL columns, and ordered (not a hash).
    std::vector<std::pair<std::string, std::vector<std::string>>> keys;
    std::vector<bool> usable;
    while (Succeeded(m_connection.Fetch())) {
        const std::string name = m_connection.GetColumnValue(3).m_strText;
        if (keys.empty() || keys.back().first != name) {
            keys.push_back({name, {}});
            usable.push_back(true);
        }
        keys.back().second.push_back(m_connection.GetColumnValue(5).m_strText);
        const bool part = m_connection.GetColumnValue(2).m_strText == "0" &&
                          m_connection.GetColumnValue(8).m_bNull &&
                          m_connection.GetColumnValue(10).m_strText != "YES" &&
                          m_connection.GetColumnValue(11).m_strText == "BTREE" &&
                          (hiddenColumn == 0 ||
                           m_connection.GetColumnValue(hiddenColumn).m_strText != hiddenWhen);
        usable.back() = usable.back() && part;
    }

    const std::string& quote = m_connection.GetIdentifierQuote();
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (!usable[k])
            continue;
        m_key.clear();
        for (const std::string& column : keys[k].second) {
            const auto found = types.find(column);
            if (found == types.end())
                break;
            CKeyColumn part;
            part.quoted = QuoteIdentifier(column, quote);
            // How a value is written so that the server compares it exactly as it orders the
            // key. Not so: floating point (its text is rounded), a time stamp (its text is in
            // the session's time zone, ambiguous when the clocks go back), and types ordered
            // otherwise than their text (ENUM, SET, BIT, UUID, ...).
            const std::string& type = found->second.first;
            const std::string base = Lower(type.substr(0, type.find_first_of(" (")));
            const std::string& collation = found->second.second;
            if (base == "tinyint" || base == "smallint" || base == "mediumint" || base == "int" ||
                base == "integer" || base == "bigint" || base == "decimal" || base == "numeric" ||
                base == "year") {
                part.literal = Literal::Number;
            } else if (base == "date" || base == "datetime" || base == "time") {
                part.literal = Literal::Temporal;
            } else if ((base == "char" || base == "varchar") &&
                       OnlyOf(collation, "abcdefghijklmnopqrstuvwxyz0123456789_") &&
                       collation.find('_') != std::string::npos) {
                part.literal = Literal::Text;
                part.collation = collation;
                part.charset = collation.substr(0, collation.find('_'));
            } else if (base == "binary" || base == "varbinary") {
                part.literal = Literal::Bytes;
            } else {
                break;
            }
            m_key.push_back(std::move(part));
        }
        if (m_key.size() == keys[k].second.size())
            break;
        m_key.clear();
    }
    if (m_key.empty())
        return false;
    m_orderBy.clear();
    m_keyColumns.clear();
    for (const CKeyColumn& part : m_key) {
        m_orderBy += (m_orderBy.empty() ? "" : ", ") + part.quoted;
        // A number comes as its digits in any case; a cast would cost the server a string per
        // row.
        m_keyColumns += part.literal == Literal::Text || part.literal == Literal::Bytes
                            ? ", Hex(" + part.quoted + ")"
                        : part.literal == Literal::Number ? ", " + part.quoted
                                                          : ", Cast(" + part.quoted + " As Char)";
    }
    return true;
}

bool CKeyedPages::BeginSnapshot()
{
    // A transaction the user began stays as it is; the table is then read in it, whole.
    if (!Succeeded(m_connection.ExecDirect("Select @@in_transaction")) ||
        !Succeeded(m_connection.Fetch()) || m_connection.GetColumnValue(1).m_strText != "0")
        return false;
    // Under repeatable read every statement of the transaction sees the snapshot of its start.
    if (!Succeeded(m_connection.ExecDirect("Set Transaction Isolation Level Repeatable Read")) ||
        !Succeeded(
            m_connection.ExecDirect("Start Transaction With Consistent Snapshot, Read Only")))
        return false;
    m_bTransaction = true;
    return true;
}

// (k1 > v1) Or (k1 = v1 And k2 > v2) Or ...: spelled out, since MariaDB makes an index range of
// this, but not of (k1, k2) > (v1, v2).
std::string CKeyedPages::After(const std::vector<std::string>& literals) const
{
    std::string range;
    for (std::size_t i = 0; i < m_key.size(); ++i) {
        range += i == 0 ? "((" : " Or (";
        for (std::size_t j = 0; j < i; ++j)
            range += m_key[j].quoted + " = " + literals[j] + " And ";
        range += m_key[i].quoted + " > " + literals[i] + ")";
    }
    return range + ")";
}

int CKeyedPages::RunPage()
{
    std::string where = m_where.empty() ? "" : " Where (" + m_where + ")";
    if (!m_lastKey.empty()) {
        // A page that ends on the key it started after has not moved on: the next would be the
        // same again, for ever.
        if (m_lastKey == m_pageStart)
            return SQL_ERROR;
        m_pageStart = m_lastKey;
        const double perRow = std::max(1.0, m_pageBytes / static_cast<double>(m_nRowsInPage));
        m_nPageRows = std::clamp(static_cast<long>(kPageBytes / perRow), 1L, g_maxPageRows);
        // The last key as the server wrote it: its own text of a number or a date, the hex
        // digits of a string's bytes, which an introducer and the column's collation make a
        // string of the column's kind again.
        std::vector<std::string> literals;
        for (std::size_t i = 0; i < m_key.size(); ++i) {
            const std::string& text = m_lastKey[i];
            switch (m_key[i].literal) {
            case Literal::Number:
                if (!OnlyOf(text, "0123456789+-."))
                    return SQL_ERROR;
                literals.push_back(text);
                break;
            case Literal::Temporal:
                if (!OnlyOf(text, "0123456789-:. "))
                    return SQL_ERROR;
                literals.push_back("'" + text + "'");
                break;
            case Literal::Text:
            case Literal::Bytes:
                if (!text.empty() && !OnlyOf(text, "0123456789ABCDEF"))
                    return SQL_ERROR;
                literals.push_back(m_key[i].literal == Literal::Bytes
                                       ? "X'" + text + "'"
                                       : "_" + m_key[i].charset + " X'" + text + "' Collate " +
                                             m_key[i].collation);
                break;
            }
        }
        where += (where.empty() ? " Where " : " And ") + After(literals);
    }
    m_nRowsInPage = 0;
    m_pageBytes = 0;
    m_bOnRow = false;
    const std::string page = m_select + m_keyColumns + " From " + m_table + where + " Order By " +
                             m_orderBy + " Limit " + std::to_string(m_nPageRows);
    return m_connection.ExecDirect(page.c_str());
}
