#pragma once

#include <string>
#include <vector>

class COdbcConnection;

// A MariaDB table read in pages in the order of a unique key, all inside one transaction with a
// consistent snapshot. The MariaDB driver (before Connector/ODBC 3.1.17) reads a whole result
// into memory, so one select of a large table would take all of it; a page is a few thousand
// rows. Each page starts after the last key of the page before, which the server hands over as
// text or hex digits along with the rows and gets back as a literal that it compares exactly as
// it orders the key: every row comes once, as the table was when the transaction began. A table
// without such a key, or one whose engine keeps no snapshots, is read whole as one result, as is
// any table when not asked for pages.
class CKeyedPages
{
public:
    // select: the select list ("Select *"); table: the table as a statement names it; where: a
    // condition the rows must meet, or "".
    CKeyedPages(COdbcConnection& connection, std::string select, std::string table,
                std::string where = "");
    // Ends the transaction it began, also after a failure or a stop.
    ~CKeyedPages();
    CKeyedPages(const CKeyedPages&) = delete;
    CKeyedPages& operator=(const CKeyedPages&) = delete;

    // Runs the first page, or the whole select: the codes of SQLExecDirect. The rows come
    // through Fetch, their values from the connection as for any statement.
    int Execute(bool paged);
    // The columns of the select; a page has the key's text after them.
    int ColumnCount() const { return m_nColumns; }
    // The next row, the first of the next page when a page ends: the codes of SQLFetch.
    int Fetch();
    bool Paged() const { return m_bPaged; }

    // The most rows a page holds (tests make pages small); gives the one before.
    static long SetPageRows(long rows);

private:
    enum class Literal
    {
        Number,
        Temporal,
        Text,
        Bytes
    };
    struct CKeyColumn
    {
        std::string quoted;
        Literal literal = Literal::Number;
        // For text: the column's character set and collation, in which its values compare.
        std::string charset, collation;
    };

    bool FindKey();
    bool BeginSnapshot();
    int RunPage();
    void KeepRow();
    std::string After(const std::vector<std::string>& literals) const;

    COdbcConnection& m_connection;
    std::string m_select;
    std::string m_table;
    std::string m_where;
    std::vector<CKeyColumn> m_key;
    std::string m_keyColumns;
    std::string m_orderBy;
    // The key of the row last read, and the one the page began after, as the server wrote them.
    std::vector<std::string> m_lastKey;
    std::vector<std::string> m_pageStart;
    bool m_bPaged = false;
    bool m_bTransaction = false;
    bool m_bOnRow = false;
    int m_nColumns = 0;
    long m_nPageRows = 0;
    long m_nRowsInPage = 0;
    // What the rows of the page took, for the size of the next one.
    double m_pageBytes = 0;
};
