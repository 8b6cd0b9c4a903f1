// The export script: one INSERT statement per row of every selected table, into the Information
// window and the log, or into a script file.

#include "main/ViewerDlg.h"
#include "tools/ExportSession.h"
#include "tools/ExportValue.h"
#include "tools/KeyedPages.h"
#include "tools/TablesDlg.h"

#include <algorithm>
#include <functional>

namespace {

enum class TableEnd
{
    Done,
    Failed,
    Stopped,
    // The receiver of the statements took no more (a file that cannot be written); it has
    // reported why itself.
    Refused
};

bool Succeeded(int r)
{
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}

// A column as the table's catalog describes it.
struct CCatalogColumn
{
    std::string name;
    // Computed by the database, which takes no value for it: neither read nor written.
    bool generated = false;
    // PostgreSQL's GENERATED ALWAYS AS IDENTITY takes a value only with Overriding System Value.
    bool alwaysIdentity = false;
    // MariaDB leaves an INVISIBLE column out of "Select *" and of an insert without a column list.
    bool invisible = false;
    // SQLite: the column's affinity makes a quoted number the same number again.
    bool numericAffinity = false;
    // SQLite: the storage class most of the column's values are expected to have: 'r' a number,
    // 't' text, 'b' bytes.
    char usual = 't';
};

// What the catalog tells of a table; known is false where it could not be asked.
struct CTableShape
{
    bool known = false;
    std::vector<CCatalogColumn> columns;
    // PostgreSQL: other tables (inheritance children, partitions) whose rows its select includes.
    bool hasChildren = false;
};

std::string TextLiteral(const std::string& text, ScriptDialect dialect)
{
    CColumnValue value;
    value.m_strText = text;
    std::string literal;
    AppendExportValue(literal, COdbcConnection::KindChar, value, dialect);
    return literal;
}

bool Contains(const std::string& text, const char* word)
{
    return text.find(word) != std::string::npos;
}

// SQLite's rules for a column's affinity by its declared type. Under INTEGER, REAL and NUMERIC
// affinity a number written as text is stored as the number; ANY in a STRICT table keeps it text.
bool NumericAffinity(std::string type)
{
    for (char& c : type)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (Contains(type, "INT"))
        return true;
    return !type.empty() && type != "ANY" && !Contains(type, "CHAR") && !Contains(type, "CLOB") &&
           !Contains(type, "TEXT") && !Contains(type, "BLOB");
}

// The storage class a column's values usually have, by its declared type: only a guess that
// spares most rows their class letters, never what decides a value's literal. Dates and times
// are mostly kept as text, though their affinity is numeric.
char UsualStorageClass(std::string type)
{
    for (char& c : type)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (Contains(type, "BLOB") || Contains(type, "BIN"))
        return 'b';
    if (!NumericAffinity(type) || Contains(type, "DATE") || Contains(type, "TIME"))
        return 't';
    return 'r';
}

// One catalog query: the table's columns in their order, what each takes, and (PostgreSQL)
// whether other tables hand their rows to its select.
CTableShape ReadShape(CViewerDlg& main, ScriptDialect dialect, const std::string& table,
                      const std::string& catalog, const std::string& schema,
                      const std::string& name)
{
    CTableShape shape;
    std::string query;
    if (dialect == ScriptDialect::SQLite)
        query = "Select name, type, hidden From pragma_table_xinfo(" + TextLiteral(name, dialect) +
                (schema.empty() ? "" : ", " + TextLiteral(schema, dialect)) + ")";
    else if (dialect == ScriptDialect::PostgreSQL)
        // A table without columns gives one row of NULLs.
        query = "Select a.attname, a.attgenerated, a.attidentity, Exists (Select 1 From "
                "pg_inherits i Where i.inhparent = c.oid)::int From pg_class c Left Join "
                "pg_attribute a On a.attrelid = c.oid And a.attnum > 0 And Not a.attisdropped "
                "Where c.oid = " +
                TextLiteral(table, dialect) + "::regclass Order By a.attnum";
    else if (dialect == ScriptDialect::MySQL)
        query = "Select COLUMN_NAME, EXTRA From information_schema.COLUMNS Where TABLE_SCHEMA = " +
                (catalog.empty() ? "Database()" : TextLiteral(catalog, dialect)) +
                " And TABLE_NAME = " + TextLiteral(name, dialect) + " Order By ORDINAL_POSITION";
    else
        return shape;
    int ret = 0;
    if (!main.ExecuteStatement(query, &ret))
        return shape;
    COdbcConnection& connection = main.Connection();
    while (Succeeded(ret = connection.Fetch())) {
        const CColumnValue& first = connection.GetColumnValue(1);
        if (dialect == ScriptDialect::PostgreSQL)
            shape.hasChildren = connection.GetColumnText(4) == "1";
        if (first.m_bNull)
            continue;
        CCatalogColumn column;
        column.name = first.m_strText;
        const std::string second = connection.GetColumnText(2);
        if (dialect == ScriptDialect::SQLite) {
            // Hidden 2 and 3 are generated columns, 1 the hidden ones of a virtual table, which
            // "Select *" leaves out and the table fills itself.
            const std::string hidden = connection.GetColumnText(3);
            if (hidden == "1")
                continue;
            column.generated = hidden != "0";
            column.numericAffinity = NumericAffinity(second);
            column.usual = UsualStorageClass(second);
        } else if (dialect == ScriptDialect::PostgreSQL) {
            column.generated = !second.empty();
            column.alwaysIdentity = connection.GetColumnText(3) == "a";
        } else {
            // Not DEFAULT_GENERATED: a column whose default is an expression takes values.
            column.generated = Contains(second, "VIRTUAL") || Contains(second, "STORED") ||
                               Contains(second, "PERSISTENT");
            column.invisible = Contains(second, "INVISIBLE");
        }
        shape.columns.push_back(std::move(column));
    }
    shape.known =
        ret == SQL_NO_DATA && (dialect == ScriptDialect::PostgreSQL || !shape.columns.empty());
    return shape;
}

// A table's export: what is read, and how each row becomes a statement.
struct CTablePlan
{
    std::string select = "Select *";
    // The rows that the export writes through other tables, left out here; "" for none.
    std::string where;
    // The statement up to its first value; the whole statement where no column takes a value.
    std::string insert;
    bool noValues = false;
    // SQLite keeps a storage class per value, whatever the column says: the first column holds
    // the first letter of each value's typeof(), and numericAffinity tells per value column
    // whether a number keeps the literal of the column's kind.
    bool storageClasses = false;
    std::vector<bool> numericAffinity;
    // The letters that stand for the first column where it is NULL: every value of the row is
    // NULL or of its column's usual class.
    std::string usualClasses;
};

bool IsBinarySqlType(int sqlType)
{
    return sqlType == SQL_BINARY || sqlType == SQL_VARBINARY || sqlType == SQL_LONGVARBINARY;
}

// Whether a number in a column of the result set keeps the literal of the column's kind (SQLite):
// its affinity turns the quoted number back into the same number.
bool NumberKeepsKind(COdbcConnection& connection, int column, bool numericAffinity)
{
    return numericAffinity && connection.GetColumnType(column) != COdbcConnection::KindDefault &&
           !IsBinarySqlType(connection.GetColumnSqlType(column));
}

// The condition under which a value's class letter is needed: it is not of its column's usual
// class. 'r' (numbers, which the export writes alike whether integer or real where the number
// keeps its kind), 't' and 'b' are told apart by where they sort: numbers before every text,
// text before every blob, '' and x'' the least of each. NULL is of every class; its comparison
// is NULL, which the Case takes as false. A comparison costs SQLite less than typeof(), and the
// conditions joined by Or stop at the first value that needs the letters. The unary plus takes
// the column's affinity off the comparison, which would otherwise try to make a number of '' in
// every row, and Collate Binary keeps a column's own collation out of it.
std::string UnusualClassCondition(const std::string& quoted, char usual)
{
    const std::string value = "+" + quoted;
    if (usual == 'r')
        return value + " >= '' Collate Binary";
    if (usual == 'b')
        return value + " < x''";
    return value + " < '' Collate Binary Or " + value + " >= x''";
}

// Plans the select list and the insert's column list of tables[t] (every table of the export,
// as statements name them). Every row must load back into an empty copy as it was: generated
// columns are neither read nor written, invisible ones read by name, an identity the server
// fills itself overridden, and a PostgreSQL parent leaves the rows of the export's other tables
// (its children) to them. A table that needs none of it keeps "Select *" (on SQLite its columns
// beside their storage classes) and an insert without a column list.
bool PlanTable(CViewerDlg& main, ScriptDialect dialect, const std::vector<std::string>& tables,
               std::size_t t, const CTableShape& shape, CTablePlan& plan)
{
    const std::string& table = tables[t];
    COdbcConnection& connection = main.Connection();
    const std::string& quote = connection.GetIdentifierQuote();
    std::string list, selected;
    std::vector<std::string> quotedNames;
    std::string usuals;
    bool listed = false, overriding = false;
    for (const CCatalogColumn& column : shape.columns) {
        listed = listed || column.generated || column.invisible || column.alwaysIdentity;
        if (column.generated)
            continue;
        overriding = overriding || column.alwaysIdentity;
        const std::string quoted = QuoteIdentifier(column.name, quote);
        list += (list.empty() ? "" : ", ") + main.QuoteTableName(column.name);
        selected += (selected.empty() ? "" : ", ") + quoted;
        quotedNames.push_back(quoted);
        usuals += column.usual;
        plan.numericAffinity.push_back(column.numericAffinity);
    }
    // Every table of the export is named, not only this one's children: a child's own children
    // are rows of this table too, and a table's oid is all the select compares.
    for (std::size_t other = 0; shape.hasChildren && other < tables.size(); ++other)
        if (other != t)
            plan.where += (plan.where.empty() ? "tableoid Not In (" : ", ") +
                          TextLiteral(tables[other], dialect) + "::regclass";
    if (!plan.where.empty())
        plan.where += ")";
    if (shape.known && selected.empty()) {
        // A table without a column to write (PostgreSQL allows one without any): its rows are
        // counted, each an insert of defaults.
        plan.noValues = true;
        plan.select = "Select 1";
        plan.insert = "Insert Into " + table +
                      (dialect == ScriptDialect::MySQL ? " () Values ()" : " Default Values");
        return true;
    }
    plan.insert =
        "Insert Into " + table +
        (listed ? " (" + list + ")" + (overriding ? " Overriding System Value" : "") : "") +
        " Values (";
    plan.storageClasses = dialect == ScriptDialect::SQLite && shape.known;
    if (plan.storageClasses) {
        // One column of letters costs the driver far less per row than a typeof() column beside
        // each value. SQLite's functions take at most 127 arguments.
        std::string classes;
        for (std::size_t from = 0; from < quotedNames.size(); from += 100) {
            std::string format, values;
            for (std::size_t i = from; i < std::min(from + 100, quotedNames.size()); ++i) {
                format += "%.1s";
                values += ", typeof(" + quotedNames[i] + ")";
            }
            classes += (from == 0 ? "printf('" : " || printf('") + format + "'" + values + ")";
        }
        // Most rows hold every value in its column's usual class: for them the letters are
        // NULL, which spares SQLite the printf and the driver a text per row. The columns are
        // described first, since whether integers and reals may share a letter depends on the
        // kind the driver reads them in. Within SQLite's expression depth: up to 100 columns.
        int ret = 0;
        if (quotedNames.size() <= 100 &&
            main.ExecuteStatement("Select " + selected + " From " + table + " Where 1 = 0", &ret) &&
            main.GetColumnCount() == static_cast<int>(quotedNames.size())) {
            std::string condition;
            for (std::size_t i = 0; i < quotedNames.size(); ++i) {
                char usual = usuals[i];
                // Without its kind a number needs its own letter: bytes are the likelier guess.
                if (usual == 'r' &&
                    !NumberKeepsKind(connection, static_cast<int>(i) + 1, plan.numericAffinity[i]))
                    usual = 'b';
                plan.usualClasses += usual;
                condition += (i == 0 ? "" : " Or ") + UnusualClassCondition(quotedNames[i], usual);
            }
            classes = "Case When " + condition + " Then " + classes + " End";
        }
        selected = classes + ", " + selected;
    }
    if (plan.storageClasses || listed)
        plan.select = "Select " + selected;
    if (dialect == ScriptDialect::PostgreSQL) {
        // Described without a row, so that a driver which reads the whole result at once does
        // not read the table twice.
        int ret = 0;
        if (!main.ExecuteStatement(plan.select + " From " + table + " Where 1 = 0", &ret))
            return false;
        const std::string cast = ServerTextSelect(connection, main.GetColumnCount());
        if (cast != "Select *")
            plan.select = cast;
    }
    return true;
}

// Appends one SQLite value by its storage class (the first letter of its typeof()): a number
// bare, a text quoted, bytes as X'..', whatever the column is declared as. Where the column's
// affinity makes its kind's literal the same number again, the number keeps that literal.
void AppendStoredValue(std::string& line, char storage, COdbcConnection& connection, int column,
                       int kind, bool numericKind, ScriptDialect dialect)
{
    switch (storage) {
    case 'n':
        line += "NULL";
        return;
    case 'b':
        AppendExportValue(line, kind,
                          connection.GetColumnValue(column, COdbcConnection::KindBinary), dialect);
        return;
    case 't':
        AppendExportValue(line, COdbcConnection::KindChar,
                          connection.GetColumnValue(column, COdbcConnection::KindChar), dialect);
        return;
    case 'i':
        if (!numericKind) {
            line += connection.GetColumnValue(column, COdbcConnection::KindChar).m_strText;
            return;
        }
        break;
    case 'r': {
        const CColumnValue& value =
            numericKind ? connection.GetColumnValue(column)
                        : connection.GetColumnValue(column, COdbcConnection::KindDouble);
        // Infinity, as the driver's text ("Inf") or as a double's ("inf"): SQLite reads a
        // number beyond a double's range as infinity, and stores no NaN.
        const std::string& text = value.m_strText;
        const bool negative = !text.empty() && text[0] == '-';
        if ((text.c_str()[negative ? 1 : 0] | 0x20) == 'i') {
            line += negative ? "-1e999" : "1e999";
            return;
        }
        AppendExportValue(line, numericKind ? kind : COdbcConnection::KindDouble, value, dialect);
        return;
    }
    default:
        break;
    }
    AppendExportValue(line, kind, connection.GetColumnValue(column), dialect);
}

// Reads the rows of one table as planned and hands every row's statement to put; counts the
// rows.
TableEnd ExportTable(CViewerDlg& main, const std::string& table, const CTablePlan& plan,
                     ScriptDialect dialect, const std::function<bool(const std::string&)>& put,
                     long long& rows)
{
    // A driver that reads a whole result into memory gets the table in pages of its key.
    const bool paged = dialect == ScriptDialect::MySQL && !main.Connection().StreamsResults();
    CKeyedPages reader(main.Connection(), plan.select, table, plan.where);
    if (!Succeeded(reader.Execute(paged)))
        return TableEnd::Failed;
    COdbcConnection& connection = main.Connection();
    // On SQLite the values follow the column of their storage classes.
    const int skip = plan.storageClasses ? 1 : 0;
    const int n = plan.noValues ? 0 : reader.ColumnCount() - skip;
    std::vector<int> kinds(static_cast<std::size_t>(n > 0 ? n : 0) + 1);
    // Whether a number in the column keeps the literal of the column's kind (SQLite).
    std::vector<char> numericKind(kinds.size());
    kinds[0] = n;
    for (int i = 1; i <= n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        kinds[at] = main.GetColumnType(i + skip);
        numericKind[at] = plan.storageClasses && at <= plan.numericAffinity.size() &&
                          NumberKeepsKind(connection, i + skip, plan.numericAffinity[at - 1]);
    }
    const std::string& prefix = plan.insert;
    std::string line, classes;
    int r;
    while (Succeeded(r = reader.Fetch())) {
        line.assign(prefix);
        // A copy: reading the row's first values may move the connection's records.
        if (skip) {
            const CColumnValue& letters = connection.GetColumnValue(1);
            classes.assign(letters.m_bNull ? plan.usualClasses : letters.m_strText);
        }
        for (int p = 1; p <= n; ++p) {
            const auto at = static_cast<std::size_t>(p);
            if (skip)
                AppendStoredValue(line, at <= classes.size() ? classes[at - 1] : '\0', connection,
                                  p + skip, kinds[at], numericKind[at], dialect);
            else
                AppendExportValue(line, kinds[at], main.GetColumnValue(p), dialect);
            if (p != n)
                line += ',';
        }
        if (!plan.noValues)
            line += ')';
        if (!put(line))
            return TableEnd::Refused;
        ++rows;
        if (!main.StepProgress())
            return TableEnd::Stopped;
    }
    // A cancel may end a fetch as if the rows were over (the SQLite driver's does); and a script
    // that silently stops halfway would pass for a whole one.
    if (main.CommandCancelled())
        return TableEnd::Stopped;
    return r == SQL_NO_DATA ? TableEnd::Done : TableEnd::Failed;
}

} // namespace

