#include "WindowsText.h"

#include <windows.h>

namespace quintaro {

std::wstring wideFromCodePage(unsigned codePage, std::string_view bytes, bool *valid)
{
    if (valid)
        *valid = true;
    if (bytes.empty())
        return {};
    const int size = int(bytes.size());
    int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (n <= 0) {
        if (valid)
            *valid = false;
        n = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    }
    std::wstring text(std::size_t(std::max(n, 0)), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(codePage, 0, bytes.data(), size, text.data(), n);
    return text;
}

std::wstring widePath(std::string_view utf8)
{
    return wideFromCodePage(CP_UTF8, utf8);
}

std::string codePageFromWide(unsigned codePage, std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = int(text.size());
    const int n =
        ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(std::size_t(std::max(n, 0)), '\0');
    if (n > 0)
        ::WideCharToMultiByte(codePage, 0, text.data(), size, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::string windowsErrorText(unsigned long code)
{
    char *text = nullptr;
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string message = n > 0 ? std::string(text, n) : "error " + std::to_string(code);
    if (text)
        ::LocalFree(text);
    // Windows ends its messages with a full stop and a line break.
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

} // namespace quintaro
