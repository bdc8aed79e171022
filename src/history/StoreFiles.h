#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace quintaro::history {

// The kind of file system a statfs() f_type names, when it is one where
// SQLite's write-ahead log is unsafe: its readers and writers share an index
// through mmap() and POSIX locks, which network and cluster file systems do
// not keep coherent between machines. Nothing for a local file system.
std::optional<QString> networkFileSystemName(unsigned long fsType);
// The same for the folder that holds (or will hold) the file at `path`;
// nothing when it is local or cannot be told.
std::optional<QString> networkFileSystemOf(const QString &path);

// Whether some connection has the store open: its file, its -wal or its
// -shm. A damaged store is moved aside only when none has: a program that
// still writes to the old file would otherwise write into the moved copy, or
// put its log beside the new one. Two ways, since either alone misses some:
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
// its log. A name already taken gets "-2", "-3", ... False, with the reason
// in `error`, when the store itself could not be moved.
bool moveAside(const QString &path, const QDateTime &when, QString *movedTo, QString *error);

} // namespace quintaro::history
