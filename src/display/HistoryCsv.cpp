#include "HistoryCsv.h"

#include "CsvText.h"
#include "DerivedValues.h"

namespace quintaro::display {

namespace {

using weather::Field;

struct Column
{
    const char *title;
    // The field whose unit and digits the column shows.
    Field field;
    // A value worked out from the report, in the field's report unit; the
    // field's own value when there is none.
    std::optional<double> (*derive)(const weather::WeatherReport &) = nullptr;
};

// The reported values in the station details' order and with their titles,
// so that a sheet made for one reads the other, then those the details
// leave out, then the values worked out from them.
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
    {"Feels like", Field::Temperature, weather::feelsLikeF},
};

std::string titled(const char *title, Field field, weather::Units units)
{
    return csvField(std::string(title) + " (" + weather::unitSymbol(field, units) + ")", false);
}

std::string valueField(Field field, std::optional<double> value, weather::Units units)
{
    return value ? csvField(weather::valueText(field, *value, units), false) : std::string();
}

} // namespace

std::string historyCsvHeader(weather::Units units)
{
    std::string row = csvField("Time", false);
    for (const Column &column : kColumns)
        row += ',' + titled(column.title, column.field, units);
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

std::string dailyCsvHeader(weather::Units units)
{
    std::string row = "Date,Reports";
    for (const history::ExtremeMeasure &column : history::kExtremeMeasures)
        row += ',' + titled(column.name, column.field, units) + ',' +
               csvField(std::string(column.name) + " at", false);
    row += ',' + titled("Strongest gust from", Field::WindDirection, units);
    row += ',' + titled("Mean wind", Field::WindSpeed, units);
    row += ',' + titled("Rain", Field::RainSinceMidnight, units);
    return row + ",Rain found from\r\n";
}

std::string dailyCsvRow(const history::DaySummary &day, weather::Units units)
{
    std::string row = csvField(day.day.date.toString(Qt::ISODate).toStdString(), false) + ',' +
                      std::to_string(day.reports);
    for (const history::ExtremeMeasure &column : history::kExtremeMeasures) {
        const std::optional<history::Extreme> &extreme = day.extremes.*column.member;
        row += ',' + valueField(column.field,
                                extreme ? std::optional(extreme->value) : std::nullopt, units);
        row += ',' + (extreme ? csvField(isoLocalTime(extreme->utc), false) : std::string());
    }
    row += ',' + valueField(Field::WindDirection, day.extremes.gustDirection, units);
    row += ',' + valueField(Field::WindSpeed, day.extremes.windMean(), units);
    row += ',' + valueField(Field::RainSinceMidnight, day.rain(), units);
    const char *source = history::rainSourceWord(day.rainSource());
    return row + ',' + (source ? csvField(source, false) : std::string()) + "\r\n";
}

std::string dailyCsv(std::span<const history::DaySummary> days, weather::Units units)
{
    std::string text = dailyCsvHeader(units);
    for (const history::DaySummary &day : days)
        text += dailyCsvRow(day, units);
    return text;
}

} // namespace quintaro::display
