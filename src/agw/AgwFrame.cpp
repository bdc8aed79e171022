#include "AgwFrame.h"

#include <cstring>

namespace quintaro::agw {

Header makeRequest(std::uint8_t kind)
{
    Header header{};
    header[kKindOffset] = kind;
    return header;
}

std::string_view callFrom(const std::uint8_t *header)
{
    const auto *field = reinterpret_cast<const char *>(header + kCallFromOffset);
    const void *nul = std::memchr(field, 0, kCallFieldSize);
    const std::size_t size =
        nul ? std::size_t(static_cast<const char *>(nul) - field) : kCallFieldSize;
    return {field, size};
}

Version versionFromData(const std::uint8_t *data, std::size_t length)
{
    const auto byteAt = [&](std::size_t i) -> std::uint16_t { return i < length ? data[i] : 0; };
    Version version;
    version.majorVersion = std::uint16_t(byteAt(0) | (byteAt(1) << 8));
    version.minorVersion = std::uint16_t(byteAt(4) | (byteAt(5) << 8));
    return version;
}

} // namespace quintaro::agw
