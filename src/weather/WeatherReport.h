#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quintaro::weather {

enum class Field {
    WindDirection,
    WindSpeed,
    WindGust,
    Temperature,
    Rain1h,
    Rain24h,
    RainSinceMidnight,
    Humidity,
    Pressure,
    Luminosity,
    Snow24h
};
inline constexpr int kFieldCount = 11;

// The values a station can plausibly report, in the report's own units. A
// value outside is a broken sensor or a garbled field and is not shown; a
// station at altitude that sends its uncorrected station pressure falls
// below the lowest sea-level pressure ever measured and is dropped too.
struct FieldRange
{
    double min;
    double max;
};
inline constexpr std::array<FieldRange, kFieldCount> kFieldRanges = {{
    {0, 360},    // WindDirection, degrees (360 and 0 both mean north)
    {0, 300},    // WindSpeed, mph
    {0, 300},    // WindGust, mph
    {-130, 150}, // Temperature, °F (beyond the coldest and hottest on record)
    {0, 10},     // Rain1h, inches (three digits of hundredths reach 9.99)
    {0, 10},     // Rain24h, inches
    {0, 10},     // RainSinceMidnight, inches
    {1, 100},    // Humidity, % ("h00" is read as 100 before this check)
    {850, 1100}, // Pressure, hPa (sea-level records are 870 and 1084)
    {0, 1999},   // Luminosity, W/m² ("L" 0-999, "l" 1000-1999)
    {0, 100},    // Snow24h, inches (the 24-hour record is near 76)
}};

constexpr FieldRange fieldRange(Field f)
{
    return kFieldRanges[std::size_t(f)];
}
constexpr bool inRange(Field f, double v)
{
    return v >= fieldRange(f).min && v <= fieldRange(f).max;
}

// One decoded report, each value in the unit the report itself uses:
// degrees, mph, °F, inches, %, hPa, W/m², inches. A station list keeps one
// per station, so values are floats with NaN standing for a missing one.
class WeatherReport
{
public:
    WeatherReport() { m_values.fill(NAN); }

    std::optional<double> value(Field f) const
    {
        const float v = m_values[std::size_t(f)];
        return std::isnan(v) ? std::nullopt : std::optional<double>(v);
    }
    bool has(Field f) const { return !std::isnan(m_values[std::size_t(f)]); }
    // NaN clears the value.
    void set(Field f, double v) { m_values[std::size_t(f)] = float(v); }
    bool isEmpty() const
    {
        for (const float v : m_values) {
            if (!std::isnan(v))
                return false;
        }
        return true;
    }

    friend bool operator==(const WeatherReport &a, const WeatherReport &b)
    {
        for (std::size_t i = 0; i < a.m_values.size(); ++i) {
            const float x = a.m_values[i];
            const float y = b.m_values[i];
            if (std::isnan(x) != std::isnan(y) || (!std::isnan(x) && x != y))
                return false;
        }
        return true;
    }

private:
    std::array<float, kFieldCount> m_values;
};

// Reads the weather carried by an APRS information field: a positionless
// report ("_"), a position report with the weather symbol ("!", "=", "/",
// "@", uncompressed or compressed), an object (";") or an item (")").
// Anything else, and a field whose position part is malformed, gives an
// empty report. Any bytes are safe; nothing is allocated.
WeatherReport decodeWeatherReport(std::string_view infoField);

// Direwolf passes on every digipeated copy of a packet: the same call with
// the same information field heard within this many seconds of it is one
// report, stored once and counted once.
inline constexpr std::int64_t kRepeatWindowSeconds = 30;
constexpr bool withinRepeatWindow(std::int64_t heard, std::int64_t other)
{
    return heard - other <= kRepeatWindowSeconds && other - heard <= kRepeatWindowSeconds;
}

// For display in metric units: °C, km/h, mm; pressure stays hPa, humidity
// %, direction degrees, luminosity W/m².
double toMetric(Field f, double reportValue);

} // namespace quintaro::weather
