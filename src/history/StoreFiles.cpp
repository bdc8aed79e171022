#include "StoreFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

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

const QStringList kCompanions = {QStringLiteral("-wal"), QStringLiteral("-shm")};

std::string native(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

struct FileId
{
    dev_t dev;
    ino_t ino;
};

std::vector<FileId> storeFileIds(const QString &path)
{
    std::vector<FileId> ids;
    for (const QString &suffix : QStringList{QString()} + kCompanions) {
        struct stat st
        {
        };
        if (::stat(native(path + suffix).c_str(), &st) == 0)
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
    const int fd = ::open(native(file).c_str(), O_RDONLY | O_CLOEXEC);
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
    if (::statfs(native(QFileInfo(path).absolutePath()).c_str(), &fs) != 0)
        return std::nullopt;
    return networkFileSystemName(static_cast<unsigned long>(fs.f_type));
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

QString damagedName(const QString &path, const QDateTime &when)
{
    return path + QStringLiteral(".damaged-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

bool moveAside(const QString &path, const QDateTime &when, QString *movedTo, QString *error)
{
    const auto taken = [](const QString &name) {
        for (const QString &suffix : QStringList{QString()} + kCompanions) {
            if (QFileInfo::exists(name + suffix))
                return true;
        }
        return false;
    };
    QString target = damagedName(path, when);
    for (int n = 2; taken(target); ++n)
        target = damagedName(path, when) + QLatin1Char('-') + QString::number(n);
    if (::rename(native(path).c_str(), native(target).c_str()) != 0) {
        if (error)
            *error = QStringLiteral("it cannot be moved aside: ") +
                     QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (movedTo)
        *movedTo = target;
    // A log left behind would be replayed into the new store.
    for (const QString &suffix : kCompanions) {
        const std::string from = native(path + suffix);
        if (::access(from.c_str(), F_OK) != 0)
            continue;
        if (::rename(from.c_str(), native(target + suffix).c_str()) != 0 &&
            ::unlink(from.c_str()) != 0) {
            if (error)
                *error = QStringLiteral("its %1 file cannot be moved aside: ").arg(suffix) +
                         QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
    }
    return true;
}

} // namespace quintaro::history
