#pragma once

#include <string>

// The words an engine refuses as a bare table name (on PostgreSQL also as a schema name) beyond
// those its driver reports: a statement naming such a table unquoted fails with a syntax error.
struct ReservedWords
{
    // Upper case, separated by commas; empty for an engine not known here.
    const char* words;
    // Whether they stay refused after a qualifier's dot ("main.limit"), where PostgreSQL and
    // MariaDB take any word.
    bool afterQualifier;
};

// The words of an engine by its product name ("PostgreSQL", "MariaDB", "MySQL", "SQLite").
ReservedWords ReservedWordsOf(const std::string& dbmsName);
