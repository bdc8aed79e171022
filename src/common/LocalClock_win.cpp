#include "LocalClock.h"

#include <ctime>

namespace quintaro::localclock {

// Windows' C runtime, as Qt's own local time on Windows: both then agree,
// and both follow a TZ of the POSIX form ("CET-1") the way Windows does.
Fields at(std::int64_t when)
{
    const __time64_t time = when;
    std::tm tm{};
    if (_localtime64_s(&tm, &time) != 0)
        return {};
    std::tm copy = tm;
    const long offset = long(_mkgmtime64(&copy) - time);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
            tm.tm_min,         tm.tm_sec,     tm.tm_yday, offset};
}

} // namespace quintaro::localclock
