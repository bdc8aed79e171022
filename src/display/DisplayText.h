#pragma once

#include "WeatherRules.h"
#include "WeatherStatistics.h"
#include "WindRose.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace quintaro::display {

// The words the weather display shows and a screen reader speaks, in either
// unit system. An accessible name holds a value and whether it is stale,
// never its ticking age, so that a screen reader is not told of a change
// every second.

// "Temperature", "Rain in the last hour", "Gusts".
QString fieldName(weather::Field field);
// "25.0 °C", "29.92 inHg", "220°".
QString displayValue(weather::Field field, double reportValue, weather::Units units);
// The value's accessible name: "Temperature 25.0 °C", "Temperature 25.0 °C,
// stale".
QString accessibleValue(const QString &name, const QString &value, bool stale);

// One of the 16 points of the compass the wind blows from: "N", "SSW".
QString compassPoint(double degrees);
// The name of a wind rose's sector, 0 to 15: "N", "NNE".
QString sectorName(int sector);
// "rising", "falling", "steady"; empty when unknown.
QString tendencyWord(Tendency tendency);
// The pressure with its tendency: "1013.2 hPa, rising".
QString pressureText(double reportHpa, const PressureTendency &tendency, weather::Units units);

// The wind as shown beside the compass: "6.4 km/h, gusts 8.0 km/h", "calm".
QString windText(std::optional<double> speed, std::optional<double> gust, weather::Units units);
// The wind in words: "Wind from SW (220°) at 6.4 km/h, gusts 8.0 km/h".
QString windAccessibleText(std::optional<double> direction, std::optional<double> speed,
                           std::optional<double> gust, weather::Units units);

// A clock time of today "14:03", or of another day "6 Dec 14:03".
QString shortTime(std::int64_t when, std::int64_t now);

// A day and time of the statistics: "14:03" today, "6 Dec 14:03" this
// year, "6 Dec 2025 14:03" before.
QString dayAndTime(std::int64_t when, std::int64_t now);
// A day: "today", "6 Dec", "6 Dec 2025".
QString dayText(const QDate &day, const QDate &today);
// "Today", "Last 7 days", "All recorded".
QString periodName(history::Period period);
// "January", "February".
QString monthName(int month);
// The days a month's extremes were found in: "January 2025–2027, 74 days",
// "January 2026, every day", "12–31 January 2026, 20 days", "7 December
// 2026 only".
QString monthCoverage(const history::MonthRecords &month);

// A graph's description for a screen reader: its span's lowest, highest and
// last value, e.g. "Last 24 hours: lowest 3.1 °C (05:12), highest 12.0 °C
// (14:40), last 8.2 °C (16:05)", or that it holds no values.
QString graphDescription(const std::optional<SeriesSummary> &summary, weather::Field field,
                         weather::Units units, Span span, std::int64_t now);

// A wind rose's band in words: "1–5 km/h", "≥ 39 mph".
QString roseBandName(int band, weather::Units units);
// A share in whole per cent: "12 %".
QString percentText(double percent);
// "calm 12 %".
QString calmText(const WindRose &rose);
// The rose's description for a screen reader: "Wind rose, last 24 hours:
// mostly from SW (22 %), calm 12 %", or that no wind was reported.
QString windRoseDescription(const WindRose &rose, Span span);

} // namespace quintaro::display
