#pragma once

#include "odbc/ColumnValue.h"

#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <sql.h>
#include <sqlext.h>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

// The program's only owner of ODBC handles: one environment, one connection and one statement,
// on which every statement runs, one at a time. Values are handed out as text.
class COdbcConnection
{
public:
    // Asked when a failure is reported outside quiet mode; true means "end the program".
    using QuestionHandler = std::function<bool(const std::string& title, const std::string& text)>;

    COdbcConnection();
    ~COdbcConnection();
    COdbcConnection(const COdbcConnection&) = delete;
    COdbcConnection& operator=(const COdbcConnection&) = delete;

    void SetQuiet(bool quiet) { m_bQuiet = quiet; }
    void SetQuestionHandler(QuestionHandler handler) { m_question = std::move(handler); }

    // Logs on to a data source by its name, or by a connection string ("Driver=SQLite3;
    // Database=..."), asking its driver to hand out a forward-only result row by row where the
    // driver can (the data source's own entry stays as it is).
    int Connect(const char* source, const char* user, const char* password);
    static bool IsConnectionString(const std::string& source)
    {
        return source.find('=') != std::string::npos;
    }
    // The source as it may be shown, logged and stored: a connection string loses its password.
    static std::string WithoutPassword(const std::string& source);
    // The configured user and system data sources, each with its driver's name.
    static std::vector<std::pair<std::string, std::string>> DataSources();
    // Whether this session's results come from the driver as they are fetched, rather than
    // read whole into memory first.
    bool StreamsResults() const { return m_bStreams; }
    // Ends the session and releases every handle; a later Connect starts afresh.
    void Disconnect();
    bool HasStatement() const { return m_hstmt != SQL_NULL_HSTMT; }

    // For a script every value must come back exactly: binary columns as their bytes,
    // variable-length text with its trailing blanks. Shown values keep the trimmed text.
    void SetExactValues(bool exact) { m_bExactValues = exact; }

    void GetErrorText(std::string& text);
    int ExecDirect(const char* statement);
    // A statement without rows on a statement of its own: the current one keeps its rows and its
    // diagnostics, and Cancel does not reach it.
    int ExecAside(const char* statement);
    void ResetStatement();
    // Stops the statement or catalog query under way on another thread; the call there fails.
    // Safe from any thread while the session lasts.
    void Cancel();

    int GetColumnCount();
    // Trimmed on the right as shown; untrimmed as a statement must name the column.
    std::string GetColumnName(int column, bool trimmed = true);
    int GetColumnType(int column);
    // The column's SQL type as the driver describes it (SQL_UNKNOWN_TYPE when it cannot).
    int GetColumnSqlType(int column);
    int Fetch();
    std::string GetColumnText(int column);
    // The cached record of a value (text, NULL flag, raw bytes of a long binary value). The
    // reference stays valid until the next call on this object.
    const CColumnValue& GetColumnValue(int column);
    // The same, read in the C type of another kind than the column's: KindChar the driver's
    // text untouched, KindDouble a number, KindBinary the bytes. SQLite keeps any value in any
    // column, so a script must read a value by what it is. The first read of a value in a row
    // decides how it is read.
    const CColumnValue& GetColumnValue(int column, int kind);

    // The tables of type TABLE; with schemas and catalogs, each table's schema and catalog too
    // ("" where there is none).
    bool GetTableNames(std::list<std::string>& names, std::list<std::string>* schemas = nullptr,
                       std::list<std::string>* catalogs = nullptr);
    // The catalog a table of another one must be qualified with in a statement, or "" when the
    // table needs none: the data source has no catalogs in statements, or it is the current one.
    std::string CatalogToQualify(const std::string& catalog);

    // How the data source quotes an identifier ("\"" for most), empty when it cannot, and how it
    // stores unquoted ones (SQL_IC_UPPER, SQL_IC_LOWER, ...); asked once per session.
    const std::string& GetIdentifierQuote();
    int GetIdentifierCase();
    // Whether a name is a reserved word of ODBC, of the driver or of the engine (letter case
    // ignored). After a qualifier's dot ("schema.name") some engines take their reserved words.
    bool IsKeyword(const std::string& name, bool afterQualifier = false);
    // The product name of the data source ("PostgreSQL", "SQLite", "MariaDB", ...).
    const std::string& GetDbmsName();