bool CTablesDlg::ExportTables(const std::function<void(const std::vector<std::string>&)>& settings,
                              const std::function<bool(const std::string&)>& put,
                              const std::function<void(const std::string&)>& beginTable,
                              const std::function<void(const std::string&, long long)>& endTable)
{
    if (!m_pMainDlg)
        return false;
    CViewerDlg& main = *m_pMainDlg;
    main.Output("");
    COdbcConnection& connection = main.Connection();
    const ScriptDialect dialect = DialectOf(connection.GetDbmsName());
    std::vector<std::string> names, schemas, catalogs;
    main.OnGuiThread([&] { names = SelectedTables(&schemas, &catalogs); });
    std::vector<std::string> tables;
    for (std::size_t t = 0; t < names.size(); ++t)
        tables.push_back(main.QualifiedTableName(catalogs[t], schemas[t], names[t]));
    TableEnd end = TableEnd::Done;
    CExportSession session(connection, dialect);
    if (!names.empty()) {
        if (session.Begin())
            settings(session.ScriptSettings());
        else
            end = TableEnd::Failed;
    }
    // The script must give back every value exactly; the other commands show trimmed text.
    connection.SetExactValues(true);
    for (std::size_t t = 0; t < names.size() && end == TableEnd::Done; ++t) {
        main.Output("Tabellen-Export von (" + names[t] + ")\r\n");
        main.SetProgressWork("Export von " + names[t]);
        const std::string& table = tables[t];
        beginTable(names[t]);
        long long rows = 0;
        CTablePlan plan;
        const CTableShape shape =
            ReadShape(main, dialect, table, catalogs[t], schemas[t], names[t]);
        end = PlanTable(main, dialect, tables, t, shape, plan)
                  ? ExportTable(main, table, plan, dialect, put, rows)
                  : TableEnd::Failed;
        if (end == TableEnd::Done)
            endTable(names[t], rows);
    }
    connection.SetExactValues(false);
    // A statement or fetch that the user's Abbrechen cancelled fails or ends early: it was the
    // user's stop, and nothing of the export may pass for whole.
    if (end != TableEnd::Refused && main.CommandCancelled())
        end = TableEnd::Stopped;
    if (end == TableEnd::Failed) {
        main.Output("Abbruch wegen Fehler.");
        std::string error;
        main.Output(main.GetErrorText(error));
    } else if (end == TableEnd::Stopped) {
        main.Output("Abbruch durch Benutzer.");
    }
    // An open cursor would hold the tables' locks until the next command.
    main.ResetStatement();
    session.End();
    return end == TableEnd::Done;
}

bool CTablesDlg::ExportSelectedTables()
{
    CViewerDlg* main = m_pMainDlg;
    return ExportTables([](const std::vector<std::string>&) {},
                        [main](const std::string& line) {
                            main->Output(line);
                            return true;
                        },
                        [](const std::string&) {}, [](const std::string&, long long) {});
}
