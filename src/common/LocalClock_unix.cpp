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

std::int64_t when(const Fields &fields)
{
    std::tm tm{};
    tm.tm_year = fields.year - 1900;
    tm.tm_mon = fields.month - 1;
    tm.tm_mday = fields.day;
    tm.tm_hour = fields.hour;
    tm.tm_min = fields.minute;
    tm.tm_sec = fields.second;
    // Whether summer time held then is for mktime to find out.
    tm.tm_isdst = -1;
    return std::int64_t(std::mktime(&tm));
}

} // namespace quintaro::localclock
