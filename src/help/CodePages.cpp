#include "CodePages.h"

#include <array>
#include <mutex>

namespace quintaro::rtf {

namespace {

// The code pages a read-me is written in: the Windows ones an RTF file names
// in \ansicpg or through a font's character set, and those of \pc, \pca
// and \mac.
constexpr std::array<int, 8> kCodePages = {1252, 1250, 1251, 28591, 28592, 437, 850, 10000};

constexpr std::size_t kUnknown = kCodePages.size();

std::size_t indexOf(int codePage)
{
    for (std::size_t i = 0; i < kCodePages.size(); ++i) {
        if (kCodePages[i] == codePage)
            return i;
    }
    return kUnknown;
}

// Bytes that are unassigned, and C1 control codes (which converters give
// for some unassigned bytes), map to U+FFFD: they never stand for text a
// reader should see. 28591 (ISO 8859-1) reads as 1252, which agrees with it
// from 0xA0 up: files labelled Latin-1 that use 0x80..0x9F really mean
// 1252's quotes and dashes.
UpperHalf decodeUpperHalf(int codePage)
{
    UpperHalf half = upperHalfOf(codePage == 28591 ? 1252 : codePage);
    for (char32_t &c : half) {
        if (c >= 0x80 && c <= 0x9F)
            c = U'\uFFFD';
    }
    return half;
}

// Each code page is decoded once, when a document first uses it; reading a
// byte is then a table lookup.
const UpperHalf &upperHalf(std::size_t index)
{
    static std::array<UpperHalf, kCodePages.size()> halves;
    static std::array<std::once_flag, kCodePages.size()> decoded;
    std::call_once(decoded[index], [index] { halves[index] = decodeUpperHalf(kCodePages[index]); });
    return halves[index];
}

// The Symbol font's bullet, as word processors write list markers in it.
constexpr unsigned char kSymbolBullet = 0xB7;

} // namespace

bool isKnownCodePage(int codePage)
{
    return indexOf(codePage) != kUnknown;
}

char32_t decodeByte(int codePage, unsigned char byte)
{
    if (byte < 0x80)
        return byte;
    if (codePage == kSymbolCodePage && byte == kSymbolBullet)
        return U'\u2022';
    std::size_t index = indexOf(codePage);
    if (index == kUnknown)
        index = indexOf(1252);
    return upperHalf(index)[byte - 0x80];
}

int codePageForCharset(int charset, int documentCodePage)
{
    switch (charset) {
    case 0: // ANSI
        return 1252;
    case 2: // Symbol
        return kSymbolCodePage;
    case 204: // Russian
        return 1251;
    case 238: // Eastern European
        return 1250;
    default:
        return documentCodePage;
    }
}

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace quintaro::rtf
