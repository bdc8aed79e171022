#pragma once

// The local clock as the platform keeps it (LocalClock_unix.cpp,
// LocalClock_win.cpp): TimeText builds its texts on these two calls alone,
// never on a C library's strftime, whose conversions differ between
// platforms.

#include <cstdint>

namespace quintaro::localclock {

struct Fields
{
    int year = 1970;
    int month = 1; // 1 to 12
    int day = 1;   // of the month
    int hour = 0;
    int minute = 0;
    int second = 0;
    int yearDay = 0;    // 0 to 365
    long utcOffset = 0; // seconds east of UTC
};

// The local clock's reading at `when` (seconds since 1970).
Fields at(std::int64_t when);
// When the local clock read `fields` (its date and time of day); a time that
// a clock change skipped or repeated is one of the times near it, as the
// platform decides.
std::int64_t when(const Fields &fields);

} // namespace quintaro::localclock
