#pragma once

#include <QByteArray>

#include <cstdint>
#include <string>
#include <string_view>

namespace agwtest {

// A received frame as the engine puts it on the wire; the call is cut to
// the ten bytes of its field.
inline std::string makeFrame(char kind, std::string_view call, std::string_view data)
{
    std::string frame(36, '\0');
    frame[4] = kind;
    frame.replace(8, std::min<std::size_t>(call.size(), 10), call.substr(0, 10));
    frame[28] = char(data.size() & 0xFF);
    frame[29] = char((data.size() >> 8) & 0xFF);
    frame += data;
    return frame;
}

inline const std::uint8_t *bytes(const std::string &s)
{
    return reinterpret_cast<const std::uint8_t *>(s.data());
}

inline QByteArray qbytes(std::string_view s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

} // namespace agwtest
