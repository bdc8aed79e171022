#include "StoreFiles.h"

#include "WindowsText.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

namespace quintaro::history {

namespace {

const wchar_t *wide(const QString &path)
{
    return reinterpret_cast<const wchar_t *>(path.utf16());
}

QString systemError(DWORD code)
{
    return QString::fromLocal8Bit(windowsErrorText(code));
}

// Only this process's own sharing is asked for: any other handle that has
// the file open refuses it.
bool openedBySomeone(const QString &file)
{
    const HANDLE handle = ::CreateFileW(wide(file), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_SHARING_VIOLATION;
    ::CloseHandle(handle);
    return false;
}

} // namespace

// A UNC path (\\server\share) or a drive Windows maps to a network share:
// SQLite's write-ahead log needs shared memory that only one machine keeps.
std::optional<QString> networkFileSystemOf(const QString &path)
{
    const QString absolute = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (absolute.startsWith(QLatin1String("\\\\")))
        return QStringLiteral("a network share");
    if (absolute.size() >= 3 && absolute[1] == QLatin1Char(':') &&
        ::GetDriveTypeW(wide(absolute.left(3))) == DRIVE_REMOTE)
        return QStringLiteral("the network drive %1").arg(absolute.left(2));
    return std::nullopt;
}

std::optional<FileIdentity> fileIdentity(const QString &path)
{
    // Asking leaves every kind of sharing to others, folders included.
    const HANDLE handle =
        ::CreateFileW(wide(QDir::toNativeSeparators(path)), 0,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(handle, &info);
    ::CloseHandle(handle);
    if (!known)
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

bool mayWrite(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    const DWORD attributes = ::GetFileAttributesW(wide(native));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A folder's permissions are read by trying: a file made and gone.
        const QString probe =
            native + QStringLiteral("\\.quintaro-probe-%1").arg(::GetCurrentProcessId());
        const HANDLE handle =
            ::CreateFileW(wide(probe), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        ::CloseHandle(handle);
        return true;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return false;
    const HANDLE handle = ::CreateFileW(wide(native), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(handle);
    return true;
}

bool renameFile(const QString &from, const QString &to, QString *error)
{
    // Neither over another file nor by copying.
    if (::MoveFileExW(wide(QDir::toNativeSeparators(from)), wide(QDir::toNativeSeparators(to)), 0))
        return true;
    if (error)
        *error = systemError(::GetLastError());
    return false;
}

// Windows lets no file be opened without sharing while any other handle has
// it open, which every SQLite connection keeps on the store and its -wal and
// -shm for as long as it lives (nor renamed: SQLite does not share delete).
bool storeInUse(const QString &path)
{
    for (const char *suffix : {"", "-wal", "-shm"}) {
        if (openedBySomeone(QDir::toNativeSeparators(path + QLatin1String(suffix))))
            return true;
    }
    return false;
}

} // namespace quintaro::history
