#pragma once

#include "WeatherRules.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace quintaro::display {

// The wind rose of a span: how often the wind blew from each of the 16
// points of the compass, in bands of strength, and how often it was calm.

inline constexpr int kRoseSectors = 16;
inline constexpr int kRoseBands = 5;

// The lowest speed of each band in the units shown, Beaufort's forces taken
// two by two so that five bands cover every wind: force 1, 2 to 3, 4 to 5,
// 6 to 7, 8 and more. Below the first is calm (force 0); a station that
// reports whole mph is calm at 0 in either unit system.
std::array<double, kRoseBands> roseBandFloors(weather::Units units);

// The point of the compass a direction falls to, 0 for N to 15 for NNW:
// each takes the 22.5° around it, its lower edge included (348.75° is N,
// 11.25° NNE); 360° is N.
int roseSector(double degrees);

struct WindRose
{
    // Reports in each sector and band.
    std::array<std::array<int, kRoseBands>, kRoseSectors> counts{};
    int calm = 0;
    // Every report counted: the calm ones and those placed in a sector.
    int total = 0;

    int sectorTotal(int sector) const;
    // A count's share of every report counted, in per cent.
    double percent(int count) const { return total > 0 ? 100.0 * count / total : 0.0; }
    // The sector the wind blew from most often, the first of a tie; none
    // when it was always calm or never reported.
    std::optional<int> prevailingSector() const;
};

// The rose of the reports heard at or after `fromUtc`, their speeds banded
// in `units`. The gust is a moment and never counts. A report with a wind
// but no direction cannot be placed and is left out; a calm one needs none.
WindRose windRose(std::span<const Sample> samples, std::int64_t fromUtc, weather::Units units);

} // namespace quintaro::display
