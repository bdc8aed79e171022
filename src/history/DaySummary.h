#pragma once

#include "WeatherReport.h"

#include <QDate>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quintaro::history {

// A day as the user lives it: a calendar date of the local time zone, from
// its first second to the next day's first. Around the clock changes a day
// lasts 23 or 25 hours, and it is still one day.
struct LocalDay
{
    QDate date;
    std::int64_t startUtc = 0; // seconds since 1970
    std::int64_t endUtc = 0;   // the next day's start
    friend bool operator==(const LocalDay &, const LocalDay &) = default;
};
// The local day `utc` falls on. The one rule that keys the daily summaries,
// for the writer and for the migration that builds them from older reports.
LocalDay localDayOf(std::int64_t utc);
// The local day of a date.
LocalDay localDayOfDate(const QDate &date);

// A value as the reports table holds it: reports write at most two
// decimals, which the floats of a decoded report blur. The table and the
// summaries keep values so, whether they come from a report just heard or
// from the table.
std::optional<double> storedValue(std::optional<double> value);

// A highest or lowest value and when it was first reached.
struct Extreme
{
    double value = 0; // in the report's own unit
    std::int64_t utc = 0;
    friend bool operator==(const Extreme &, const Extreme &) = default;
};

// The highs and lows of a stretch of reports, in the reports' own units
// (°F, %, hPa, mph, degrees): a day's, or a period's made of days.
struct Extremes
{
    std::optional<Extreme> temperatureHigh, temperatureLow;
    std::optional<Extreme> dewPointHigh, dewPointLow;
    std::optional<Extreme> humidityHigh, humidityLow;
    std::optional<Extreme> pressureHigh, pressureLow;
    std::optional<Extreme> gust;
    std::optional<double> gustDirection; // sent with the strongest gust
    // The mean wind is the mean of the reports' wind speeds.
    double windSum = 0;
    std::int64_t windReports = 0;

    std::optional<double> windMean() const;
    // One report's values, at `utc`.
    void add(std::int64_t utc, const weather::WeatherReport &values);
    // Another stretch's: the result does not depend on the order in which
    // stretches or reports come, a tie going to the earlier time.
    void merge(const Extremes &other);
};

// The extremes by name, in the order the statistics and the daily CSV show
// them, with the field their values are of.
struct ExtremeMeasure
{
    const char *name;
    weather::Field field;
    std::optional<Extreme> Extremes::*member;
};
inline constexpr ExtremeMeasure kExtremeMeasures[] = {
    {"Highest temperature", weather::Field::Temperature, &Extremes::temperatureHigh},
    {"Lowest temperature", weather::Field::Temperature, &Extremes::temperatureLow},
    {"Highest dew point", weather::Field::Temperature, &Extremes::dewPointHigh},
    {"Lowest dew point", weather::Field::Temperature, &Extremes::dewPointLow},
    {"Highest humidity", weather::Field::Humidity, &Extremes::humidityHigh},
    {"Lowest humidity", weather::Field::Humidity, &Extremes::humidityLow},
    {"Highest pressure", weather::Field::Pressure, &Extremes::pressureHigh},
    {"Lowest pressure", weather::Field::Pressure, &Extremes::pressureLow},
    {"Strongest gust", weather::Field::WindGust, &Extremes::gust},
};

// How the day's rain was found, in the order tried: the station's own
// total since midnight, the last-hour values summed over the day, or a
// 24-hour total sent near the day's end.
enum class RainSource { None, SinceMidnight, LastHour, Last24Hours };
// The word the store's rain_from column and the daily CSV give a source:
// "since-midnight", "last-hour", "last-24-hours"; none for None.
const char *rainSourceWord(RainSource source);

// A last-hour value tells the rain of the hour before it, no more: a report
// after a longer silence counts for that hour, and the rest of the silence
// counts for nothing.
inline constexpr std::int64_t kLastHourSeconds = 3600;
// A 24-hour total tells the day's rain only when sent within this long of
// the day's end.
inline constexpr std::int64_t kDayEndSeconds = 3600;

// One station's local day, summed up from its reports: kept in the store
// for years after the reports themselves are removed.
struct DaySummary
{
    std::string call; // the radio's bytes
    LocalDay day;
    std::int64_t reports = 0;
    std::int64_t firstUtc = 0;
    std::int64_t lastUtc = 0;
    Extremes extremes;
    // What the day's rain is found from, kept so that later reports carry on.
    std::optional<double> rainSinceMidnightHigh;
    double rainLastHourSum = 0;                  // inches
    std::optional<std::int64_t> rainLastHourUtc; // the last report with a last-hour value
    std::optional<Extreme> rain24hLast;          // the last 24-hour total and when

    // Adds a report of the day. A last-hour value heard before the last one
    // already added cannot be placed and is left out of the rain: the
    // writer rebuilds a day from its reports when one comes so late.
    void add(std::int64_t utc, const weather::WeatherReport &values);
    std::optional<double> rain() const;
    RainSource rainSource() const;
};

// Sums reports up into the summaries of their days, as the migration to the
// daily summaries does: each station's reports together, in the order heard.
class DaySummarizer
{
public:
    void add(std::string_view call, std::int64_t utc, const weather::WeatherReport &values);
    // The days whose reports have all come, oldest first, taken out; with
    // `all`, the last day too.
    std::vector<DaySummary> take(bool all);
    std::size_t finished() const { return m_done.size(); }

private:
    std::optional<DaySummary> m_current;
    std::vector<DaySummary> m_done;
};

} // namespace quintaro::history
