#include "CodePages.h"

#include <QStringDecoder>

#include <array>
#include <mutex>

namespace quintaro::rtf {

namespace {

struct NamedCodePage
{
    int codePage;
    const char *qtName;
};

// The code pages a read-me is written in, by the names Qt's decoders know:
// the Windows ones an RTF file names in \ansicpg or through a font's
// character set, and those of \pc, \pca and \mac. 28591 (ISO 8859-1) reads
// as 1252, which agrees with it from 0xA0 up: files labelled Latin-1 that use
// 0x80..0x9F really mean 1252's quotes and dashes.
constexpr std::array<NamedCodePage, 8> kCodePages = {{
    {1252, "windows-1252"},
    {1250, "windows-1250"},
    {1251, "windows-1251"},
    {28591, "windows-1252"},
    {28592, "ISO-8859-2"},
    {437, "IBM437"},
    {850, "IBM850"},
    {10000, "macintosh"},
}};

constexpr std::size_t kUnknown = kCodePages.size();

std::size_t indexOf(int codePage)
{
    for (std::size_t i = 0; i < kCodePages.size(); ++i) {
        if (kCodePages[i].codePage == codePage)
            return i;
    }
    return kUnknown;
}

// Code points of 0x80..0xFF.
using UpperHalf = std::array<char32_t, 128>;

// Bytes that are unassigned, and C1 control codes (which Qt's decoders give
// for some unassigned bytes), map to U+FFFD: they never stand for text a
// reader should see.
UpperHalf decodeUpperHalf(const char *qtName)
{
    UpperHalf half{};
    for (std::size_t i = 0; i < half.size(); ++i) {
        const char byte = static_cast<char>(0x80 + i);
        QStringDecoder decoder(qtName);
        const QString text = decoder(QByteArrayView(&byte, 1));
        const bool isText = !decoder.hasError() && text.size() == 1 &&
                            (text[0].unicode() < 0x80 || text[0].unicode() > 0x9F);
        half[i] = isText ? text[0].unicode() : U'\uFFFD';
    }
    return half;
}

// Each code page is decoded once, when a document first uses it; reading a
// byte is then a table lookup.
const UpperHalf &upperHalf(std::size_t index)
{
    static std::array<UpperHalf, kCodePages.size()> halves;
    static std::array<std::once_flag, kCodePages.size()> decoded;
    std::call_once(decoded[index],
                   [index] { halves[index] = decodeUpperHalf(kCodePages[index].qtName); });
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
