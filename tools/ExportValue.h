#pragma once

#include "odbc/ColumnValue.h"

#include <string>

// How one value and one table name are written into an export script, so that running the
// script against an empty copy of the table gives back the exported rows.

// How a data source reads bytes back: X'00FF' in standard SQL (SQLite, MariaDB); PostgreSQL takes
// that for a bit string and wants the bytea literal '\x00FF'.
enum class BinaryLiteral
{
    Hex,
    Bytea
};

// Appends the value as a literal for a column of the given kind code: text quoted with inner
// quotes doubled, numbers bare, bytes as a binary literal, and a null as the bare word NULL. A
// value that is no number stays text in any column.
void AppendExportValue(std::string& out, int kind, const CColumnValue& value,
                       BinaryLiteral binary = BinaryLiteral::Hex);

// Letters, digits and underscores, not starting with a digit.
bool IsPlainIdentifier(const std::string& name);

// The name between quote characters, every quote character inside doubled.
std::string QuoteIdentifier(const std::string& name, const std::string& quote);
