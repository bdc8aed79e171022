#pragma once

#include "StationList.h"
#include "WeatherText.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quintaro::stations {

// The station details show values as the weather display does.
using Units = weather::Units;

// The columns of the station table, in order.
enum class Column {
    Call,
    LastHeard,
    Reports,
    Temperature,
    WindDirection,
    WindSpeed,
    WindGust,
    Humidity,
    Pressure,
    Rain1h,
    Rain24h,
    // Worked out from the report; after the reported values, so that a CSV
    // read by column position keeps its columns.
    DewPoint,
    FeelsLike,
};
inline constexpr int kColumnCount = 13;

// Texts are UTF-8; numbers have a dot and no grouping, whatever the locale.
std::string columnTitle(Column column, Units units);
// A cell as the table shows it: empty when the value is missing.
std::string cellText(const StationList &list, int row, Column column, Units units);
// A cell's value for sorting: missing values have none.
std::optional<double> cellValue(const StationList &list, int row, Column column, Units units);
// What a cell's value is, where the title cannot say: "wind chill" for a
// feels-like temperature. Empty for every other cell.
std::string cellNote(const StationList &list, int row, Column column);

// What a person wants to know of a station at a glance, one line each: when
// it was last heard and how long ago, how many reports, and every value its
// last report held.
std::string stationSummary(const StationDetails *details, std::int64_t now, Units units);

// The table as a CSV file (RFC 4180: CR LF, fields with a comma, quote or
// line break quoted, quotes doubled), UTF-8, one header row, the rows in
// the order given, times in ISO 8601. A call that a spreadsheet would take
// for a formula gets a leading apostrophe: calls come from the radio.
std::string writeStationTableCsv(const StationList &list, const std::vector<int> &rows,
                                 Units units);

} // namespace quintaro::stations
