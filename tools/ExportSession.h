#pragma once

#include "tools/ExportValue.h"

#include <string>
#include <utility>
#include <vector>

class COdbcConnection;

// The session settings an export depends on. A value's text follows settings the user may have
// changed in this session (PostgreSQL's DateStyle, IntervalStyle and float digits, MariaDB's time
// zone); the export reads under settings of its own and gives the user's back afterwards. A
// script file starts with the settings its literals need, so that it loads the same into a
// session whose settings differ.
class CExportSession
{
public:
    CExportSession(COdbcConnection& connection, ScriptDialect dialect);
    // Gives the user's settings back, if Begin changed them.
    ~CExportSession();
    CExportSession(const CExportSession&) = delete;
    CExportSession& operator=(const CExportSession&) = delete;

    // Notes the user's settings and sets the export's; false, with the connection's error, when
    // the data source refused.
    bool Begin();
    void End();
    // The statements (without ";") a script file begins with; valid after Begin.
    const std::vector<std::string>& ScriptSettings() const { return m_script; }

private:
    COdbcConnection& m_connection;
    ScriptDialect m_dialect;
    // Name and the user's value of every setting the export changed.
    std::vector<std::pair<std::string, std::string>> m_changed;
    std::vector<std::string> m_script;
};

// PostgreSQL's driver hands out a date or a time stamp only after taking it apart into a record
// and writing it anew, which loses what the record cannot hold: BC, infinity, a year beyond 9999,
// a time stamp's zone. Such columns of the result set just described are selected as the
// server's own text instead: the same characters for every other value, and less work for the
// driver. "Select *" when the table has none.
std::string ServerTextSelect(COdbcConnection& connection, int columns);
