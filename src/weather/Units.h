#pragma once

#include <array>

namespace quintaro::weather {

inline constexpr double kKmhPerMph = 1.609344;
inline constexpr double kMmPerInch = 25.4;
inline constexpr double kMphPerKnot = 1852.0 / 1609.344;

namespace detail {
// 1.08^n - 1 for every speed byte of a compressed position, computed once at
// compile time so that decoding needs no pow().
constexpr std::array<double, 91> makeCompressedSpeeds()
{
    std::array<double, 91> speeds{};
    double power = 1.0;
    for (std::size_t n = 0; n < speeds.size(); ++n) {
        speeds[n] = power - 1.0;
        power *= 1.08;
    }
    return speeds;
}
inline constexpr std::array<double, 91> kCompressedSpeeds = makeCompressedSpeeds();
} // namespace detail

// Speed in knots carried by a compressed position's speed byte less 33
// (0 to 90).
constexpr double compressedSpeedKnots(int n)
{
    return detail::kCompressedSpeeds[std::size_t(n)];
}

} // namespace quintaro::weather
