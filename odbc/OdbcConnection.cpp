#include "odbc/OdbcConnection.h"

#include "odbc/ReservedWords.h"
#include "odbc/ValueText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <odbcinst.h>

namespace {

constexpr SQLSMALLINT kNameBufferSize = 256;
constexpr SQLLEN kFirstPieceSize = 512;
constexpr SQLLEN kNumberPieceSize = 32;
// The pieces of a long value whose length the driver does not tell: they double from the
// first size up to the largest, which caps what the last piece may leave unused.
constexpr SQLLEN kGrowingPieceSize = 64 * 1024;
constexpr SQLLEN kLargestGrowingPiece = 8 * 1024 * 1024;

bool Succeeded(SQLRETURN r)
{
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}

void TrimRight(std::string& text)
{
    std::size_t end = text.size();
    while (end > 0) {
        char c = text[end - 1];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\v' && c != '\f')
            break;
        --end;
    }
    text.resize(end);
}

// The padding a fixed-length column adds is blanks; a tab or a line break before it is data.
void TrimBlanks(std::string& text)
{
    std::size_t end = text.size();
    while (end > 0 && text[end - 1] == ' ')
        --end;
    text.resize(end);
}

// The bytes SQLGetData put into a piece that holds at most `room` of them.
SQLLEN PieceBytes(SQLLEN indicator, SQLLEN room)
{
    if (indicator == SQL_NO_TOTAL || indicator > room)
        return room;
    return std::max<SQLLEN>(indicator, 0);
}

// A SQL_SUCCESS_WITH_INFO from SQLGetData means more data only with SQLSTATE 01004.
bool WasTruncated(SQLHSTMT hstmt)
{
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLCHAR message[8];
    SQLSMALLINT length = 0;
    SQLRETURN r =
        SQLGetDiagRec(SQL_HANDLE_STMT, hstmt, 1, state, &native, message, sizeof message, &length);
    return Succeeded(r) && std::memcmp(state, "01004", 5) == 0;
}

// Whether every diagnostic of a fetch reports a cut value (SQLSTATE 01004).
bool OnlyTruncated(SQLHSTMT hstmt)
{
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLCHAR message[8];
    SQLSMALLINT length = 0;
    SQLSMALLINT record = 1;
    for (;; ++record) {
        const SQLRETURN r = SQLGetDiagRec(SQL_HANDLE_STMT, hstmt, record, state, &native, message,
                                          sizeof message, &length);
        if (!Succeeded(r))
            break;
        if (std::memcmp(state, "01004", 5) != 0)
            return false;
    }
    return record > 1;
}

bool IsBinarySqlType(int sqlType)
{
    return sqlType == SQL_BINARY || sqlType == SQL_VARBINARY || sqlType == SQL_LONGVARBINARY;
}

// Whole decimal integers within 64 bits, as drivers write them: the text is kept as it is.
bool IsInteger(const std::string& text)
{
    const std::size_t digits = text.size() - (!text.empty() && text[0] == '-' ? 1 : 0);
    if (digits == 0 || digits > 19)
        return false;
    // A plain loop: find_first_not_of with a set of characters calls memchr per byte of text.
    for (std::size_t i = text.size() - digits; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    if (digits < 19)
        return true;
    errno = 0;
    std::strtoll(text.c_str(), nullptr, 10);
    return errno != ERANGE;
}

// A floating-point number written out whole, infinities and NaN included; not blanks, hex
// notation or anything strtod would take only in part.
bool ParseDouble(const std::string& text, double& number)
{
    if (text.empty() || std::strchr("0123456789+-.iInN", text[0]) == nullptr)
        return false;
    const char* const end = text.data() + text.size();
    // from_chars reads a decimal number at a fraction of strtod's cost and exactly as well (and
    // no hex notation); strtod stays for what only it takes whole: a leading plus, and values
    // beyond a double's range, which it makes infinity or zero.
    if (text[0] != '+') {
        const std::from_chars_result read = std::from_chars(text.data(), end, number);
        if (read.ec == std::errc())
            return read.ptr == end;
        if (read.ec != std::errc::result_out_of_range)
            return false;
    }
    if (std::memchr(text.data(), 'x', text.size()) || std::memchr(text.data(), 'X', text.size()))
        return false;
    char* stop = nullptr;
    number = std::strtod(text.c_str(), &stop);
    return stop == end;
}

// The names ODBC reserves, or a data source lists as its own, separated by commas.
void AddKeywords(std::unordered_set<std::string>& keywords, const char* list)
{
    std::string word;
    for (const char* p = list;; ++p) {
        if (*p == ',' || *p == '\0') {
            if (!word.empty())
                keywords.insert(word);
            word.clear();
            if (*p == '\0')
                return;
        } else if (*p != ' ') {
            word += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
        }
    }
}

} // namespace

COdbcConnection::COdbcConnection()
{
    m_szErrorMsg[0] = '\0';
}

COdbcConnection::~COdbcConnection()
{
    Disconnect();
}

int COdbcConnection::KindOfSqlType(int sqlType)
{
    switch (sqlType) {
    case SQL_INTEGER:
        return KindLong;
    case SQL_SMALLINT:
        return KindShort;
    case SQL_FLOAT:
    case SQL_REAL:
        return KindFloat;
    case SQL_DOUBLE:
        return KindDouble;
    case SQL_LONGVARBINARY:
        return KindDefault;
    default:
        return KindChar;
    }
}

namespace {

// The drivers whose way of handing out a forward-only result row by row is known here.
enum class DriverFamily
{
    Unknown,
    SQLite,
    PostgreSQL,
    MariaDB
};

// Rows psqlODBC fetches from its server-side cursor at a time. Measured on a million short rows,
// 1000 to 2000 read fastest, 5000 half as slow again; memory grows with the batch.
constexpr int kPostgresFetchRows = 2000;

DriverFamily FamilyOfLibrary(std::string library)
{
    library.erase(0, library.find_last_of('/') + 1);
    for (char& c : library)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (library.find("sqlite") != std::string::npos)
        return DriverFamily::SQLite;
    if (library.find("psqlodbc") != std::string::npos)
        return DriverFamily::PostgreSQL;
    if (library.find("maodbc") != std::string::npos)
        return DriverFamily::MariaDB;
    return DriverFamily::Unknown;
}

// The driver's entry names its library; a connection string or a data source may also name
// the library itself. Only read: the user's files stay as they are.
DriverFamily FamilyOfDriver(const std::string& driver)
{
    char library[1024] = "";
    // An empty section name would list every section instead.
    if (!driver.empty())
        SQLGetPrivateProfileString(driver.c_str(), "Driver", "", library, sizeof library,
                                   "odbcinst.ini");
    return FamilyOfLibrary(library[0] != '\0' ? library : driver);
}

DriverFamily FamilyOfDataSource(const std::string& dsn)
{
    char driver[512] = "";
    if (!dsn.empty())
        SQLGetPrivateProfileString(dsn.c_str(), "Driver", "", driver, sizeof driver, "odbc.ini");
    return FamilyOfDriver(driver);
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(const std::string& text, std::size_t begin, std::size_t end)
{
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    return text.substr(begin, end - begin);
}

// Calls attribute(KEYWORD, value, begin, end) for each keyword=value of a connection string,
// [begin, end) being the attribute's place in it. A braced value may hold ";" and "}}" stands
// for "}" in it; the value is handed over without its braces.
template <typename F> void ForEachAttribute(const std::string& text, F attribute)
{
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t equals = std::min(text.find('=', begin), text.size());
        std::size_t end = std::min(text.find(';', begin), text.size());
        std::string value;
        if (equals < end) {
            std::size_t v = equals + 1;
            while (v < text.size() && text[v] == ' ')
                ++v;
            if (v < text.size() && text[v] == '{') {
                for (++v; v < text.size(); ++v) {
                    if (text[v] == '}' && (v + 1 == text.size() || text[v + 1] != '}')) {
                        ++v;
                        break;
                    }
                    value += text[v];
                    v += text[v] == '}';
                }
                end = std::min(text.find(';', v), text.size());
            } else {
                value = Trimmed(text, v, end);
            }
        }
        attribute(Upper(Trimmed(text, begin, std::min(equals, end))), value, begin, end);
        begin = end + 1;
    }
}

// A connection string names its driver itself, or a data source that does.
DriverFamily FamilyOfConnectionString(const std::string& text)
{
    DriverFamily family = DriverFamily::Unknown;
    ForEachAttribute(text, [&family](const std::string& keyword, const std::string& value,
                                     std::size_t, std::size_t) {
        if (family == DriverFamily::Unknown && (keyword == "DRIVER" || keyword == "DSN"))
            family = keyword == "DRIVER" ? FamilyOfDriver(value) : FamilyOfDataSource(value);
    });
    return family;
}

// MariaDB Connector/ODBC streams a forward-only result with NO_CACHE=1 from 3.1.17 on; older
// versions take the option and still read every row into memory at once.
bool MariaDbHonoursNoCache(SQLHDBC hdbc)
{
    char version[32] = "";
    SQLSMALLINT length = 0;
    int major = 0, minor = 0, patch = 0;
    return Succeeded(SQLGetInfo(hdbc, SQL_DRIVER_VER, version, sizeof version, &length)) &&
           std::sscanf(version, "%d.%d.%d", &major, &minor, &patch) == 3 &&
           (major > 3 || (major == 3 && (minor > 1 || (minor == 1 && patch >= 17))));
}

// What makes each driver stream; given in the connection string, these override what the
// data source's entry says (a user's UseDeclareFetch=0 too): a table larger than memory must
// not end the program.
std::string StreamingAttributes(DriverFamily family)
{
    switch (family) {
    case DriverFamily::SQLite:
        return "StepAPI=1";
    case DriverFamily::PostgreSQL:
        return "UseDeclareFetch=1;Fetch=" + std::to_string(kPostgresFetchRows);
    case DriverFamily::MariaDB:
        return "NO_CACHE=1";
    case DriverFamily::Unknown:
        break;
    }
    return "";
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool HasBlankEnd(const char* text)
{
    const std::size_t length = std::strlen(text);
    return length > 0 && (IsBlank(text[0]) || IsBlank(text[length - 1]));
}

// keyword=value; a value that the connection string's grammar would cut or trim goes in braces,
// with a closing brace inside doubled. Appended in place, so that no copy of a password is left
// behind in freed memory.
void AppendAttribute(std::string& text, const char* keyword, const char* value)
{
    if (!text.empty())
        text += ';';
    text += keyword;
    text += '=';
    const bool braced = std::strpbrk(value, "[]{}(),;?*=!@") != nullptr || HasBlankEnd(value);
    if (braced)
        text += '{';
    for (const char* c = value; *c != '\0'; ++c) {
        text += *c;
        if (*c == '}')
            text += '}';
    }
    if (braced)
        text += '}';
}

// Logs on to the data source with the attributes that make its driver stream; user name and
// password go whole, and an empty one is left out, so that the data source's own entry applies
// as with SQLConnect.
SQLRETURN LogOn(SQLHDBC hdbc, const std::string& dsn, const char* user, const char* password,
                DriverFamily family)
{
    const bool connectionString = COdbcConnection::IsConnectionString(dsn);
    // MariaDB's driver trims blanks off the ends of every value of a connection string, braced
    // or not: such a name or password reaches the server whole only through SQLConnect.
    if (family == DriverFamily::MariaDB && !connectionString &&
        (HasBlankEnd(user) || HasBlankEnd(password))) {
        // Copies, because the driver manager wants writable buffers.
        std::string dsnCopy = dsn, userCopy = user, passwordCopy = password;
        const SQLRETURN r = SQLConnect(hdbc, reinterpret_cast<SQLCHAR*>(dsnCopy.data()), SQL_NTS,
                                       reinterpret_cast<SQLCHAR*>(userCopy.data()), SQL_NTS,
                                       reinterpret_cast<SQLCHAR*>(passwordCopy.data()), SQL_NTS);
        explicit_bzero(passwordCopy.data(), passwordCopy.size());
        return r;
    }
    const std::string streaming = StreamingAttributes(family);
    std::string text;
    // Room for every value with each character doubled, so that appending never moves the text
    // and leaves a copy of the password behind.
    text.reserve(32 + streaming.size() +
                 2 * (dsn.size() + std::strlen(user) + std::strlen(password)));
    if (connectionString)
        text.append(dsn, 0, dsn.find_last_not_of("; ") + 1);
    else
        AppendAttribute(text, "DSN", dsn.c_str());
    if (*user != '\0')
        AppendAttribute(text, "UID", user);
    if (*password != '\0')
        AppendAttribute(text, "PWD", password);
    if (!streaming.empty())
        text.append(";").append(streaming);
    const SQLRETURN r = SQLDriverConnect(hdbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                                         SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    explicit_bzero(text.data(), text.size());
    return r;
}

} // namespace

int COdbcConnection::Connect(const char* source, const char* user, const char* password)
{
    // A second Connect must not leak or keep alive the session of the first one.
    Disconnect();
    m_bStreams = false;

    SQLRETURN r = SQLAllocEnv(&m_henv);
    if (r != SQL_SUCCESS) {
        ReportError();
        return r;
    }
    r = SQLAllocConnect(m_henv, &m_hdbc);
    if (r != SQL_SUCCESS) {
        ReportError();
        return r;
    }
    SQLSetConnectOption(m_hdbc, SQL_LOGIN_TIMEOUT, 5);

    std::string dsn = source ? source : "";
    // A connection string may hold a password: no copy of it is left behind in freed memory.
    const std::unique_ptr<std::string, void (*)(std::string*)> wipe(
        &dsn, [](std::string* text) { explicit_bzero(text->data(), text->size()); });
    const char* const uid = user ? user : "";
    const char* const pwd = password ? password : "";
    // Only the text of a connection string carries the attributes that make a driver stream.
    const bool viaString = IsConnectionString(dsn) || (!HasBlankEnd(uid) && !HasBlankEnd(pwd));
    DriverFamily family =
        IsConnectionString(dsn) ? FamilyOfConnectionString(dsn) : FamilyOfDataSource(dsn);
    r = LogOn(m_hdbc, dsn, uid, pwd, family);
    if (Succeeded(r) && family == DriverFamily::Unknown) {
        // The data source's entry did not tell the driver; the driver itself does. Logged on
        // again only where its attributes change what it does.
        char name[256] = "";
        SQLSMALLINT length = 0;
        if (Succeeded(SQLGetInfo(m_hdbc, SQL_DRIVER_NAME, name, sizeof name, &length)))
            family = FamilyOfLibrary(name);
        const bool again = family == DriverFamily::MariaDB
                               ? MariaDbHonoursNoCache(m_hdbc) && viaString
                               : family != DriverFamily::Unknown;
        if (again) {
            SQLDisconnect(m_hdbc);
            r = LogOn(m_hdbc, dsn, uid, pwd, family);
        } else {
            family = DriverFamily::Unknown;
        }
    }
    if (!Succeeded(r)) {
        ReportError();
        return r;
    }
    m_bStreams = family == DriverFamily::SQLite || family == DriverFamily::PostgreSQL ||
                 (family == DriverFamily::MariaDB && MariaDbHonoursNoCache(m_hdbc) && viaString);
    std::lock_guard<std::mutex> lock(m_handleMutex);
    return SQLAllocStmt(m_hdbc, &m_hstmt);
}

std::string COdbcConnection::WithoutPassword(const std::string& source)
{
    if (!IsConnectionString(source))
        return source;
    std::string kept;
    ForEachAttribute(source, [&](const std::string& keyword, const std::string&, std::size_t begin,
                                 std::size_t end) {
        if (keyword != "PWD" && keyword != "PASSWORD")
            kept.append(kept.empty() ? "" : ";").append(source, begin, end - begin);
    });
    return kept;
}

std::vector<std::pair<std::string, std::string>> COdbcConnection::DataSources()
{
    std::vector<std::pair<std::string, std::string>> sources;
    SQLHENV henv = SQL_NULL_HENV;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &henv)))
        return sources;
    SQLSetEnvAttr(henv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    for (SQLUSMALLINT first : {SQL_FETCH_FIRST_USER, SQL_FETCH_FIRST_SYSTEM}) {
        SQLCHAR name[SQL_MAX_DSN_LENGTH + 1], description[512];
        SQLSMALLINT nameLength = 0, descriptionLength = 0;
        for (SQLUSMALLINT direction = first;
             Succeeded(SQLDataSources(henv, direction, name, sizeof name, &nameLength, description,
                                      sizeof description, &descriptionLength));
             direction = SQL_FETCH_NEXT) {
            const std::string dsn = reinterpret_cast<char*>(name);
            // A user's data source hides a system one of the same name.
            if (std::none_of(sources.begin(), sources.end(),
                             [&dsn](const auto& source) { return source.first == dsn; }))
                sources.emplace_back(dsn, reinterpret_cast<char*>(description));
        }
    }
    SQLFreeHandle(SQL_HANDLE_ENV, henv);
    return sources;
}

void COdbcConnection::Disconnect()
{
    m_bIdentifierInfo = false;
    m_nGetDataAnyColumn = -1;
    ForgetResultSet();
    if (m_hstmt != SQL_NULL_HSTMT) {
        std::lock_guard<std::mutex> lock(m_handleMutex);
        SQLFreeStmt(m_hstmt, SQL_DROP);
        m_hstmt = SQL_NULL_HSTMT;
    }
    if (m_hdbc != SQL_NULL_HDBC) {
        SQLDisconnect(m_hdbc);
        SQLFreeConnect(m_hdbc);
        m_hdbc = SQL_NULL_HDBC;
    }
    if (m_henv != SQL_NULL_HENV) {
        SQLFreeEnv(m_henv);
        m_henv = SQL_NULL_HENV;
    }
}

void COdbcConnection::GetErrorText(std::string& text)
{
    SQLCHAR state[511];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN r = SQLError(m_henv, m_hdbc, m_hstmt, state, &native,
                           reinterpret_cast<SQLCHAR*>(m_szErrorMsg), sizeof m_szErrorMsg, &length);
    // Without a diagnostic record the old text would describe an earlier failure.
    if (!Succeeded(r))
        m_szErrorMsg[0] = '\0';
    m_szErrorMsg[sizeof m_szErrorMsg - 1] = '\0';
    text = m_szErrorMsg;
}

void COdbcConnection::ReportError()
{
    if (m_bQuiet)
        return;
    std::string message;
    GetErrorText(message);
    if (message.empty())
        return;
    bool quit = m_question && m_question("SQL Fehlermeldung",
                                         message + "'\n\nSoll das Programm beendet werden ?");
    if (quit)
        std::exit(0);
}

int COdbcConnection::ExecDirect(const char* statement)
{
    if (m_hstmt != SQL_NULL_HSTMT)
        ResetStatement();
    m_strSql = statement ? statement : "";
    SQLRETURN r = SQLExecDirect(m_hstmt, reinterpret_cast<SQLCHAR*>(m_strSql.data()), SQL_NTS);
    if (!Succeeded(r) && !m_bQuiet)
        ReportError();
    return r;
}

void COdbcConnection::ResetStatement()
{
    if (m_hstmt == SQL_NULL_HSTMT)
        return;
    std::lock_guard<std::mutex> lock(m_handleMutex);
    SQLFreeStmt(m_hstmt, SQL_DROP);
    m_hstmt = SQL_NULL_HSTMT;
    ForgetResultSet();
    SQLAllocStmt(m_hdbc, &m_hstmt);
}

void COdbcConnection::Cancel()
{
    std::lock_guard<std::mutex> lock(m_handleMutex);
    if (m_hstmt != SQL_NULL_HSTMT)
        SQLCancel(m_hstmt);
    if (m_hCatalogStmt != SQL_NULL_HSTMT)
        SQLCancel(m_hCatalogStmt);
}

void COdbcConnection::ForgetResultSet()
{
    ClearValues();
    m_kinds.clear();
    m_sqlTypes.clear();
    m_padded.clear();
    // The bindings went with the statement handle they were made on.
    m_binding = Binding::Undecided;
    m_bound.clear();
    m_boundData.clear();
}

int COdbcConnection::GetColumnCount()
{
    char buffer[256];
    SQLSMALLINT length = 0;
    SQLLEN count = 0;
    SQLRETURN r =
        SQLColAttributes(m_hstmt, 0, SQL_COLUMN_COUNT, buffer, sizeof buffer, &length, &count);
    // Some drivers (MariaDB's) answer this ODBC 2 question with success and a count of 0.
    if (!Succeeded(r) || count == 0) {
        SQLSMALLINT columns = 0;
        if (Succeeded(SQLNumResultCols(m_hstmt, &columns)))
            count = columns;
    }
    return static_cast<int>(count);
}

void COdbcConnection::RememberKind(int column, SQLSMALLINT sqlType)
{
    if (column < 1)
        return;
    if (m_kinds.size() <= static_cast<std::size_t>(column)) {
        m_kinds.resize(column + 1, 0);
        m_sqlTypes.resize(column + 1, 0);
    }
    m_kinds[column] = static_cast<signed char>(KindOfSqlType(sqlType));
    m_sqlTypes[column] = sqlType;
}

std::string COdbcConnection::GetColumnName(int column, bool trimmed)
{
    SQLCHAR name[kNameBufferSize] = {0};
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLRETURN r = SQLDescribeCol(m_hstmt, column, name, kNameBufferSize, &nameLength, &sqlType,
                                 &size, &digits, &nullable);
    if (Succeeded(r))
        RememberKind(column, sqlType);
    std::string text(reinterpret_cast<char*>(name));
    if (trimmed)
        TrimRight(text);
    return text;
}

int COdbcConnection::GetColumnSqlType(int column)
{
    GetColumnType(column);
    return column > 0 && static_cast<std::size_t>(column) < m_sqlTypes.size() ? m_sqlTypes[column]
                                                                              : SQL_UNKNOWN_TYPE;
}

int COdbcConnection::GetColumnType(int column)
{
    if (column > 0 && static_cast<std::size_t>(column) < m_kinds.size() && m_kinds[column] != 0)
        return m_kinds[column];
    SQLCHAR name[kNameBufferSize];
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLRETURN r = SQLDescribeCol(m_hstmt, column, name, kNameBufferSize, &nameLength, &sqlType,
                                 &size, &digits, &nullable);
    if (!Succeeded(r)) {
        if (!m_bQuiet)
            ReportError();
        // Not remembered: a later call may describe the column successfully.
        return KindOfSqlType(sqlType);
    }
    RememberKind(column, sqlType);
    return KindOfSqlType(sqlType);
}

bool COdbcConnection::ReadsAsText(int kind, int sqlType)
{
    return kind != KindDefault && !(m_bExactValues && IsBinarySqlType(sqlType)) &&
           ((kind != KindFloat && kind != KindDouble) || DoubleText());
}

void COdbcConnection::BindColumns()
{
    m_binding = Binding::None;
    if (m_nGetDataAnyColumn < 0) {
        // A long value is read again with SQLGetData after the fetch cut it, which ODBC allows
        // on a bound column, and in any order, only where the driver says so.
        SQLUINTEGER extensions = 0;
        const SQLUINTEGER needed = SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND;
        m_nGetDataAnyColumn = Succeeded(SQLGetInfo(m_hdbc, SQL_GETDATA_EXTENSIONS, &extensions,
                                                   sizeof extensions, nullptr)) &&
                              (extensions & needed) == needed;
    }
    if (!m_nGetDataAnyColumn)
        return;
    const int columns = GetColumnCount();
    if (columns <= 0)
        return;
    m_bound.assign(static_cast<std::size_t>(columns) + 1, CBoundColumn());
    std::size_t total = 0;
    for (int c = 1; c <= columns; ++c) {
        const int kind = GetColumnType(c);
        const int sqlType = GetColumnSqlType(c);
        if (!ReadsAsText(kind, sqlType)) {
            // A double the driver gives in full only as a double (see ReadValue) is bound as one.
            if (kind != KindFloat && kind != KindDouble)
                continue;
            total = (total + sizeof(double) - 1) / sizeof(double) * sizeof(double);
            m_bound[c].cType = SQL_C_DOUBLE;
            m_bound[c].size = sizeof(double);
        } else {
            // The sizes of the first piece ReadWhole reads: a number's text is short, and the
            // SQLite driver pads a character buffer with zeros to its end.
            m_bound[c].size = kind == KindChar ? kFirstPieceSize : kNumberPieceSize;
        }
        m_bound[c].offset = total;
        total += static_cast<std::size_t>(m_bound[c].size);
    }
    if (total == 0)
        return;
    m_boundData.assign(total, '\0');
    for (int c = 1; c <= columns; ++c) {
        CBoundColumn& bound = m_bound[c];
        if (bound.size == 0)
            continue;
        if (!Succeeded(SQLBindCol(m_hstmt, static_cast<SQLUSMALLINT>(c), bound.cType,
                                  m_boundData.data() + bound.offset, bound.size,
                                  &bound.indicator))) {
            // Every value is then read with SQLGetData, as without binding.
            SQLFreeStmt(m_hstmt, SQL_UNBIND);
            m_bound.clear();
            m_boundData.clear();
            return;
        }
    }
    m_binding = Binding::Bound;
}

int COdbcConnection::Fetch()
{
    ClearValues();
    if (m_binding == Binding::Undecided && m_hstmt != SQL_NULL_HSTMT)
        BindColumns();
    SQLRETURN r = SQLFetch(m_hstmt);
    // A value longer than its bound buffer is read whole when asked for; the row is fine.
    if (r == SQL_SUCCESS_WITH_INFO && m_binding == Binding::Bound && OnlyTruncated(m_hstmt))
        r = SQL_SUCCESS;
    if (!Succeeded(r) && !m_bQuiet)
        ReportError();
    return r;
}

std::string COdbcConnection::GetColumnText(int column)
{
    return GetColumnValue(column).m_strText;
}

const CColumnValue& COdbcConnection::GetColumnValue(int column)
{
    return Value(column, 0, false);
}

const CColumnValue& COdbcConnection::GetColumnValue(int column, int kind)
{
    return Value(column, kind, true);
}

const CColumnValue& COdbcConnection::Value(int column, int kind, bool asked)
{
    // A result set has at most 32767 columns (SQLNumResultCols counts in a SQLSMALLINT).
    const bool kept = column > 0 && column <= 32767;
    const auto slot = static_cast<std::size_t>(kept ? column : 0);
    if (slot >= m_values.size()) {
        m_values.resize(slot + 1);
        m_stamps.resize(slot + 1, 0);
    }
    CColumnValue& value = m_values[slot];
    if (kept && m_stamps[slot] == m_nRow)
        return value;
    m_stamps[slot] = kept ? m_nRow : 0;
    value.m_nColumn = column;
    value.m_bNull = false;
    value.m_bBinary = false;
    value.m_bText = false;
    value.m_strText.clear();
    value.m_strRaw.clear();
    // Described also when another kind is asked for: the SQL type decides the trimming.
    const int own = GetColumnType(column);
    ReadValue(value, asked ? kind : own,
              slot < m_sqlTypes.size() && kept ? m_sqlTypes[slot] : SQL_UNKNOWN_TYPE, asked);
    return value;
}

SQLRETURN COdbcConnection::ReadWhole(SQLHSTMT hstmt, int column, SQLSMALLINT cType,
                                     std::string& out, bool& isNull, SQLLEN firstPiece)
{
    // firstPiece is the buffer size of the first SQLGetData: small while the length is unknown,
    // the whole value's where the fetch of a bound column told it.
    // Character pieces end with a terminating zero, binary pieces fill the buffer.
    const SQLLEN terminator = cType == SQL_C_CHAR ? 1 : 0;
    SQLLEN size = std::max<SQLLEN>(firstPiece, terminator + 1);
    SQLLEN indicator = 0;
    SQLRETURN r = SQL_ERROR;
    const auto readOnto = [&](SQLLEN bufferSize) {
        const std::size_t start = out.size();
        size = bufferSize;
        out.resize(start + static_cast<std::size_t>(size));
        indicator = 0;
        r = SQLGetData(hstmt, column, cType, out.data() + start, size, &indicator);
        const SQLLEN got = Succeeded(r) ? PieceBytes(indicator, size - terminator) : 0;
        out.resize(start + static_cast<std::size_t>(got));
    };
    if (size <= kFirstPieceSize) {
        // Most values are short, and a driver may write the whole buffer it is given (the SQLite
        // driver pads character data with zeros to its end): the first piece goes into a small
        // buffer.
        char first[kFirstPieceSize];
        r = SQLGetData(hstmt, column, cType, first, size, &indicator);
        if (Succeeded(r) && indicator != SQL_NULL_DATA)
            out.append(first, static_cast<std::size_t>(PieceBytes(indicator, size - terminator)));
    } else {
        // A long value whose length is known comes in one piece: psqlODBC converts a value
        // that does not fit into a copy of its own, to hand out the pieces from.
        readOnto(size);
    }
    isNull = Succeeded(r) && indicator == SQL_NULL_DATA;
    if (!Succeeded(r) || isNull)
        return r;
    SQLLEN grown = kGrowingPieceSize;
    while (r == SQL_SUCCESS_WITH_INFO && WasTruncated(hstmt)) {
        // The length a driver reports counts from the start of the piece just read. Where it
        // is known, the rest comes in one call: small pieces cost a copy each, and the SQLite
        // driver copies the value from its start again for every piece. Otherwise the pieces
        // double, so that their number grows with the logarithm of the length.
        const SQLLEN delivered = size - terminator;
        SQLLEN piece = grown;
        if (indicator != SQL_NO_TOTAL && indicator > delivered)
            piece = indicator - delivered;
        else
            grown = std::min(2 * grown, kLargestGrowingPiece);
        readOnto(piece + terminator);
        if (r == SQL_NO_DATA)
            return SQL_SUCCESS;
        if (!Succeeded(r))
            return r;
    }
    return SQL_SUCCESS;
}

void COdbcConnection::ReadValue(CColumnValue& value, int kind, int sqlType, bool asked)
{
    std::string& text = value.m_strText;
    bool isNull = false;
    SQLRETURN r;
    // A kind asked for is read so whatever the column's type.
    if (kind == KindDefault || kind == KindBinary ||
        (!asked && m_bExactValues && IsBinarySqlType(sqlType))) {
        r = ReadWhole(m_hstmt, value.m_nColumn, kind == KindDefault ? SQL_C_DEFAULT : SQL_C_BINARY,
                      value.m_strRaw, isNull);
        value.m_bBinary = true;
        // A script takes the bytes alone; the text up to the first zero byte is for showing,
        // and of a long value without one it would be a second copy.
        if (!m_bExactValues)
            text.assign(value.m_strRaw.c_str());
    } else if ((kind == KindFloat || kind == KindDouble) && !DoubleText()) {
        // Other drivers give a double in full only as a double: the text of a MariaDB FLOAT has
        // six digits.
        double number = 0;
        SQLLEN indicator = 0;
        const CBoundColumn* bound = BoundAs(value.m_nColumn, SQL_C_DOUBLE);
        if (bound) {
            indicator = bound->indicator;
            std::memcpy(&number, m_boundData.data() + bound->offset, sizeof number);
            r = SQL_SUCCESS;
        } else {
            r = SQLGetData(m_hstmt, value.m_nColumn, SQL_C_DOUBLE, &number, 0, &indicator);
        }
        isNull = indicator == SQL_NULL_DATA;
        if (Succeeded(r) && !isNull)
            AppendDouble(text, number);
    } else {
        // Integers are read as the driver's text: it holds every digit of a 64-bit integer, and
        // it shows a value that is no number at all, which SQLite keeps in any column and a
        // numeric read would turn into 0, NULL or a cut number. SQLite's driver hands out a
        // double as the same 15-digit text either way; PostgreSQL's driver receives every value
        // as the server's text (with extra_float_digits set, every digit) and makes its double
        // from that text, so reading the text directly gives the same double at less cost.
        // A number's text is short: a small first piece spares the driver padding 512 bytes.
        const bool numeric = kind != KindChar;
        const CBoundColumn* bound = BoundAs(value.m_nColumn, SQL_C_CHAR);
        if (bound && bound->indicator == SQL_NULL_DATA) {
            isNull = true;
            r = SQL_SUCCESS;
        } else if (bound && bound->indicator >= 0 && bound->indicator < bound->size) {
            text.assign(m_boundData.data() + bound->offset,
                        static_cast<std::size_t>(bound->indicator));
            r = SQL_SUCCESS;
        } else {
            // Not bound, or cut by its buffer: SQLGetData starts a bound column from its first
            // byte again, and the fetch told the value's length.
            SQLLEN firstPiece = numeric ? kNumberPieceSize : kFirstPieceSize;
            if (bound && bound->indicator >= bound->size)
                firstPiece = bound->indicator + 1;
            r = ReadWhole(m_hstmt, value.m_nColumn, SQL_C_CHAR, text, isNull, firstPiece);
        }
        double number = 0;
        if (Succeeded(r) && !isNull) {
            if (kind == KindLong || kind == KindShort) {
                value.m_bText = !IsInteger(text);
            } else if (kind == KindFloat || kind == KindDouble) {
                value.m_bText = !ParseDouble(text, number);
                if (!value.m_bText) {
                    text.clear();
                    AppendDouble(text, number);
                }
            }
        }
        // Shown text ends at the first zero byte, as a C string would; a script keeps the bytes
        // after it (MariaDB text may hold one). A number has none.
        if (!m_bExactValues && (!numeric || value.m_bText)) {
            const std::size_t zero = text.find('\0');
            if (zero != std::string::npos)
                text.resize(zero);
        }
    }
    value.m_bNull = Succeeded(r) && isNull;
    if (!Succeeded(r) && !m_bQuiet)
        ReportError();
    if (value.m_bNull)
        text.assign("NULL");
    else if (!m_bExactValues)
        TrimRight(text);
    else if ((sqlType == SQL_CHAR || sqlType == SQL_WCHAR) && IsBlankPadded(value.m_nColumn))
        TrimBlanks(text);
}

const COdbcConnection::CBoundColumn* COdbcConnection::BoundAs(int column, SQLSMALLINT cType) const
{
    const auto at = static_cast<std::size_t>(column);
    return m_binding == Binding::Bound && column > 0 && at < m_bound.size() &&
                   m_bound[at].size > 0 && m_bound[at].cType == cType
               ? &m_bound[at]
               : nullptr;
}

bool COdbcConnection::IsBlankPadded(int column)
{
    if (column < 1)
        return false;
    if (m_padded.size() <= static_cast<std::size_t>(column))
        m_padded.resize(static_cast<std::size_t>(column) + 1, 0);
    signed char& padded = m_padded[static_cast<std::size_t>(column)];
    if (padded == 0) {
        // PostgreSQL's one-byte "char" is not padded: a blank there is the value itself. Its
        // driver names it like character(1), which loads the same either way. (SQLite keeps
        // every text as stored; its driver describes a CHAR column as VARCHAR.)
        SQLLEN size = 0;
        const bool onebyte =
            GetDbmsName() == "PostgreSQL" &&
            Succeeded(SQLColAttribute(m_hstmt, static_cast<SQLUSMALLINT>(column), SQL_DESC_LENGTH,
                                      nullptr, 0, nullptr, &size)) &&
            size <= 1;
        padded = onebyte ? -1 : 1;
    }
    return padded > 0;
}

bool COdbcConnection::GetTableNames(std::list<std::string>& names, std::list<std::string>* schemas,
                                    std::list<std::string>* catalogs)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    {
        std::lock_guard<std::mutex> lock(m_handleMutex);
        if (SQLAllocHandle(SQL_HANDLE_STMT, m_hdbc, &hstmt) != SQL_SUCCESS)
            return false;
        m_hCatalogStmt = hstmt;
    }
    SQLCHAR type[] = "'TABLE'";
    // Where statements name catalogs (MariaDB's databases), the list holds the current one's
    // tables: those of the system's and the user's other databases are not what was chosen,
    // and a namesake there could not be told apart. Without a current one, every catalog.
    SQLUINTEGER usage = 0;
    char current[256] = {0};
    SQLSMALLINT currentLength = 0;
    const bool oneCatalog =
        Succeeded(SQLGetInfo(m_hdbc, SQL_CATALOG_USAGE, &usage, sizeof usage, nullptr)) &&
        (usage & SQL_CU_DML_STATEMENTS) &&
        Succeeded(SQLGetInfo(m_hdbc, SQL_DATABASE_NAME, current, sizeof current, &currentLength)) &&
        current[0] != '\0';
    // Listing every catalog, the server's own are left out: they hold no user's data.
    const bool mysql = GetDbmsName() == "MariaDB" || GetDbmsName() == "MySQL";
    const auto isSystem = [mysql](const std::string& catalog) {
        return mysql && (catalog == "information_schema" || catalog == "performance_schema" ||
                         catalog == "mysql" || catalog == "sys");
    };
    SQLRETURN r = SQLTables(hstmt, oneCatalog ? reinterpret_cast<SQLCHAR*>(current) : nullptr,
                            oneCatalog ? SQL_NTS : 0, nullptr, 0, nullptr, SQL_NTS, type, 7);
    if (r == SQL_SUCCESS) {
        for (;;) {
            r = SQLFetch(hstmt);
            if (!Succeeded(r))
                break;
            // Read whole rather than into a fixed buffer: a cut name would name no table.
            std::string catalog, schema, name;
            bool isNull = false;
            SQLRETURN g = ReadWhole(hstmt, 1, SQL_C_CHAR, catalog, isNull);
            if (Succeeded(g))
                g = ReadWhole(hstmt, 2, SQL_C_CHAR, schema, isNull);
            if (Succeeded(g))
                g = ReadWhole(hstmt, 3, SQL_C_CHAR, name, isNull);
            if (!Succeeded(g)) {
                r = g;
                break;
            }
            if (isSystem(catalog))
                continue;
            names.push_back(std::move(name));
            if (schemas)
                schemas->push_back(std::move(schema));
            if (catalogs)
                catalogs->push_back(std::move(catalog));
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_handleMutex);
        SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
        m_hCatalogStmt = SQL_NULL_HSTMT;
    }
    return r == SQL_NO_DATA;
}

