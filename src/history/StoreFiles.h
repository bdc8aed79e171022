#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace quintaro::history {

// What the platform's file system says of the store's files. One file per
// platform holds the calls (StoreFiles_unix.cpp, StoreFiles_win.cpp); the
// rules above them are shared.

// Linux: the kind of file system a statfs() f_type names, when it is one
// where SQLite's write-ahead log is unsafe: its readers and writers share an
// index through mmap() and POSIX locks, which network and cluster file
// systems do not keep coherent between machines. Nothing for a local file
// system.
std::optional<QString> networkFileSystemName(unsigned long fsType);
// The network file system, share or drive that holds (or will hold) the
// file at `path`; nothing when it is local or cannot be told.
std::optional<QString> networkFileSystemOf(const QString &path);

// Which file a path names now: a file replaced by another (a backup restored,
// a damaged store moved aside and a new one made) has another identity at
// the same path. Nothing when no file is there.
struct FileIdentity
{
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};
std::optional<FileIdentity> fileIdentity(const QString &path);

// Whether this process may write the file or folder, as it is allowed (not
// as the user who started it).
bool mayWrite(const QString &path);

// Renames a file, never over another and never by copying: an SQLite file
// copied while a connection has it open is a torn copy. False, with the
// system's reason in `error`.
bool renameFile(const QString &from, const QString &to, QString *error);

// Whether some connection has the store open: its file, its -wal or its
// -shm. A damaged store is moved aside only when none has: a program that
// still writes to the old file would otherwise write into the moved copy, or
// put its log beside the new one (and on Windows no file open anywhere can
// be renamed). On Windows, a file opened without sharing tells. On Linux,
// two ways, since either alone misses some:
//  - POSIX lock probing (fcntl F_GETLK) on the file and its -shm: every
//    SQLite connection to a store in WAL mode holds a read lock on a byte of
//    the -shm for as long as it is open, and one in a transaction holds a lock
//    on the file; this sees the processes of every user;
//  - /proc/<pid>/fd of every process this user may inspect, this one
//    included: sees a process that has the file open without a lock (an idle
//    connection to a store in rollback mode, a copy in progress). Probing
//    opens and closes the files, which would drop this process's own locks;
//    a file this process has open is therefore taken as in use first.
// The caller closes its own connection before it asks.
bool storeInUse(const QString &path);

// The name a damaged store is moved aside to: "history.sqlite.damaged-
// 20251207-193000" beside it, in local time, so that the user finds it
// beside the new one and sees when it was put away.
QString damagedName(const QString &path, const QDateTime &when);

// Renames the store and its -wal and -shm to damagedName(), keeping the
// suffixes after the new name, so that SQLite opening the damaged copy finds
// its log. A name already taken gets "-2", "-3", ... The log and its index
// go first, and come back when the store itself cannot be moved: a log left
// beside a new store would be replayed into it, and one parted from its
// store loses the reports it holds. Nothing is ever deleted. False, with the
// reason in `error`, when the files are where they were.
bool moveAside(const QString &path, const QDateTime &when, QString *movedTo, QString *error);

} // namespace quintaro::history
