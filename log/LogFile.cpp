#include "log/LogFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr off_t kRotateAbove = 1048576;
constexpr std::size_t kKeepBufferUpTo = 64 * 1024;

} // namespace

CLogFile::CLogFile() = default;

CLogFile::~CLogFile()
{
    Close();
}

bool CLogFile::SetFileName(const std::string& path)
{
    if (path != m_strFileName) {
        Close();
        m_strFileName = path;
    }
    return true;
}

bool CLogFile::WriteLine(const std::string& text)
{
    return WriteText(text);
}

bool CLogFile::WriteLine(const char* text)
{
    return WriteText(text ? std::string_view(text) : std::string_view());
}

std::string CLogFile::BackupPath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // Leading dots mark a hidden file, not an extension: ".hidden" keeps its whole name.
    const std::size_t stemStart = path.find_first_not_of('.', nameStart);
    const std::size_t dot = stemStart == std::string::npos ? std::string::npos : path.rfind('.');
    if (dot != std::string::npos && dot > stemStart) {
        std::string backup = path.substr(0, dot) + ".BAK";
        // A log already named "x.BAK" would otherwise delete itself when it rotates.
        if (backup != path)
            return backup;
    }
    return path + ".BAK";
}

bool CLogFile::WriteText(std::string_view text)
{
    // The out-of-memory report is written through here, so a failed allocation must not escape.
    try {
        bool closedCleanly = true;
        if (m_fd >= 0 && !StillNamesOpenFile())
            closedCleanly = Close();
        if (m_fd < 0 && !Open())
            return false;

        if (NeedsRotation()) {
            closedCleanly = Close() && closedCleanly;
            const std::string backup = BackupPath(m_strFileName);
            // Either step may fail (the backup is a directory, the disk is read-only); the line
            // then joins the big file and the next line tries again.
            ::unlink(backup.c_str());
            ::rename(m_strFileName.c_str(), backup.c_str());
            if (!Open())
                return false;
        }

        FormatLine(text);
        const bool written = WriteFormattedLine();
        if (m_line.capacity() > kKeepBufferUpTo)
            m_line = std::string();
        if (!written) {
            // Start afresh with the next line instead of appending behind a broken one.
            Close();
            return false;
        }
        // A failed close may have lost earlier lines; the caller hears of it now.
        return closedCleanly;
    } catch (const std::exception&) {
        return false;
    }
}

bool CLogFile::StillNamesOpenFile() const
{
    struct stat atPath
    {
    };
    struct stat held
    {
    };
    if (::stat(m_strFileName.c_str(), &atPath) != 0 || ::fstat(m_fd, &held) != 0)
        return false;
    return atPath.st_dev == held.st_dev && atPath.st_ino == held.st_ino;
}

bool CLogFile::NeedsRotation() const
{
    struct stat held
    {
    };
    return ::fstat(m_fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_size > kRotateAbove;
}

bool CLogFile::Open()
{
    if (m_strFileName.empty())
        return false;
    // Non-blocking only for the open itself: a FIFO without a reader would otherwise hang here.
    int fd;
    do {
        fd = ::open(m_strFileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK,
                    0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;

    struct stat st
    {
    };
    // Writing to a pipe whose reader has gone raises SIGPIPE and ends the program.
    if (::fstat(fd, &st) != 0 || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

bool CLogFile::Close()
{
    if (m_fd < 0)
        return true;
    const int fd = m_fd;
    m_fd = -1;
    // Never retried: on Linux the descriptor is gone even when close reports EINTR.
    return ::close(fd) == 0;
}

void CLogFile::FormatLine(std::string_view text)
{
    // Taken after opening and rotating, so the stamp is the moment the line reaches the file.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local))
        local = std::tm{};

    char stamp[96];
    const int length = std::snprintf(
        stamp, sizeof stamp, "<%.2d.%.2d.%.4d // %.2d:%.2d:%.2d>: ", local.tm_mday,
        local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    m_line.assign(stamp, length > 0 ? static_cast<std::size_t>(length) : 0);

    // The file keeps CR LF line ends, also for line feeds inside the text.
    std::size_t start = 0;
    for (std::size_t lf = text.find('\n'); lf != std::string_view::npos;
         start = lf + 1, lf = text.find('\n', start)) {
        m_line.append(text.substr(start, lf - start));
        m_line.append("\r\n");
    }
    m_line.append(text.substr(start));
    m_line.append("\r\n");
}

bool CLogFile::WriteFormattedLine()
{
    // One write per line, so lines of two processes appending to the file never mix.
    std::size_t done = 0;
    while (done < m_line.size()) {
        const ssize_t written = ::write(m_fd, m_line.data() + done, m_line.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // A torn line (a full disk) would run into the next one: take back what got in.
            struct stat held
            {
            };
            if (done > 0 && ::fstat(m_fd, &held) == 0 && held.st_size >= static_cast<off_t>(done)) {
                const int truncated = ::ftruncate(m_fd, held.st_size - static_cast<off_t>(done));
                static_cast<void>(truncated);
            }
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}
