#pragma once

#include "DerivedValues.h"
#include "WeatherReport.h"
#include "WeatherText.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quintaro::display {

// What the weather display decides without a window, in plain C++: which
// value is current and whether it is stale, the pressure's tendency, today's
// extremes, where a graph breaks for a silent station, the spans a user
// picks and the rain a graph draws.

// One report of the station as the display keeps it, oldest first.
struct Sample
{
    std::int64_t heardUtc = 0; // seconds since 1970
    weather::WeatherReport values;
};

// A value shown older than this is marked stale: a station that sends every
// 5 or 10 minutes has missed several reports by then.
inline constexpr std::int64_t kStaleAfterSeconds = 30 * 60;
// A value the station has not sent for this long is no longer shown at all:
// luminosity and snow appear only while a station reports them.
inline constexpr std::int64_t kForgetAfterSeconds = 24 * 3600;

inline bool isStale(std::int64_t heardUtc, std::int64_t now)
{
    return now - heardUtc > kStaleAfterSeconds;
}

// A field's most recent value and when the report that carried it was heard.
struct TimedValue
{
    double value = 0; // in the report's own unit
    std::int64_t heardUtc = 0;
};

// Each field's value from the most recent report that carries it, so that a
// station sending some values only in every other report keeps showing them;
// a field last sent more than kForgetAfterSeconds before `now` is left out.
std::array<std::optional<TimedValue>, weather::kFieldCount>
latestValues(std::span<const Sample> samples, std::int64_t now);

// The dew point and what the temperature feels like, from the latest
// values, each heard when the oldest value it rests on was: a dew point
// from a fresh temperature and a humidity sent an hour ago is stale.
struct LatestDerived
{
    std::optional<TimedValue> dewPoint;
    std::optional<TimedValue> feelsLike;
    weather::FeelsLikeBasis basis = weather::FeelsLikeBasis::Temperature;
};
LatestDerived
latestDerived(const std::array<std::optional<TimedValue>, weather::kFieldCount> &latest);

// The pressure's 3-hour tendency, the rule barometers use: the latest
// pressure against the one reported nearest to 3 hours before it (a report
// between 2.5 and 3.5 hours earlier). A change of at least 1.0 hPa is rising
// or falling, a smaller one steady; without such an earlier report the
// tendency is unknown.
enum class Tendency { Unknown, Rising, Falling, Steady };
inline constexpr double kTendencyHpa = 1.0;
inline constexpr std::int64_t kTendencySeconds = 3 * 3600;
inline constexpr std::int64_t kTendencyToleranceSeconds = 30 * 60;

struct PressureTendency
{
    Tendency tendency = Tendency::Unknown;
    double changeHpa = 0;
};
PressureTendency pressureTendency(std::span<const Sample> samples);

// Today's (the local calendar day of `now`) highest and lowest temperature
// and highest gust, each at the first time it was reached.
struct DayExtremes
{
    std::optional<TimedValue> highTemperature;
    std::optional<TimedValue> lowTemperature;
    std::optional<TimedValue> highGust;
};
DayExtremes todaysExtremes(std::span<const Sample> samples, std::int64_t now);

// The interval a station usually reports at: the median of the intervals
// between its reports; 0 with fewer than two.
std::int64_t typicalInterval(std::span<const Sample> samples);
// A graph's line is broken where the station was silent for longer than
// three of its usual intervals, and never for less than 30 minutes: one
// missed report is no gap, an hour without any is.
inline constexpr std::int64_t kMinSilenceSeconds = 30 * 60;
std::int64_t silenceBound(std::span<const Sample> samples);

// The samples heard at or after `fromUtc` (samples are kept oldest first).
std::span<const Sample> samplesSince(std::span<const Sample> samples, std::int64_t fromUtc);

// A point of a graph: its time in seconds since 1970, its value in the
// units shown.
struct Point
{
    std::int64_t utc = 0;
    double value = 0;
};
using Segment = std::vector<Point>;

// The field's values heard at or after `fromUtc`, converted to `units`, cut
// into the runs between silences longer than `silence` seconds.
std::vector<Segment> fieldSegments(std::span<const Sample> samples, weather::Field field,
                                   std::int64_t fromUtc, std::int64_t silence,
                                   weather::Units units);

// The spans a user picks for the graphs; they end at the present.
enum class Span { Hours6, Hours24, Days7, Days30 };
inline constexpr std::array<Span, 4> kSpans = {Span::Hours6, Span::Hours24, Span::Days7,
                                               Span::Days30};
std::int64_t spanSeconds(Span span);
// "6 hours", "24 hours", "7 days", "30 days".
std::string spanName(Span span);
// The settings file's word for a span: "6h", "24h", "7d", "30d".
std::string spanKey(Span span);
std::optional<Span> spanFromKey(const std::string &key);
// The time axis of a span: it ends at the next whole step after `now` (the
// next hour for hours, the next local midnight for days), so that its ticks
// fall on whole hours and days, and begins a span before that.
struct TimeAxis
{
    std::int64_t fromUtc = 0;
    std::int64_t toUtc = 0;
    int ticks = 2; // including both ends
};
// `narrow`: a graph with room for few labels.
TimeAxis timeAxis(Span span, std::int64_t now, bool narrow);

// How far back the display keeps reports at most: the longest span.
inline constexpr std::int64_t kHistorySeconds = 30 * 86400;
// Where the reports the display keeps for `span` begin: those the graphs
// draw, and never fewer than today's and the last kForgetAfterSeconds',
// which the values and today's extremes are read from.
std::int64_t keptFrom(Span span, std::int64_t now);

// The rain a graph draws: the rain in the last hour, which shows when and
// how hard it rained over any span and which nearly every station sends; a
// station that sends none of it in the span gets its rain since midnight,
// then its rain in 24 hours.
weather::Field rainFieldFor(std::span<const Sample> samples, std::int64_t fromUtc);

// A graph's lowest, highest and last value over its span, for its
// description.
struct SeriesSummary
{
    Point lowest;
    Point highest;
    Point last;
};
std::optional<SeriesSummary> summarize(const std::vector<Segment> &segments);

} // namespace quintaro::display
