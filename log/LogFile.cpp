#include "log/LogFile.h"

#include "log/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::uint64_t kRotateAbove = 1048576;
constexpr std::int64_t kLookEveryMs = 100;
constexpr std::size_t kKeepBufferUpTo = 64 * 1024;
constexpr std::size_t kBatchBytes = 64 * 1024;
constexpr std::int64_t kBatchMs = 100;

} // namespace

CLogFile::CLogFile() = default;

CLogFile::~CLogFile()
{
    FlushBatch();
    Close();
}

bool CLogFile::SetFileName(const std::string& path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (path != m_strFileName) {
        FlushBatch();
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

bool CLogFile::SetBatching(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bBatching = on;
    const bool written = FlushBatch();
    return !std::exchange(m_bBatchFailed, false) && written;
}

void CLogFile::FlushStale()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_batch.empty() && CoarseMilliseconds() - m_batchSince >= kBatchMs && !FlushBatch())
        m_bBatchFailed = true;
}

bool CLogFile::FlushBatch()
{
    if (m_batch.empty())
        return true;
    const bool written = m_fd >= 0 && WriteOut(m_batch);
    m_nSize += written ? m_batch.size() : 0;
    m_lastWrite = CoarseMilliseconds();
    m_batch.clear();
    if (m_batch.capacity() > 2 * kBatchBytes)
        m_batch = std::string();
    if (!written) {
        const int failure = m_nLastErrno;
        Close();
        m_nLastErrno = failure;
    }
    return written;
}

bool CLogFile::WriteText(std::string_view text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // The out-of-memory report is written through here, so a failed allocation must not escape.
    try {
        // The path is looked at once per 100 ms, not per line: a file moved, deleted or replaced
        // meanwhile is noticed that much later, and the lines up to then go to the old file,
        // which keeps them. The look also tells the size for the rotation; in between, the
        // size grows by what this writer writes.
        struct statx file
        {
        };
        bool closedCleanly = true;
        const std::int64_t now = CoarseMilliseconds();
        // Waiting lines belong to the file they were meant for, before it is looked at anew.
        bool batchWritten = true;
        if (m_fd >= 0 && (now >= m_nextLook || (m_bRegular && m_nSize > kRotateAbove)))
            batchWritten = FlushBatch();
        if (m_fd >= 0 && now >= m_nextLook) {
            if (StillNamesOpenFile(file))
                Remember(file, now);
            else
                closedCleanly = Close();
        }
        if (m_fd < 0) {
            if (!Open(file))
                return false;
            Remember(file, now);
        }

        if (m_bRegular && m_nSize > kRotateAbove) {
            Rotate();
            closedCleanly = Close() && closedCleanly;
            if (!Open(file))
                return false;
            Remember(file, now);
        }

        FormatLine(text);
        closedCleanly = closedCleanly && batchWritten && !std::exchange(m_bBatchFailed, false);
        // Without batching each line is a batch of its own. A failed write starts afresh with
        // the next line instead of appending behind a broken one.
        const bool alone = m_batch.empty() && now - m_lastWrite >= kBatchMs;
        if (m_batch.empty())
            m_batchSince = now;
        m_batch.append(m_line);
        if (m_line.capacity() > kKeepBufferUpTo)
            m_line = std::string();
        if (m_bBatching && !alone && m_batch.size() < kBatchBytes && now - m_batchSince < kBatchMs)
            return closedCleanly;
        // A failed close may have lost earlier lines; the caller hears of it now.
        return FlushBatch() && closedCleanly;
    } catch (const std::exception&) {
        return false;
    }
}

