#include "DerivedValues.h"

#include <cmath>

namespace quintaro::weather {

namespace {

double celsius(double fahrenheit)
{
    return (fahrenheit - 32.0) * 5.0 / 9.0;
}

double fahrenheit(double celsius)
{
    return celsius * 9.0 / 5.0 + 32.0;
}

// Rothfusz's regression of Steadman's table, coefficients as NWS publishes
// them.
double rothfusz(double t, double rh)
{
    return -42.379 + 2.04901523 * t + 10.14333127 * rh - 0.22475541 * t * rh - 0.00683783 * t * t -
           0.05481717 * rh * rh + 0.00122874 * t * t * rh + 0.00085282 * t * rh * rh -
           0.00000199 * t * t * rh * rh;
}

} // namespace

std::optional<double> dewPointF(double temperatureF, double humidityPct)
{
    if (!(humidityPct >= 1 && humidityPct <= 100) || !std::isfinite(temperatureF))
        return std::nullopt;
    constexpr double b = 17.62;
    constexpr double c = 243.12; // °C
    const double t = celsius(temperatureF);
    const double gamma = std::log(humidityPct / 100.0) + b * t / (c + t);
    return fahrenheit(c * gamma / (b - gamma));
}

std::optional<double> windChillF(double temperatureF, double windSpeedMph)
{
    if (!(temperatureF <= kWindChillHighestF && windSpeedMph > kWindChillCalmMph))
        return std::nullopt;
    const double v = std::pow(windSpeedMph, 0.16);
    return 35.74 + 0.6215 * temperatureF - 35.75 * v + 0.4275 * temperatureF * v;
}

std::optional<double> heatIndexF(double temperatureF, double humidityPct)
{
    const double t = temperatureF;
    const double rh = humidityPct;
    if (!(t >= kHeatIndexLowestF && rh >= 0 && rh <= 100))
        return std::nullopt;
    const double simple = 0.5 * (t + 61.0 + (t - 68.0) * 1.2 + rh * 0.094);
    if (simple < 80.0)
        return simple;
    double index = rothfusz(t, rh);
    // The regression reads too warm in dry heat and too cool in humid warmth.
    if (rh < 13 && t <= 112)
        index -= (13 - rh) / 4 * std::sqrt((17 - std::fabs(t - 95)) / 17);
    else if (rh > 85 && t <= 87)
        index += (rh - 85) / 10 * ((87 - t) / 5);
    return index;
}

std::optional<double> dewPoint(const WeatherReport &report)
{
    const auto t = report.value(Field::Temperature);
    const auto rh = report.value(Field::Humidity);
    return t && rh ? dewPointF(*t, *rh) : std::nullopt;
}

std::optional<FeelsLike> feelsLike(const WeatherReport &report)
{
    const auto t = report.value(Field::Temperature);
    if (!t)
        return std::nullopt;
    if (*t <= kWindChillHighestF) {
        const auto wind = report.value(Field::WindSpeed);
        if (!wind)
            return std::nullopt;
        if (const auto chill = windChillF(*t, *wind))
            return FeelsLike{*chill, FeelsLikeBasis::WindChill};
    } else if (*t >= kHeatIndexLowestF) {
        const auto rh = report.value(Field::Humidity);
        const auto index = rh ? heatIndexF(*t, *rh) : std::nullopt;
        if (!index)
            return std::nullopt;
        return FeelsLike{*index, FeelsLikeBasis::HeatIndex};
    }
    return FeelsLike{*t, FeelsLikeBasis::Temperature};
}

std::optional<double> feelsLikeF(const WeatherReport &report)
{
    const std::optional<FeelsLike> feels = feelsLike(report);
    return feels ? std::optional<double>(feels->temperatureF) : std::nullopt;
}

} // namespace quintaro::weather
