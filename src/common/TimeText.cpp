#include "TimeText.h"

#include "LocalClock.h"

namespace quintaro {

namespace {

const char *const kMonthAbbreviations[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void appendNumber(std::string &out, int value, int width)
{
    const std::string digits = std::to_string(value < 0 ? -value : value);
    if (value < 0)
        out += '-';
    if (int(digits.size()) < width)
        out.append(std::size_t(width) - digits.size(), '0');
    out += digits;
}

// The conversions of strftime that the program's texts use, the same on
// every platform: %Y %m %d %-d %H %M %S %b %%; anything else is copied.
std::string formatted(const localclock::Fields &t, const char *format)
{
    std::string out;
    for (const char *p = format; *p; ++p) {
        if (*p != '%' || !p[1]) {
            out += *p;
            continue;
        }
        const bool unpadded = p[1] == '-' && p[2];
        const char conversion = unpadded ? p[2] : p[1];
        const int width = unpadded ? 1 : 2;
        switch (conversion) {
        case 'Y':
            appendNumber(out, t.year, 4);
            break;
        case 'm':
            appendNumber(out, t.month, width);
            break;
        case 'd':
            appendNumber(out, t.day, width);
            break;
        case 'H':
            appendNumber(out, t.hour, width);
            break;
        case 'M':
            appendNumber(out, t.minute, width);
            break;
        case 'S':
            appendNumber(out, t.second, width);
            break;
        case 'b':
            out += kMonthAbbreviations[(t.month + 11) % 12];
            break;
        case '%':
            out += '%';
            break;
        default:
            out.append(p, unpadded ? 3 : 2);
            break;
        }
        p += unpadded ? 2 : 1;
    }
    return out;
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
    const localclock::Fields then = localclock::at(when);
    const localclock::Fields today = localclock::at(now);
    const bool sameDay = then.year == today.year && then.yearDay == today.yearDay;
    return formatted(then, sameDay ? "%H:%M:%S" : "%Y-%m-%d %H:%M:%S");
}

std::string formatLocalTime(std::int64_t when, const char *format)
{
    return formatted(localclock::at(when), format);
}

long localUtcOffset(std::int64_t when)
{
    return localclock::at(when).utcOffset;
}

std::int64_t startOfLocalDay(std::int64_t when)
{
    localclock::Fields midnight = localclock::at(when);
    midnight.hour = midnight.minute = midnight.second = 0;
    return localclock::when(midnight);
}

} // namespace quintaro
