#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quintaro {

// Text the user typed or chose (addresses, paths) in the system's 8-bit
// character set, as the settings, list and batch files hold it: UTF-8, the
// encoding of file names, on Linux (files written elsewhere in a single-byte
// code page still load: bytes that are not valid UTF-8 are read one
// character per byte); the ANSI code page on Windows, which cmd.exe and
// other programs read these files in.
QString decodeLocalText(std::string_view bytes);
std::string encodeLocalText(const QString &text);

// A file's path as the plain C++ file readers and writers take it: the
// bytes of the system's file names on Linux, UTF-8 on Windows, where they
// reach the wide-character calls without losing a character.
std::string filePathBytes(const QString &path);
QString fromFilePathBytes(std::string_view bytes);

// Calls and monitor text are the radio's bytes: one character per byte, both
// ways, so that any byte a call holds comes back unchanged when Brezomat is
// started for it, the list is saved or the history store gives it back.
inline QString fromRadioBytes(std::string_view bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
inline std::string toRadioBytes(const QString &call)
{
    const QByteArray bytes = call.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace quintaro