void COdbcConnection::ReadIdentifierInfo()
{
    if (m_bIdentifierInfo || m_hdbc == SQL_NULL_HDBC)
        return;
    m_bIdentifierInfo = true;
    char quote[8] = {0};
    SQLSMALLINT length = 0;
    // Without an answer the standard's double quote is the best guess.
    m_strIdentifierQuote = "\"";
    if (Succeeded(SQLGetInfo(m_hdbc, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &length)))
        m_strIdentifierQuote = quote;
    // A blank means the data source has no way to quote.
    if (m_strIdentifierQuote == " ")
        m_strIdentifierQuote.clear();
    m_keywords.clear();
    AddKeywords(m_keywords, SQL_ODBC_KEYWORDS);
    // unixODBC's list lacks the comma between these two.
    if (m_keywords.erase("ROWSSCHEMA"))
        m_keywords.insert({"ROWS", "SCHEMA"});
    // The driver's own list can be long; ask for its length first.
    SQLSMALLINT needed = 0;
    char probe[1];
    if (Succeeded(SQLGetInfo(m_hdbc, SQL_KEYWORDS, probe, sizeof probe, &needed)) && needed > 0) {
        std::string list(static_cast<std::size_t>(needed) + 1, '\0');
        if (Succeeded(SQLGetInfo(m_hdbc, SQL_KEYWORDS, list.data(),
                                 static_cast<SQLSMALLINT>(list.size()), &needed)))
            AddKeywords(m_keywords, list.c_str());
    }
    char dbms[128] = {0};
    m_strDbmsName.clear();
    if (Succeeded(SQLGetInfo(m_hdbc, SQL_DBMS_NAME, dbms, sizeof dbms, &length)))
        m_strDbmsName = dbms;
    // The drivers list only some of the words their engine refuses as a table name.
    const ReservedWords reserved = ReservedWordsOf(m_strDbmsName);
    m_reserved.clear();
    AddKeywords(m_reserved, reserved.words);
    m_bReservedAfterQualifier = reserved.afterQualifier;
    m_bDoubleText = m_strDbmsName == "SQLite" || m_strDbmsName == "PostgreSQL";
    SQLUSMALLINT identifierCase = 0;
    if (Succeeded(SQLGetInfo(m_hdbc, SQL_IDENTIFIER_CASE, &identifierCase, sizeof identifierCase,
                             nullptr)))
        m_nIdentifierCase = identifierCase;
}

