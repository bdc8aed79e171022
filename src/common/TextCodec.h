#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quintaro {

// Text the user typed or chose (addresses, paths) is stored as UTF-8, the
// encoding of this system's file names. Files written elsewhere in a
// single-byte code page still load: bytes that are not valid UTF-8 are read
// one character per byte.
QString decodeLocalText(std::string_view bytes);
std::string encodeLocalText(const QString &text);

// Calls and monitor text are the radio's bytes, shown one character per
// byte; the program keeps the bytes themselves, so that any byte a call
// holds goes out unchanged when Brezomat is started for it or the list is
// saved.
inline QString fromRadioBytes(std::string_view bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace quintaro
