#include "ConsoleOutput.h"

#include <windows.h>

#include <string>

namespace quintaro {

namespace {

std::wstring wide(std::string_view utf8)
{
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring text(std::size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), text.data(), n);
    return text;
}

// The handle to print to: one the program was given (a file, a pipe), else
// the console of the program that started it, else none.
HANDLE outputHandle(DWORD which)
{
    HANDLE handle = ::GetStdHandle(which);
    if (handle && handle != INVALID_HANDLE_VALUE)
        return handle;
    // Opened once, for output and errors alike, and kept to the end.
    static const HANDLE console = []() -> HANDLE {
        if (!::AttachConsole(ATTACH_PARENT_PROCESS))
            return nullptr;
        const HANDLE opened = ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
        return opened == INVALID_HANDLE_VALUE ? nullptr : opened;
    }();
    return console;
}

bool writeAll(HANDLE handle, std::string_view bytes)
{
    DWORD mode = 0;
    if (::GetConsoleMode(handle, &mode)) {
        // A console shows UTF-16, whatever its code page.
        const std::wstring text = wide(bytes);
        DWORD written = 0;
        return ::WriteConsoleW(handle, text.data(), DWORD(text.size()), &written, nullptr);
    }
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.data(), DWORD(bytes.size()), &written, nullptr))
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

} // namespace

void printForUser(std::string_view text, bool isError)
{
    if (HANDLE handle = outputHandle(isError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
        handle && writeAll(handle, text))
        return;
    std::wstring message = wide(text);
    while (!message.empty() && message.back() == L'\n')
        message.pop_back();
    ::MessageBoxW(nullptr, message.c_str(), L"Quintaro",
                  MB_OK | (isError ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
}

bool printForScript(std::string_view bytes)
{
    HANDLE handle = outputHandle(STD_OUTPUT_HANDLE);
    return handle && writeAll(handle, bytes);
}

} // namespace quintaro
