#pragma once

#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>

// Appends time-stamped lines to a log file that rotates into a one-generation ".BAK" backup
// once it has grown beyond 1 MiB. The descriptor stays open between lines, yet a file that was
// moved, deleted or replaced is noticed within 100 ms and the lines go to a new file at the path.
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

    // While a command reports many lines, they go out in batches: a write per 64 KiB or per
    // 100 ms instead of one per line, the system's cost of which is most of a logged line's. A
    // line after a quiet spell goes out at once, so the line before a long wait is on disk.
    // Switching it off writes what waits; false when that failed.
    bool SetBatching(bool on);
    // Writes the lines that have waited 100 ms or more; a timer's call, from any thread. A
    // failure is told by the next WriteLine.
    void FlushStale();

    static std::string BackupPath(const std::string& path);
    // Why the last line failed, in the system's words.
    std::string LastError() const;

private:
    bool WriteText(std::string_view text);
    static bool Inspect(int dirfd, const char* path, int flags, struct statx& file);
    bool StillNamesOpenFile(struct statx& file) const;
    static bool NeedsRotation(const struct statx& file);
    static std::int64_t CoarseMilliseconds();
    void Remember(const struct statx& file, std::int64_t now);
    void Rotate();
    bool Open(struct statx& file);
    bool Close();
    void FormatLine(std::string_view text);
    bool WriteOut(std::string_view bytes);
    bool FlushBatch();

    std::string m_strFileName;
    int m_fd = -1;
    int m_nLastErrno = 0;
    // What the last look at the path found, and when to look again.
    std::uint64_t m_nSize = 0;
    bool m_bRegular = false;
    std::int64_t m_nextLook = 0;
    // The open file, to tell whether the path still names it.
    std::uint32_t m_devMajor = 0;
    std::uint32_t m_devMinor = 0;
    std::uint64_t m_ino = 0;
    std::string m_line;
    // The batch: lines waiting to be written, since when, and whether writing one failed
    // unheard.
    std::mutex m_mutex;
    bool m_bBatching = false;
    std::string m_batch;
    std::int64_t m_batchSince = 0;
    std::int64_t m_lastWrite = 0;
    bool m_bBatchFailed = false;
    std::time_t m_stampTime = 0;
    char m_stamp[96];
    std::size_t m_stampLength = 0;
};
