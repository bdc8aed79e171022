#include "TextCodec.h"
#include "WindowsText.h"

#include <windows.h>

namespace quintaro {

QString decodeLocalText(std::string_view bytes)
{
    return QString::fromStdWString(wideFromCodePage(CP_ACP, bytes));
}

std::string encodeLocalText(const QString &text)
{
    return codePageFromWide(CP_ACP, text.toStdWString());
}

std::string filePathBytes(const QString &path)
{
    return path.toStdString();
}

QString fromFilePathBytes(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

} // namespace quintaro
