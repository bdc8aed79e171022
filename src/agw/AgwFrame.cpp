#include "AgwFrame.h"

#include <cstring>

namespace quintaro::agw {

Header makeRequest(std::uint8_t kind)
{
    Header header{};
    header[kKindOffset] = kind;
    return header;
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
