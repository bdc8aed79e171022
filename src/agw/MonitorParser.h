#pragma once

#include "AgwFrame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quintaro::agw {

// The monitor lines that the two-line status window shows: the last two
// complete, non-empty lines of a frame's monitor text, older first. A line
// ends with a carriage return (13); consecutive carriage returns give no
// empty lines; text after the last carriage return is not a line. Line
// feeds and NULs are ordinary characters. The views point into the text.
struct MonitorLines
{
    std::array<std::string_view, 2> lines{};
    std::size_t count = 0; // 0, 1 or 2; lines[count - 1] is the last line
};

MonitorLines lastTwoLines(std::string_view monitorText);
// Only the last of those lines, which is all the weather test looks at; a
// view without data when there is none. A plain view comes back in
// registers: this runs for every frame of a flood.
std::string_view lastLine(std::string_view monitorText);

// The digipeaters a monitored frame came through, as its first line names
// them between " Via " and " <" ("WIDE1-1,WIDE2-1"); empty when it names none.
std::string_view monitorPath(std::string_view monitorText);

// Whether text of up to three characters reads as a whole number: blanks,
// an optional sign, at least one decimal digit, blanks. Anything else
// (decimal point or comma, exponent, hex prefix, currency or grouping
// symbols, a sign after the digits) is not a number here: a wind direction
// is three plain digits, and a looser reading only lets in stations whose
// comment happens to hold something like "_1.5".
bool isNumericText(std::string_view text);

// Whether an APRS information field marks its sender as a weather station:
// a positionless weather report ("_" data type), or a position report or
// object ("!", "=", "/", "@", ";") whose first "_" anywhere in the field is
// followed by up to three characters that read as a number (the weather
// symbol followed by a wind direction).
bool isWeatherReport(std::string_view infoField);

// A weather report as heard, in the received bytes: the sender's call and
// the whole monitor text of its frame (its last line is the APRS
// information field).
struct HeardReport
{
    std::string_view call;
    std::string_view monitorText;
};

enum class FrameKind {
    Monitored, // "U" heard on a radio port, or "T" sent by the engine itself
    Version,   // "R", the engine's version reply
    Other      // anything else, "u" included: passed over
};

// What one frame says, as views into the received block: nothing is copied
// or allocated.
struct ParsedFrame
{
    FrameKind kind = FrameKind::Other;
    std::string_view call;      // CallFrom, for every kind
    std::string_view text;      // Monitored only: the whole monitor text
    std::string_view infoField; // Monitored only: its last line; no data when there is none
    bool weather = false;       // Monitored only: the last line passed isWeatherReport
    Version version;            // Version only
};

// block + headerPos is a whole frame's header followed by dataLength data
// bytes, as FrameStream::cut hands them out. Only the last line of a
// monitored frame is looked for: it is all the weather test needs, and a
// flood of frames is shown only by its last one. Inline: it runs for every
// frame of a flood, and the caller rarely needs every field it fills.
inline ParsedFrame parseFrame(const std::uint8_t *block, std::size_t headerPos,
                              std::uint32_t dataLength)
{
    const std::uint8_t *header = block + headerPos;
    const std::uint8_t *data = header + kHeaderSize;
    ParsedFrame frame;
    frame.call = callFrom(header);
    switch (dataKind(header)) {
    case kMonitoredHeard:
    case kMonitoredSent:
        frame.kind = FrameKind::Monitored;
        frame.text = {reinterpret_cast<const char *>(data), dataLength};
        frame.infoField = lastLine(frame.text);
        frame.weather = frame.infoField.data() && isWeatherReport(frame.infoField);
        break;
    case kVersionReply:
        frame.kind = FrameKind::Version;
        frame.version = versionFromData(data, dataLength);
        break;
    default:
        frame.kind = FrameKind::Other;
        break;
    }
    return frame;
}

} // namespace quintaro::agw
