#include "AtomicFile.h"
#include "WindowsText.h"

#include <windows.h>

#include <random>

namespace quintaro {

namespace {

std::string systemError(const char *what, DWORD code)
{
    return std::string(what) + ": " + windowsErrorText(code);
}

std::wstring folderOf(const std::wstring &path)
{
    const auto slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return L".";
    // "C:\" and "\" keep their separator: they name the root.
    if (slash == 0 || (slash == 2 && path[1] == L':'))
        return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

bool writeAll(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr))
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// Writes, flushes to the disk and closes; the failing step and its reason.
struct WriteFailure
{
    const char *step = nullptr;
    DWORD error = 0;
};
WriteFailure writeFlushAndClose(HANDLE file, std::string_view bytes, bool truncate)
{
    WriteFailure failure;
    if (!writeAll(file, bytes))
        failure.step = "cannot write the file";
    else if (truncate && !::SetEndOfFile(file))
        failure.step = "cannot write the file";
    else if (!::FlushFileBuffers(file))
        failure.step = "cannot write the file to the disk";
    failure.error = failure.step ? ::GetLastError() : 0;
    if (!::CloseHandle(file) && !failure.step)
        failure = {"cannot write the file", ::GetLastError()};
    return failure;
}

// For a file that may be written in a folder that may not: the bytes replace
// the content in place, the one case in which a crash can leave it half
// written.
FileWriteResult writeInPlace(const std::wstring &path, std::string_view bytes)
{
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {false, systemError("cannot write the file", ::GetLastError())};
    const WriteFailure failure = writeFlushAndClose(file, bytes, true);
    if (failure.step)
        return {false, systemError(failure.step, failure.error)};
    return {true, {}};
}

// What a file's attributes tell of the user's wishes, rather than of its
// state.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool exists(const std::wstring &path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

FileWriteResult writeFileAtomically(const std::string &utf8Path, std::string_view bytes)
{
    const std::wstring path = widePath(utf8Path);
    const std::wstring folder = folderOf(path);
    const std::wstring base = path.substr(path.find_last_of(L"\\/") + 1);
    const std::wstring prefix =
        (folder.back() == L'\\' || folder.back() == L'/' ? folder : folder + L"\\") + L"." + base +
        L".";

    // A name of its own beside the file, made by CREATE_NEW so that no
    // other file is ever taken over.
    std::random_device entropy;
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = prefix + std::to_wstring(entropy() % 1000000u);
        file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        error = file == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    const bool replacing = exists(path);
    if (file == INVALID_HANDLE_VALUE) {
        if (replacing && error == ERROR_ACCESS_DENIED)
            return writeInPlace(path, bytes);
        return {false, systemError("cannot create a file in the folder", error)};
    }

    WriteFailure failure = writeFlushAndClose(file, bytes, false);
    if (!failure.step) {
        // One rename puts the new file in place, so that a crash leaves one
        // file or the other whole under the name: ReplaceFileW goes in
        // several steps, between which neither has it. What the user set on
        // the old file's attributes (hidden, say) is set on the new one
        // first; a read-only file is not replaced.
        if (replacing) {
            const DWORD attributes = ::GetFileAttributesW(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES)
                ::SetFileAttributesW(temporary.c_str(), attributes & kKeptAttributes);
        }
        const bool replaced =
            ::MoveFileExW(temporary.c_str(), path.c_str(),
                          (replacing ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH);
        if (!replaced)
            failure = {"cannot replace the file", ::GetLastError()};
    }
    if (failure.step) {
        ::DeleteFileW(temporary.c_str());
        return {false, systemError(failure.step, failure.error)};
    }
    return {true, {}};
}

bool readWholeFile(const std::string &utf8Path, std::string &bytes, std::string *error,
                   std::size_t maxBytes, bool *truncated)
{
    bytes.clear();
    if (truncated)
        *truncated = false;
    const HANDLE file = ::CreateFileW(widePath(utf8Path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (error)
            *error = windowsErrorText(::GetLastError());
        return false;
    }
    // Only files on a disk are read: a pipe or a device chosen by mistake
    // could wait for ever.
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (error)
            *error = "not a regular file";
        ::CloseHandle(file);
        return false;
    }
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            if (error)
                *error = windowsErrorText(::GetLastError());
            ::CloseHandle(file);
            return false;
        }
        if (n == 0)
            break;
        const std::size_t room = maxBytes - bytes.size();
        if (n > room) {
            bytes.append(buffer, room);
            if (truncated)
                *truncated = true;
            break;
        }
        bytes.append(buffer, n);
    }
    ::CloseHandle(file);
    return true;
}

} // namespace quintaro