std::int64_t CLogFile::CoarseMilliseconds()
{
    // The coarse clock costs next to nothing, and a look every 100 ms needs no finer one.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void CLogFile::Remember(const struct statx& file, std::int64_t now)
{
    m_nSize = file.stx_size;
    m_bRegular = S_ISREG(file.stx_mode);
    m_nextLook = now + kLookEveryMs;
}

std::string CLogFile::LastError() const
{
    return SystemErrorText(m_nLastErrno);
}

void CLogFile::Rotate()
{
    // Two programs may log to one file. The rotation happens under a lock of the full file and
    // only while the path still names it, so the second one never moves the first one's fresh
    // file over the backup the first one has just made.
    int locked;
    do {
        locked = ::flock(m_fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0)
        return;
    struct statx again
    {
    };
    if (StillNamesOpenFile(again) && NeedsRotation(again)) {
        // Either step may fail (the backup is a directory, the disk is read-only); the line then
        // joins the big file and the next line tries again.
        const std::string backup = BackupPath(m_strFileName);
        ::unlink(backup.c_str());
        ::rename(m_strFileName.c_str(), backup.c_str());
    }
    ::flock(m_fd, LOCK_UN);
}

bool CLogFile::Inspect(int dirfd, const char* path, int flags, struct statx& file)
{
    // Never ask for the times: on current Linux (multigrain time stamps) a query of the change
    // time makes the next write stamp the file with a fine-grained time and so dirty its inode,
    // which on ext4 costs each logged line a journal update that costs more than the write.
    return ::statx(dirfd, path, flags, STATX_TYPE | STATX_INO | STATX_SIZE, &file) == 0;
}

bool CLogFile::StillNamesOpenFile(struct statx& file) const
{
    // An open file keeps its inode, so no other file can take its number while it is held.
    return Inspect(AT_FDCWD, m_strFileName.c_str(), 0, file) && file.stx_dev_major == m_devMajor &&
           file.stx_dev_minor == m_devMinor && file.stx_ino == m_ino;
}

bool CLogFile::NeedsRotation(const struct statx& file)
{
    return S_ISREG(file.stx_mode) && file.stx_size > kRotateAbove;
}

bool CLogFile::Open(struct statx& file)
{
    if (m_strFileName.empty()) {
        m_nLastErrno = ENOENT;
        return false;
    }
    // Non-blocking only for the open itself: a FIFO without a reader would otherwise hang here.
    int fd;
    do {
        fd = ::open(m_strFileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK,
                    0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_nLastErrno = errno;
        return false;
    }

    // Writing to a pipe whose reader has gone raises SIGPIPE and ends the program.
    if (!Inspect(fd, "", AT_EMPTY_PATH, file) || S_ISFIFO(file.stx_mode) ||
        S_ISSOCK(file.stx_mode)) {
        m_nLastErrno = EINVAL;
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        m_nLastErrno = errno;
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_devMajor = file.stx_dev_major;
    m_devMinor = file.stx_dev_minor;
    m_ino = file.stx_ino;
    return true;
}

bool CLogFile::Close()
{
    if (m_fd < 0)
        return true;
    const int fd = m_fd;
    m_fd = -1;
    // Never retried: on Linux the descriptor is gone even when close reports EINTR.
    if (::close(fd) == 0)
        return true;
    m_nLastErrno = errno;
    return false;
}

void CLogFile::FormatLine(std::string_view text)
{
    // Taken after opening and rotating, so the stamp is the moment the line reaches the file.
    // Lines come many to the second: the stamp is formatted once per second.
    const std::time_t now = std::time(nullptr);
    if (now != m_stampTime || m_stampLength == 0) {
        std::tm local{};
        if (!::localtime_r(&now, &local))
            local = std::tm{};
        const int length = std::snprintf(
            m_stamp, sizeof m_stamp, "<%.2d.%.2d.%.4d // %.2d:%.2d:%.2d>: ", local.tm_mday,
            local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
        m_stampLength =
            length > 0 ? std::min(static_cast<std::size_t>(length), sizeof m_stamp - 1) : 0;
        m_stampTime = now;
    }
    m_line.assign(m_stamp, m_stampLength);

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

bool CLogFile::WriteOut(std::string_view bytes)
{
    // One write per line or batch, so lines of two processes appending to the file never mix.
    std::size_t done = 0;
    m_nLastErrno = WriteAll(m_fd, bytes, &done);
    if (m_nLastErrno == 0)
        return true;
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
