#pragma once

#include "WeatherReport.h"

#include <optional>

namespace quintaro::weather {

// Values a report does not carry but a person asks for, worked out from the
// ones it does: the dew point, wind chill and heat index. They take and give
// the report's own units (°F, mph, % from 0 to 100), so they are shown in
// either unit system as its temperature is (Field::Temperature).

// Wind chill is defined for cold air in a wind: at most 50 °F (10 °C) and a
// sustained wind above 3 mph (4.8 km/h). A gust is a moment, not the wind a
// body stands in, so it never counts.
inline constexpr double kWindChillHighestF = 50;
inline constexpr double kWindChillCalmMph = 3;
// The heat index is defined from 80 °F (26.7 °C).
inline constexpr double kHeatIndexLowestF = 80;

// The dew point over water, Magnus form with the WMO's constants; none for a
// humidity outside 1 to 100 %.
std::optional<double> dewPointF(double temperatureF, double humidityPct);
// NWS 2001 wind chill; none where it is not defined.
std::optional<double> windChillF(double temperatureF, double windSpeedMph);
// NWS heat index: Steadman's simple form averaged with the temperature, and
// where that reaches 80 °F Rothfusz's regression with its adjustments for
// very dry and very humid air; none below 80 °F.
std::optional<double> heatIndexF(double temperatureF, double humidityPct);

enum class FeelsLikeBasis { WindChill, HeatIndex, Temperature };
struct FeelsLike
{
    double temperatureF = 0;
    FeelsLikeBasis basis = FeelsLikeBasis::Temperature;
};

// A report's dew point; none without its temperature and humidity.
std::optional<double> dewPoint(const WeatherReport &report);
// What the report's temperature feels like: its wind chill or heat index
// where one is defined, else the temperature itself. None when a value that
// could change it is missing: cold air without the wind, hot air without
// the humidity.
std::optional<FeelsLike> feelsLike(const WeatherReport &report);
// The same as a temperature alone, for a table's column.
std::optional<double> feelsLikeF(const WeatherReport &report);

} // namespace quintaro::weather
