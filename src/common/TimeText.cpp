#include "TimeText.h"

#include <ctime>

namespace quintaro {

namespace {

std::tm localTime(std::int64_t when)
{
    const std::time_t time = static_cast<std::time_t>(when);
    std::tm tm{};
    localtime_r(&time, &tm);
    return tm;
}

std::string formatted(const std::tm &tm, const char *format)
{
    char buffer[64];
    const std::size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
    return std::string(buffer, n);
}

} // namespace

std::string describeAge(std::int64_t seconds)
{
    if (seconds < 0)
        seconds = 0;
    if (seconds < 60)
        return std::to_string(seconds) + " s ago";
    if (seconds < 3600)
        return std::to_string(seconds / 60) + " min ago";
    if (seconds < 86400)
        return std::to_string(seconds / 3600) + " h ago";
    const std::int64_t days = seconds / 86400;
    return std::to_string(days) + (days == 1 ? " day ago" : " days ago");
}

std::string localTimeText(std::int64_t when, std::int64_t now)
{
    const std::tm then = localTime(when);
    const std::tm today = localTime(now);
    const bool sameDay = then.tm_year == today.tm_year && then.tm_yday == today.tm_yday;
    return formatted(then, sameDay ? "%H:%M:%S" : "%Y-%m-%d %H:%M:%S");
}

std::string formatLocalTime(std::int64_t when, const char *format)
{
    return formatted(localTime(when), format);
}

long localUtcOffset(std::int64_t when)
{
    return localTime(when).tm_gmtoff;
}

std::int64_t startOfLocalDay(std::int64_t when)
{
    std::tm tm = localTime(when);
    tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
    // Whether summer time held at midnight is for mktime to find out.
    tm.tm_isdst = -1;
    return std::int64_t(std::mktime(&tm));
}

} // namespace quintaro
