#pragma once

#include "DaySummary.h"
#include "WeatherRules.h"

#include <span>
#include <string>
#include <string_view>

namespace quintaro::display {

// A station's weather history as CSV, by the program's CSV rules
// (CsvText.h): one row a report, oldest first, its time in ISO 8601 with
// the offset, then the values it reported and the dew point and "feels
// like" temperature worked out from them, in the units chosen, each title
// naming its unit ("Temperature (°C)"); a value not reported is an empty
// field.

// Spreadsheets read a file that starts with it as UTF-8, and so show "°C"
// as it is; scripts reading standard output get none.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

std::string historyCsvHeader(weather::Units units);
std::string historyCsvRow(const Sample &sample, weather::Units units);
// The header and a row for each sample.
std::string historyCsv(std::span<const Sample> samples, weather::Units units);

// A station's daily summaries as CSV by the same rules: one row a day,
// oldest first: its date, how many reports it holds, each highest and
// lowest value with the time it was first reached, the strongest gust with
// the direction sent with it and its time, the mean wind, the day's rain and
// what it was found from, in the store's words ("since-midnight",
// "last-hour", "last-24-hours"); what no report told is an empty field.
std::string dailyCsvHeader(weather::Units units);
std::string dailyCsvRow(const history::DaySummary &day, weather::Units units);
std::string dailyCsv(std::span<const history::DaySummary> days, weather::Units units);

} // namespace quintaro::display
