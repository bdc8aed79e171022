#pragma once

#include "DerivedValues.h"
#include "WeatherReport.h"

#include <string>

namespace quintaro::weather {

// The units values are shown in: metric, or the US units the reports
// themselves carry (pressure then in inches of mercury).
enum class Units { Metric, US };

// The unit a value is shown in, UTF-8: "°C", "km/h", "inHg", "°".
const char *unitSymbol(Field field, Units units);
// Digits after the point worth showing: what the reports resolve, no more.
int decimalsOf(Field field, Units units);
// A value in the report's own unit converted for showing.
double inUnits(Field field, double reportValue, Units units);

// A number with a dot and no grouping, whatever the locale; never "-0.0".
std::string formatNumber(double value, int decimals);
// A report's value as shown, without its unit: "25.0", "29.92".
std::string valueText(Field field, double reportValue, Units units);
// A report's value as shown, with its unit: "25.0 °C", "220°".
std::string valueWithUnit(Field field, double reportValue, Units units);
// A value already in `units`, with its unit.
std::string shownWithUnit(Field field, double shownValue, Units units);

// What a "feels like" temperature is: "wind chill", "heat index", "air
// temperature".
const char *basisName(FeelsLikeBasis basis);

} // namespace quintaro::weather
