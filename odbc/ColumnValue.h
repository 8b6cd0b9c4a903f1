#pragma once

#include <string>

// One value of the current row, kept so that asking for the same column twice reads it once.
struct CColumnValue
{
    std::string m_strText;  // as GetColumnText returns it: trimmed, or "NULL"
    int m_nColumn = 0;      // 1-based
    bool m_bNull = false;   // the driver reported SQL_NULL_DATA
    std::string m_strRaw;   // every byte of a binary value (m_bBinary); empty otherwise
    bool m_bBinary = false; // read as bytes: kind 99, or any binary column for a script
    bool m_bText = false;   // in a numeric column, a value that is no number (SQLite allows it)
};
