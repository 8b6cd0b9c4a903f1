#pragma once

#include <csignal>
#include <sys/resource.h>

// While it lives, no file of this process grows beyond limit bytes, as on a full disk: a write
// across the limit comes back short, the next one fails with EFBIG (SIGXFSZ is ignored meanwhile
// instead of ending the process).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit) : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        const rlimit cut{limit, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &cut);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    void (*m_handler)(int);
    rlimit m_old{};
};
