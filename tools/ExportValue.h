#pragma once

#include "odbc/ColumnValue.h"

#include <string>

// How one value and one table name are written into an export script, so that running the
// script against an empty copy of the table gives back the exported rows.

// How a data source reads literals back. Standard SQL: quotes doubled, bytes as X'00FF'.
// PostgreSQL takes X'..' for a bit string and wants the bytea literal '\x00FF'. MySQL and
// MariaDB read a backslash in a string as an escape, so it is doubled too. The command-line
// clients of SQLite and MariaDB drop a carriage return before a line end even inside a string,
// so there a carriage return is written as char(13) and as \r.
enum class ScriptDialect
{
    Standard,
    SQLite,
    PostgreSQL,
    MySQL
};

// The dialect of a data source by its product name.
ScriptDialect DialectOf(const std::string& dbmsName);

// Appends the value as a literal for a column of the given kind code: text quoted with inner
// quotes doubled, numbers bare, bytes as a binary literal, and a null as the bare word NULL. A
// value that is no number stays text in any column.
void AppendExportValue(std::string& out, int kind, const CColumnValue& value,
                       ScriptDialect dialect = ScriptDialect::Standard);

// Letters, digits and underscores, not starting with a digit.
bool IsPlainIdentifier(const std::string& name);

// The name between quote characters, every quote character inside doubled.
std::string QuoteIdentifier(const std::string& name, const std::string& quote);
