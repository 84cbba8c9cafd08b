#pragma once

// Unix only: the limit is the system's resource limit on the size of files.

#include <csignal>
#include <sys/resource.h>

// Holds the process to files of at most `bytes` while it lives, as a full disk would, root
// included. The signal that would end the process at the limit is ignored, so the write just
// fails.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_before);
        m_signalBefore = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_before.rlim_max};
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_signalBefore);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_before{};
    void (*m_signalBefore)(int) = nullptr;
    bool m_active = false;
};
