#include "AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quintaro {

namespace {

std::string systemError(const char *what, int code)
{
    return std::string(what) + ": " + std::strerror(code);
}

std::string directoryOf(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// False with errno telling why, as the failing write left it.
bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The mode a newly created file would get, or the old file's mode, so that
// replacing a file does not change who may read it.
mode_t targetMode(const std::string &path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) == 0)
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

FileWriteResult writeFileAtomically(const std::string &path, std::string_view bytes)
{
    const std::string dir = directoryOf(path);
    const auto slash = path.find_last_of('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string templ = (dir == "/" ? std::string("/") : dir + "/") + "." + base + ".XXXXXX";
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back('\0');

    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return {false, systemError("cannot create a file in the folder", errno)};

    const char *failed = nullptr;
    if (!writeAll(fd, bytes))
        failed = "cannot write the file";
    else if (::fchmod(fd, targetMode(path)) != 0)
        failed = "cannot set the file's permissions";
    else if (::fsync(fd) != 0)
        failed = "cannot write the file to the disk";
    int error = failed ? errno : 0;
    if (::close(fd) != 0 && !failed) {
        failed = "cannot write the file";
        error = errno;
    }
    if (!failed && ::rename(name.data(), path.c_str()) != 0) {
        failed = "cannot replace the file";
        error = errno;
    }
    if (failed) {
        ::unlink(name.data());
        return {false, systemError(failed, error)};
    }

    // Make the rename itself durable; the data is already safe either way.
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return {true, {}};
}

bool readWholeFile(const std::string &path, std::string &bytes, std::string *error,
                   std::size_t maxBytes, bool *truncated)
{
    bytes.clear();
    if (truncated)
        *truncated = false;
    // Not blocking in open: a named pipe chosen by mistake would otherwise
    // wait for a writer for ever. Only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (error)
            *error = std::strerror(errno);
        return false;
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error)
            *error = "not a regular file";
        ::close(fd);
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (error)
                *error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        const std::size_t room = maxBytes - bytes.size();
        if (static_cast<std::size_t>(n) > room) {
            bytes.append(buffer, room);
            if (truncated)
                *truncated = true;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

} // namespace quintaro
