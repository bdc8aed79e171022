#pragma once

// Windows only: text between the program's bytes and the wide characters of
// Windows' calls. Paths are handed down as UTF-8, never through the 8-bit
// code page, which would lose every character it lacks.

#include <string>
#include <string_view>

namespace quintaro {

// A UTF-8 path as Windows' wide calls take it.
std::wstring widePath(std::string_view utf8);
// Bytes in the code page `codePage` (CP_ACP, 1252, 437, ...) as wide
// characters; `valid` is false when a byte has no character there.
std::wstring wideFromCodePage(unsigned codePage, std::string_view bytes, bool *valid = nullptr);
// Wide characters in the code page `codePage`; characters it lacks become
// its default character.
std::string codePageFromWide(unsigned codePage, std::wstring_view text);
// The system's words for an error code of GetLastError(), in the 8-bit code
// page, as strerror() gives them elsewhere.
std::string windowsErrorText(unsigned long code);

} // namespace quintaro
