#include "ProgramPath.h"

#include <windows.h>

#include <string>

namespace quintaro::display {

namespace {

std::wstring fullPath(const std::wstring &name)
{
    wchar_t buffer[32768];
    const DWORD n = ::GetFullPathNameW(name.c_str(), 32768, buffer, nullptr);
    return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}

} // namespace

int programPathWords()
{
    wchar_t module[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, module, 32768);
    if (length == 0 || length >= 32768)
        return 1;
    const std::wstring self(module, length);
    const auto sameFile = [&](const std::wstring &name) {
        const std::wstring full = fullPath(name);
        return !full.empty() && ::CompareStringOrdinal(full.c_str(), int(full.size()), self.c_str(),
                                                       int(self.size()), TRUE) == CSTR_EQUAL;
    };
    return programPathWords(::GetCommandLineW(), [&](std::wstring_view prefix) {
        const std::wstring name(prefix);
        return sameFile(name) || sameFile(name + L".exe");
    });
}

} // namespace quintaro::display
