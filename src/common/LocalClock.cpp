#include "LocalClock.h"

#include <ctime>

namespace quintaro::localclock {

// One call on both platforms: MinGW's time_t has 64 bits, as Linux's.
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
