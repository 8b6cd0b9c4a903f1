#pragma once

#include <string>
#include <string_view>

// Appends time-stamped lines to a log file that rotates into a one-generation ".BAK" backup
// once it has grown beyond 1 MiB. The descriptor stays open between lines, yet a file that was
// moved, deleted or replaced meanwhile is noticed and the line goes to a new file at the path.
class CLogFile
{
public:
    CLogFile();
    virtual ~CLogFile();

    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    bool SetFileName(const std::string& path);
    bool WriteLine(const std::string& text);
    bool WriteLine(const char* text);

    static std::string BackupPath(const std::string& path);

private:
    bool WriteText(std::string_view text);
    bool StillNamesOpenFile() const;
    bool NeedsRotation() const;
    bool Open();
    bool Close();
    void FormatLine(std::string_view text);
    bool WriteFormattedLine();

    std::string m_strFileName;
    int m_fd = -1;
    std::string m_line;
};
