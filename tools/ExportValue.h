#pragma once

#include "odbc/ColumnValue.h"

#include <string>

// How one value and one table name are written into an export script, so that running the
// script against an empty copy of the table gives back the exported rows.

// Appends the value as a literal for a column of the given kind code: text quoted with inner
// quotes doubled, numbers bare, long binary data as X'..', and a null as the bare word NULL.
void AppendExportValue(std::string& out, int kind, const CColumnValue& value);

// Letters, digits and underscores, not starting with a digit.
bool IsPlainIdentifier(const std::string& name);

// The name between quote characters, every quote character inside doubled.
std::string QuoteIdentifier(const std::string& name, const std::string& quote);
