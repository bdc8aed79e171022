#include "CodePages.h"

#include <QStringDecoder>

namespace quintaro::rtf {

namespace {

const char *qtName(int codePage)
{
    switch (codePage) {
    case 1250:
        return "windows-1250";
    case 1251:
        return "windows-1251";
    case 28592:
        return "ISO-8859-2";
    case 437:
        return "IBM437";
    case 850:
        return "IBM850";
    case 10000:
        return "macintosh";
    default:
        return "windows-1252";
    }
}

} // namespace

UpperHalf upperHalfOf(int codePage)
{
    UpperHalf half{};
    for (std::size_t i = 0; i < half.size(); ++i) {
        const char byte = static_cast<char>(0x80 + i);
        QStringDecoder decoder(qtName(codePage));
        const QString text = decoder(QByteArrayView(&byte, 1));
        half[i] = !decoder.hasError() && text.size() == 1 ? text[0].unicode() : U'\uFFFD';
    }
    return half;
}

} // namespace quintaro::rtf
