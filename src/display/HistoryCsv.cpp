#include "HistoryCsv.h"

#include "CsvText.h"
#include "DerivedValues.h"

namespace quintaro::display {

namespace {

using weather::Field;

std::optional<double> feelsLikeF(const weather::WeatherReport &report)
{
    const auto feels = weather::feelsLike(report);
    return feels ? std::optional<double>(feels->temperatureF) : std::nullopt;
}

struct Column
{
    const char *title;
    // The field whose unit and digits the column shows.
    Field field;
    // A value worked out from the report, in the field's report unit; the
    // field's own value when there is none.
    std::optional<double> (*derive)(const weather::WeatherReport &) = nullptr;
};

// The station details' columns first, in their order and with their titles,
// so that a sheet made for one reads the other.
constexpr Column kColumns[] = {
    {"Temperature", Field::Temperature},
    {"Wind direction", Field::WindDirection},
    {"Wind speed", Field::WindSpeed},
    {"Wind gust", Field::WindGust},
    {"Humidity", Field::Humidity},
    {"Pressure", Field::Pressure},
    {"Rain 1 h", Field::Rain1h},
    {"Rain 24 h", Field::Rain24h},
    {"Rain since midnight", Field::RainSinceMidnight},
    {"Luminosity", Field::Luminosity},
    {"Snow 24 h", Field::Snow24h},
    {"Dew point", Field::Temperature, weather::dewPoint},
    {"Feels like", Field::Temperature, feelsLikeF},
};

} // namespace

std::string historyCsvHeader(weather::Units units)
{
    std::string row = csvField("Time", false);
    for (const Column &column : kColumns)
        row += ',' + csvField(std::string(column.title) + " (" +
                                  weather::unitSymbol(column.field, units) + ")",
                              false);
    return row + "\r\n";
}

std::string historyCsvRow(const Sample &sample, weather::Units units)
{
    std::string row = csvField(isoLocalTime(sample.heardUtc), false);
    for (const Column &column : kColumns) {
        const std::optional<double> value =
            column.derive ? column.derive(sample.values) : sample.values.value(column.field);
        row += ',';
        if (value)
            row += csvField(weather::valueText(column.field, *value, units), false);
    }
    return row + "\r\n";
}

std::string historyCsv(std::span<const Sample> samples, weather::Units units)
{
    std::string text = historyCsvHeader(units);
    // Some 90 bytes a row.
    text.reserve(text.size() + samples.size() * 96);
    for (const Sample &sample : samples)
        text += historyCsvRow(sample, units);
    return text;
}

} // namespace quintaro::display
