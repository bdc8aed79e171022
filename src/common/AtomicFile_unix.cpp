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

// What the file at `path` is now: its permission bits and owner, so that a
// replaced file keeps who may read and write it.
struct Existing
{
    bool exists = false;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

Existing existingFile(const std::string &path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {true, mode_t(st.st_mode & 07777), st.st_uid, st.st_gid};
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A symbolic link is the user's choice of where the file really lives (a
// settings file kept in a synchronised folder, say): the save replaces the
// file the link points to, never the link itself. A link to nothing names
// the file to create.
bool followLinks(std::string path, std::string &target, std::string &error)
{
    // The system's own limit on links followed in one path lookup.
    constexpr int kMaxLinks = 40;
    for (int followed = 0; followed <= kMaxLinks; ++followed) {
        struct stat st
        {
        };
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        std::vector<char> buffer(std::size_t(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0) {
            error = systemError("cannot read the link", errno);
            return false;
        }
        std::string next(buffer.data(), std::size_t(n));
        if (next.empty() || next.front() != '/') {
            const std::string dir = directoryOf(path);
            next = (dir == "/" ? std::string("/") : dir + "/") + next;
        }
        path = std::move(next);
    }
    error = systemError("cannot follow the link", ELOOP);
    return false;
}

// Keeps the replaced file's owner where this process may set it, then its
// permission bits (a change of owner may clear some of them).
bool takeOverAttributes(int fd, const Existing &old)
{
    if (old.exists) {
        struct stat st
        {
        };
        if (::fstat(fd, &st) == 0 && (st.st_uid != old.owner || st.st_gid != old.group)) {
            if (::fchown(fd, old.owner, old.group) != 0 &&
                ::fchown(fd, uid_t(-1), old.group) != 0) {
                // Neither may be set by this process (not root, not in the
                // group): the file becomes its own, as any new file would.
            }
        }
    }
    return ::fchmod(fd, old.exists ? old.mode : newFileMode()) == 0;
}

// Writes the bytes to an open file, runs `beforeSync` (false with errno set
// when it fails, named `what`), flushes the file to the disk and closes it.
// The failing step, if any, and the system's reason.
struct WriteFailure
{
    const char *step = nullptr;
    int error = 0;
};
template <typename Step>
WriteFailure writeSyncAndClose(int fd, std::string_view bytes, const char *what, Step beforeSync)
{
    WriteFailure failure;
    if (!writeAll(fd, bytes))
        failure.step = "cannot write the file";
    else if (!beforeSync())
        failure.step = what;
    else if (::fsync(fd) != 0)
        failure.step = "cannot write the file to the disk";
    failure.error = failure.step ? errno : 0;
    if (::close(fd) != 0 && !failure.step)
        failure = {"cannot write the file", errno};
    return failure;
}

// For a file that may be written in a folder that may not (a shared or
// read-only folder): the bytes replace the content in place. A crash in the
// middle then leaves a partly written file; there is no other way to save.
FileWriteResult writeInPlace(const std::string &path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return {false, systemError("cannot write the file", errno)};
    const WriteFailure failure = writeSyncAndClose(fd, bytes, "cannot write the file", [&] {
        return ::ftruncate(fd, off_t(bytes.size())) == 0;
    });
    if (failure.step)
        return {false, systemError(failure.step, failure.error)};
    return {true, {}};
}

} // namespace

FileWriteResult writeFileAtomically(const std::string &linkOrPath, std::string_view bytes)
{
    std::string path;
    std::string linkError;
    if (!followLinks(linkOrPath, path, linkError))
        return {false, linkError};

    const std::string dir = directoryOf(path);
    const auto slash = path.find_last_of('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string templ = (dir == "/" ? std::string("/") : dir + "/") + "." + base + ".XXXXXX";
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back('\0');

    const Existing old = existingFile(path);
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        const int error = errno;
        if (old.exists && (error == EACCES || error == EPERM))
            return writeInPlace(path, bytes);
        return {false, systemError("cannot create a file in the folder", error)};
    }

    WriteFailure failure = writeSyncAndClose(fd, bytes, "cannot set the file's permissions",
                                             [&] { return takeOverAttributes(fd, old); });
    if (!failure.step && ::rename(name.data(), path.c_str()) != 0)
        failure = {"cannot replace the file", errno};
    if (failure.step) {
        ::unlink(name.data());
        return {false, systemError(failure.step, failure.error)};
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
