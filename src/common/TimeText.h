#pragma once

#include <cstdint>
#include <string>

namespace quintaro {

// How long ago, in the largest whole unit: "45 s ago", "3 min ago", "2 h ago",
// "4 days ago". A clock set back reads as "0 s ago".
std::string describeAge(std::int64_t seconds);
// Local time, "14:03:12" on the day of `now`, else "2026-12-06 14:03:12".
std::string localTimeText(std::int64_t when, std::int64_t now);
// `when` (seconds since 1970) in local time, by `format`: strftime's %Y %m %d
// %-d %H %M %S %b and %%, the same on every platform.
std::string formatLocalTime(std::int64_t when, const char *format);
// The UTC offset of local time at `when`, in seconds east.
long localUtcOffset(std::int64_t when);
// The local midnight that began the day of `when`.
std::int64_t startOfLocalDay(std::int64_t when);

} // namespace quintaro
