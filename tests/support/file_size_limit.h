#pragma once

#include <sys/resource.h>

#include <csignal>
#include <stdexcept>

// While alive, no file of this process may grow past `bytes`: a write beyond fails with EFBIG,
// as on a full disk. Unlike folder permissions this also holds for root, who runs the tests.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        if (::getrlimit(RLIMIT_FSIZE, &m_old) != 0)
            throw std::runtime_error("getrlimit failed");
        // The signal would end the process; ignored, the write returns its error instead.
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = m_old;
        lower.rlim_cur = bytes;
        if (::setrlimit(RLIMIT_FSIZE, &lower) != 0)
            throw std::runtime_error("setrlimit failed");
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};
