#include "CodePages.h"

#include <windows.h>

namespace quintaro::rtf {

UpperHalf upperHalfOf(int codePage)
{
    UpperHalf half{};
    for (std::size_t i = 0; i < half.size(); ++i) {
        const char byte = static_cast<char>(0x80 + i);
        wchar_t text[2] = {};
        const int n =
            ::MultiByteToWideChar(UINT(codePage), MB_ERR_INVALID_CHARS, &byte, 1, text, 2);
        half[i] = n == 1 ? char32_t(text[0]) : U'\uFFFD';
    }
    return half;
}

} // namespace quintaro::rtf
