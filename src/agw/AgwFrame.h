#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quintaro::agw {

// Every frame on the AGWPE connection, in both directions, starts with this
// fixed header; the data block whose length it announces follows directly.
inline constexpr std::size_t kHeaderSize = 36;

// Offsets inside the header.
inline constexpr std::size_t kKindOffset = 4;
inline constexpr std::size_t kCallFromOffset = 8;
inline constexpr std::size_t kCallFieldSize = 10;
inline constexpr std::size_t kLengthOffset = 28;

// The engine reads only the low 16 bits of the length, so no real frame
// carries more data than this.
inline constexpr std::size_t kMaxDataLength = 0xFFFF;
inline constexpr std::size_t kMaxFrameSize = kHeaderSize + kMaxDataLength;

// Data kinds sent to the engine.
inline constexpr std::uint8_t kMonitorRequest = 'm';
inline constexpr std::uint8_t kVersionRequest = 'R';

// Data kinds acted on when received, matched exactly (a lower-case "u" is
// another kind).
inline constexpr std::uint8_t kMonitoredHeard = 'U';
inline constexpr std::uint8_t kMonitoredSent = 'T';
inline constexpr std::uint8_t kVersionReply = 'R';

using Header = std::array<std::uint8_t, kHeaderSize>;

// A bare request header: every byte 0 except the data kind.
Header makeRequest(std::uint8_t kind);

// Readers over a pointer to the first byte of a header; the caller
// guarantees kHeaderSize readable bytes there.
inline std::uint8_t dataKind(const std::uint8_t *header)
{
    return header[kKindOffset];
}

// The source call: the CallFrom bytes before the first NUL, at most ten.
// The view points into the header, so it lives as long as the block does.
inline std::string_view callFrom(const std::uint8_t *header)
{
    const auto *field = reinterpret_cast<const char *>(header + kCallFromOffset);
    const void *nul = std::memchr(field, 0, kCallFieldSize);
    const std::size_t size =
        nul ? std::size_t(static_cast<const char *>(nul) - field) : kCallFieldSize;
    return {field, size};
}

// Data length as the engine means it: byte 28 + 256 * byte 29.
inline std::uint32_t dataLength(const std::uint8_t *header)
{
    return std::uint32_t(header[kLengthOffset]) | (std::uint32_t(header[kLengthOffset + 1]) << 8);
}

// False when bytes 30 or 31 of the length are set: such a header announces
// more than 65 535 bytes, which no engine ever sends, so the peer is not
// speaking the AGWPE protocol (or the stream has lost its frame boundaries).
inline bool isValidHeader(const std::uint8_t *header)
{
    return header[kLengthOffset + 2] == 0 && header[kLengthOffset + 3] == 0;
}

struct Version
{
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
};

// The engine's version from the data of an "R" reply: the low 16 bits of
// the two 32-bit numbers. A reply cut short by a misbehaving engine is read
// as far as it goes; the bytes it lacks count as 0.
Version versionFromData(const std::uint8_t *data, std::size_t length);

} // namespace quintaro::agw
