#include "StoreFiles.h"

#include "TextCodec.h"

#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace quintaro::history {

namespace {

struct NetworkKind
{
    unsigned long magic;
    const char *name;
};

// FUSE is left out: it carries sshfs, but just as often a local disk's file
// system, where the log is safe.
constexpr NetworkKind kNetworkKinds[] = {
    {0x6969, "NFS"},        {0x517b, "SMB"},      {0xff534d42, "SMB/CIFS"},
    {0xfe534d42, "SMB2"},   {0x564c, "NetWare"},  {0x73757245, "Coda"},
    {0x5346414f, "AFS"},    {0x6b414653, "AFS"},  {0x01021997, "9P"},
    {0x00c36400, "Ceph"},   {0x01161970, "GFS2"}, {0x7461636f, "OCFS2"},
    {0x0bd00bd0, "Lustre"}, {0x47504653, "GPFS"}, {0x786f4256, "VirtualBox shared folder"},
};

struct FileId
{
    dev_t dev;
    ino_t ino;
};

std::vector<FileId> storeFileIds(const QString &path)
{
    std::vector<FileId> ids;
    for (const char *suffix : {"", "-wal", "-shm"}) {
        struct stat st
        {
        };
        if (::stat(filePathBytes(path + QLatin1String(suffix)).c_str(), &st) == 0)
            ids.push_back({st.st_dev, st.st_ino});
    }
    return ids;
}

bool openInSomeProcess(const std::vector<FileId> &ids)
{
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return false;
    bool found = false;
    while (const dirent *entry = ::readdir(proc)) {
        if (found)
            break;
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        const std::string fdDir = std::string("/proc/") + entry->d_name + "/fd";
        DIR *fds = ::opendir(fdDir.c_str());
        if (!fds)
            continue; // another user's process, or one that has just ended
        while (const dirent *fd = ::readdir(fds)) {
            struct stat st
            {
            };
            if (fd->d_name[0] == '.' || ::stat((fdDir + "/" + fd->d_name).c_str(), &st) != 0)
                continue;
            for (const FileId &id : ids)
                found = found || (st.st_dev == id.dev && st.st_ino == id.ino);
            if (found)
                break;
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return found;
}

bool lockedBySomeone(const QString &file)
{
    const int fd = ::open(filePathBytes(file).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock probe
    {
    };
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0; // the whole file
    const bool locked = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

} // namespace

std::optional<QString> networkFileSystemName(unsigned long fsType)
{
    // statfs() gives a signed word; a magic above 2^31 can come out negative.
    const unsigned long magic = fsType & 0xffffffffUL;
    for (const NetworkKind &kind : kNetworkKinds) {
        if (kind.magic == magic)
            return QString::fromLatin1(kind.name);
    }
    return std::nullopt;
}

std::optional<QString> networkFileSystemOf(const QString &path)
{
    struct statfs fs
    {
    };
    if (::statfs(filePathBytes(QFileInfo(path).absolutePath()).c_str(), &fs) != 0)
        return std::nullopt;
    return networkFileSystemName(static_cast<unsigned long>(fs.f_type));
}

std::optional<FileIdentity> fileIdentity(const QString &path)
{
    struct stat st
    {
    };
    if (::stat(filePathBytes(path).c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
}

bool mayWrite(const QString &path)
{
    return ::faccessat(AT_FDCWD, filePathBytes(path).c_str(), W_OK, AT_EACCESS) == 0;
}

bool renameFile(const QString &from, const QString &to, QString *error)
{
    if (::rename(filePathBytes(from).c_str(), filePathBytes(to).c_str()) == 0)
        return true;
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool storeInUse(const QString &path)
{
    const std::vector<FileId> ids = storeFileIds(path);
    if (ids.empty())
        return false;
    if (openInSomeProcess(ids))
        return true;
    return lockedBySomeone(path) || lockedBySomeone(path + QStringLiteral("-shm"));
}

} // namespace quintaro::history
