#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstring>
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

// Bytes into a frame stream as a read from the socket brings them.
template <typename Stream> void feed(Stream &stream, const std::uint8_t *bytes, std::size_t n)
{
    if (n > 0)
        std::memcpy(stream.prepare(n), bytes, n);
    stream.commit(n);
}

inline const std::uint8_t *bytes(const std::string &s)
{
    return reinterpret_cast<const std::uint8_t *>(s.data());
}

inline QByteArray qbytes(std::string_view s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

// A request as the window sends it: 36 bytes, all 0 but the kind.
inline std::string request(char kind)
{
    std::string bytes(36, '\0');
    bytes[4] = kind;
    return bytes;
}

// A monitored frame's data as Direwolf lays it out: the header line, the
// information field, each ended by a carriage return, then a NUL.
inline std::string monitorData(const std::string &call, const std::string &info)
{
    return " 1:Fm " + call + " To APRS <UI pid=F0 Len=" + std::to_string(info.size()) +
           " PF=0 >[12:00:00]\r" + info + "\r" + std::string(1, '\0');
}

// The two lines the monitor window shows for such a frame.
inline QStringList monitorLines(const std::string &call, const std::string &info)
{
    return {QString::fromStdString(" 1:Fm " + call + " To APRS <UI pid=F0 Len=" +
                                   std::to_string(info.size()) + " PF=0 >[12:00:00]"),
            QString::fromStdString(info)};
}

inline std::string monitoredFrame(char kind, const std::string &call, const std::string &info)
{
    return makeFrame(kind, call, monitorData(call, info));
}

// The engine's version reply; by default version 2000.78.
inline std::string versionReply(char major = '\xD0', char minor = '\x4E')
{
    return makeFrame('R', "", std::string{major, '\x07', 0, 0, minor, 0, 0, 0});
}

// Information fields: two weather reports and an ordinary position.
inline const std::string kWxPositionless = "_10090556c220s004g005t077r000p000P000h50b09900";
inline const std::string kWxPosition = "!4530.12N/00912.34E_180/005g010t068r000p000P000h55b10132";
inline const std::string kPosition = "!4512.00N/01100.00E>Driving";

} // namespace agwtest
