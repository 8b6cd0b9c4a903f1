#include "log/SystemError.h"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

locale_t GermanMessages()
{
    // The whole locale, not only its messages: they come in its character set, and in the C
    // character set every umlaut would read "?". Never freed, as a thread may still ask while
    // the program ends.
    static const locale_t german = [] {
        const locale_t made = ::newlocale(LC_ALL_MASK, "de_DE.UTF-8", locale_t());
        return made ? made : ::newlocale(LC_ALL_MASK, "C", locale_t());
    }();
    return german;
}

} // namespace

std::string SystemErrorText(int errnum)
{
    if (const locale_t german = GermanMessages())
        return ::strerror_l(errnum, german);
    char buffer[128];
    return ::strerror_r(errnum, buffer, sizeof buffer);
}

int WriteAll(int fd, std::string_view bytes, std::size_t* written)
{
    std::size_t done = 0;
    int failure = 0;
    while (done < bytes.size() && failure == 0) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0)
            failure = ENOSPC; // no progress and no reason: a full device is the one known case
        else if (errno != EINTR)
            failure = errno;
    }
    if (written)
        *written = done;
    return failure;
}

int SyncData(int fd)
{
    // A file system that cannot sync says so with EINVAL; its data is as safe as it gets.
    return ::fdatasync(fd) == 0 || errno == EINVAL ? 0 : errno;
}

int HoldReplacedFile(const std::string& path)
{
    // O_PATH needs no right to read the file and opens no device.
    return ::open(path.c_str(), O_PATH | O_CLOEXEC);
}

void ReleaseReplacedFile(int fd)
{
    if (fd < 0)
        return;
    try {
        std::thread([fd] { ::close(fd); }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the caller waits for the blocks after all.
        ::close(fd);
    }
}