    // Column kind codes: the C type in which a column is read.
    enum Kind
    {
        KindChar = 1,
        KindLong = 4,
        KindShort = 5,
        KindFloat = 7,
        KindDouble = 8,
        KindDefault = 99,
        // Only asked for, never a column's own kind.
        KindBinary = -2
    };
    static int KindOfSqlType(int sqlType);

private:
    void ReportError();
    void ClearValues() { ++m_nRow; }
    void ForgetResultSet();
    bool ReadsAsText(int kind, int sqlType);
    void BindColumns();
    const CColumnValue& Value(int column, int kind, bool asked);
    void ReadValue(CColumnValue& value, int kind, int sqlType, bool asked);
    // Whether a script drops the trailing blanks of this character column's values.
    bool IsBlankPadded(int column);
    SQLRETURN ReadWhole(SQLHSTMT hstmt, int column, SQLSMALLINT cType, std::string& out,
                        bool& isNull, SQLLEN firstPiece = 512);
    void RememberKind(int column, SQLSMALLINT sqlType);

    std::string m_strSql;
    char m_szErrorMsg[511];
    SQLHENV m_henv = SQL_NULL_HENV;
    SQLHDBC m_hdbc = SQL_NULL_HDBC;
    SQLHSTMT m_hstmt = SQL_NULL_HSTMT;
    // The catalog query's own statement while it runs.
    SQLHSTMT m_hCatalogStmt = SQL_NULL_HSTMT;
    // Held while a statement handle is made or freed, so that Cancel never sees a freed one.
    std::mutex m_handleMutex;
    // The values of the current row by column number; a record holds this row's value when its
    // stamp is m_nRow. The records keep their buffers, so that reading a row allocates nothing
    // once the first rows have been read. Slot 0 takes a column number out of range, read anew
    // each time.
    std::vector<CColumnValue> m_values;
    std::vector<std::uint64_t> m_stamps;
    std::uint64_t m_nRow = 1;
    // Kind code and SQL type per column of the current result set, 0 while not yet described.
    std::vector<signed char> m_kinds;
    std::vector<short> m_sqlTypes;
    // Per character column: 1 padded with blanks, -1 not, 0 not yet asked.
    std::vector<signed char> m_padded;
    // Columns read as text (or as doubles) are bound, so that one SQLFetch brings a row's values
    // instead of a SQLGetData per value; a value longer than its buffer is read again whole with
    // SQLGetData.
    // Decided at the first Fetch of a result set; a column with size 0 is not bound.
    struct CBoundColumn
    {
        std::size_t offset = 0;
        SQLLEN size = 0;
        SQLLEN indicator = 0;
        // SQL_C_CHAR, or SQL_C_DOUBLE for a double a driver hands out in full only as one.
        SQLSMALLINT cType = SQL_C_CHAR;
    };
    enum class Binding
    {
        Undecided,
        None,
        Bound
    };
    Binding m_binding = Binding::Undecided;
    // The column's binding where it is bound in that C type, else null.
    const CBoundColumn* BoundAs(int column, SQLSMALLINT cType) const;
    std::vector<CBoundColumn> m_bound;
    std::vector<char> m_boundData;
    // Whether the driver lets SQLGetData read any column, bound ones too: asked once a session.
    int m_nGetDataAnyColumn = -1;
    bool m_bExactValues = false;
    bool m_bStreams = false;
    bool m_bQuiet = false;
    QuestionHandler m_question;
    bool m_bIdentifierInfo = false;
    std::string m_strIdentifierQuote;
    int m_nIdentifierCase = 0;
    std::unordered_set<std::string> m_keywords;
    std::unordered_set<std::string> m_reserved;
    bool m_bReservedAfterQualifier = false;
    std::string m_strDbmsName;
    // Whether a double's text from the driver holds the value in full (see ReadValue).
    bool m_bDoubleText = false;
    bool DoubleText()
    {
        ReadIdentifierInfo();
        return m_bDoubleText;
    }
    void ReadIdentifierInfo();
};
