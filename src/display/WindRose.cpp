#include "WindRose.h"

#include <algorithm>
#include <cmath>

namespace quintaro::display {

using weather::Field;

std::array<double, kRoseBands> roseBandFloors(weather::Units units)
{
    // Beaufort's forces 1, 2, 4, 6 and 8 begin at these speeds.
    if (units == weather::Units::Metric)
        return {1, 6, 20, 39, 62};
    return {1, 4, 13, 25, 39};
}

int roseSector(double degrees)
{
    const double turned = std::fmod(std::fmod(degrees, 360.0) + 360.0, 360.0);
    return int(std::floor(turned / (360.0 / kRoseSectors) + 0.5)) % kRoseSectors;
}

int WindRose::sectorTotal(int sector) const
{
    int sum = 0;
    for (const int count : counts[std::size_t(sector)])
        sum += count;
    return sum;
}

std::optional<int> WindRose::prevailingSector() const
{
    std::optional<int> best;
    int most = 0;
    for (int sector = 0; sector < kRoseSectors; ++sector) {
        if (const int count = sectorTotal(sector); count > most) {
            most = count;
            best = sector;
        }
    }
    return best;
}

WindRose windRose(std::span<const Sample> samples, std::int64_t fromUtc, weather::Units units)
{
    const auto floors = roseBandFloors(units);
    WindRose rose;
    for (const Sample &sample : samplesSince(samples, fromUtc)) {
        const std::optional<double> speed = sample.values.value(Field::WindSpeed);
        if (!speed)
            continue;
        const double shown = weather::inUnits(Field::WindSpeed, *speed, units);
        if (shown < floors[0]) {
            ++rose.calm;
            ++rose.total;
            continue;
        }
        const std::optional<double> direction = sample.values.value(Field::WindDirection);
        if (!direction)
            continue;
        const auto band =
            std::upper_bound(floors.begin(), floors.end(), shown) - floors.begin() - 1;
        ++rose.counts[std::size_t(roseSector(*direction))][std::size_t(band)];
        ++rose.total;
    }
    return rose;
}

} // namespace quintaro::display
