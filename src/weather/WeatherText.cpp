#include "WeatherText.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace quintaro::weather {

namespace {

constexpr double kHpaPerInchOfMercury = 33.8639;

} // namespace

const char *unitSymbol(Field field, Units units)
{
    switch (field) {
    case Field::WindDirection:
        return "°";
    case Field::WindSpeed:
    case Field::WindGust:
        return units == Units::Metric ? "km/h" : "mph";
    case Field::Temperature:
        return units == Units::Metric ? "°C" : "°F";
    case Field::Rain1h:
    case Field::Rain24h:
    case Field::RainSinceMidnight:
    case Field::Snow24h:
        return units == Units::Metric ? "mm" : "in";
    case Field::Humidity:
        return "%";
    case Field::Pressure:
        return units == Units::Metric ? "hPa" : "inHg";
    case Field::Luminosity:
        return "W/m²";
    }
    return "";
}

int decimalsOf(Field field, Units units)
{
    switch (field) {
    case Field::Temperature:
    case Field::WindSpeed:
    case Field::WindGust:
        return units == Units::Metric ? 1 : 0;
    case Field::Rain1h:
    case Field::Rain24h:
    case Field::RainSinceMidnight:
        return units == Units::Metric ? 1 : 2;
    case Field::Pressure:
        return units == Units::Metric ? 1 : 2;
    case Field::Snow24h:
        return units == Units::Metric ? 0 : 1;
    case Field::WindDirection:
    case Field::Humidity:
    case Field::Luminosity:
        return 0;
    }
    return 0;
}

double inUnits(Field field, double reportValue, Units units)
{
    if (units == Units::Metric)
        return toMetric(field, reportValue);
    return field == Field::Pressure ? reportValue / kHpaPerInchOfMercury : reportValue;
}

std::string formatNumber(double value, int decimals)
{
    // "-0.0" would read as a sign where there is none.
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals))
        value = 0.0;
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(buffer, end) : std::string();
}

std::string valueText(Field field, double reportValue, Units units)
{
    return formatNumber(inUnits(field, reportValue, units), decimalsOf(field, units));
}

std::string valueWithUnit(Field field, double reportValue, Units units)
{
    return shownWithUnit(field, inUnits(field, reportValue, units), units);
}

std::string shownWithUnit(Field field, double shownValue, Units units)
{
    const char *unit = unitSymbol(field, units);
    std::string text = formatNumber(shownValue, decimalsOf(field, units));
    if (std::strcmp(unit, "°") != 0)
        text += ' ';
    return text += unit;
}

const char *basisName(FeelsLikeBasis basis)
{
    switch (basis) {
    case FeelsLikeBasis::WindChill:
        return "wind chill";
    case FeelsLikeBasis::HeatIndex:
        return "heat index";
    case FeelsLikeBasis::Temperature:
        break;
    }
    return "air temperature";
}

} // namespace quintaro::weather
