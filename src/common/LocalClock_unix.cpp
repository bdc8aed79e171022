#include "LocalClock.h"

#include <ctime>

namespace quintaro::localclock {

Fields at(std::int64_t when)
{
    const std::time_t time = static_cast<std::time_t>(when);
    std::tm tm{};
    localtime_r(&time, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
            tm.tm_min,         tm.tm_sec,     tm.tm_yday, tm.tm_gmtoff};
}

} // namespace quintaro::localclock
