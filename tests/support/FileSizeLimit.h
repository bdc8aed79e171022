#pragma once

#include <QtGlobal>

#ifndef Q_OS_WIN
#include <csignal>
#include <sys/resource.h>
#endif

namespace testsupport {

#ifdef Q_OS_WIN
// Windows has no limit of the sort: the tests that need one skip there.
class FileSizeLimit
{
public:
    static constexpr bool kAvailable = false;
    explicit FileSizeLimit(qint64) {}
    bool ok() const { return false; }
};
#else
// Files may grow to `bytes` at most while it lives: a write past that fails
// with "File too large" for every user, root included, which makes it a
// full disk that needs no privileges.
class FileSizeLimit
{
public:
    static constexpr bool kAvailable = true;
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};
#endif

} // namespace testsupport