const std::string& COdbcConnection::GetIdentifierQuote()
{
    ReadIdentifierInfo();
    return m_strIdentifierQuote;
}

int COdbcConnection::GetIdentifierCase()
{
    ReadIdentifierInfo();
    return m_nIdentifierCase;
}

bool COdbcConnection::IsKeyword(const std::string& name, bool afterQualifier)
{
    ReadIdentifierInfo();
    std::string upper = name;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return m_keywords.count(upper) != 0 ||
           ((!afterQualifier || m_bReservedAfterQualifier) && m_reserved.count(upper) != 0);
}

std::string COdbcConnection::CatalogToQualify(const std::string& catalog)
{
    if (catalog.empty() || m_hdbc == SQL_NULL_HDBC)
        return "";
    SQLUINTEGER usage = 0;
    if (!Succeeded(SQLGetInfo(m_hdbc, SQL_CATALOG_USAGE, &usage, sizeof usage, nullptr)) ||
        !(usage & SQL_CU_DML_STATEMENTS))
        return "";
    // Asked each time: a statement of the user's may have changed the current catalog.
    char current[256] = {0};
    SQLSMALLINT length = 0;
    if (Succeeded(SQLGetInfo(m_hdbc, SQL_DATABASE_NAME, current, sizeof current, &length)) &&
        catalog == current)
        return "";
    return catalog;
}

const std::string& COdbcConnection::GetDbmsName()
{
    ReadIdentifierInfo();
    return m_strDbmsName;
}

int COdbcConnection::ExecAside(const char* statement)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    if (m_hdbc == SQL_NULL_HDBC || SQLAllocHandle(SQL_HANDLE_STMT, m_hdbc, &hstmt) != SQL_SUCCESS)
        return SQL_INVALID_HANDLE;
    std::string text = statement ? statement : "";
    const SQLRETURN r = SQLExecDirect(hstmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
    return r;
}
