#pragma once

#include <array>
#include <string>

namespace quintaro::rtf {

// Fonts with the Symbol character set: their bytes are glyph numbers, of
// which only the list bullet matters to a read-me.
inline constexpr int kSymbolCodePage = 42;

// The single-byte code pages a read-me is written in. Anything else reads as
// Windows-1252, the code page of an RTF file that names none.
bool isKnownCodePage(int codePage);

// Unicode code point of `byte` in `codePage`; bytes below 0x80 are ASCII.
// A byte the code page leaves undefined gives U+FFFD.
char32_t decodeByte(int codePage, unsigned char byte);

// Code page of a font's `\fcharsetN`; `documentCodePage` where the character
// set says "as the document" or is one this reader does not know.
int codePageForCharset(int charset, int documentCodePage);

// The code points of the bytes 0x80..0xFF of `codePage` as the platform's
// converter reads them (CodePages_unix.cpp: Qt's, by the code page's name;
// CodePages_win.cpp: Windows' own, which has them all where Qt without ICU
// has none), U+FFFD where it has none.
using UpperHalf = std::array<char32_t, 128>;
UpperHalf upperHalfOf(int codePage);

// Appends `codePoint` as UTF-8; anything that is not a Unicode scalar value
// becomes U+FFFD.
void appendUtf8(std::string &out, char32_t codePoint);

} // namespace quintaro::rtf
