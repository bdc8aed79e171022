#include "StationTable.h"

#include "CsvText.h"
#include "DerivedValues.h"
#include "TimeText.h"

namespace quintaro::stations {

namespace {

using weather::Field;

using Derive = std::optional<double> (*)(const weather::WeatherReport &);

struct ColumnInfo
{
    const char *title;
    // The field whose unit and digits the column shows.
    std::optional<Field> field;
    // A value worked out from the report, in the field's report unit; the
    // field's own value when there is none.
    Derive derive = nullptr;
};

constexpr ColumnInfo kColumns[kColumnCount] = {
    {"Call", std::nullopt},
    {"Last heard", std::nullopt},
    {"Reports", std::nullopt},
    {"Temperature", Field::Temperature},
    {"Wind direction", Field::WindDirection},
    {"Wind speed", Field::WindSpeed},
    {"Wind gust", Field::WindGust},
    {"Humidity", Field::Humidity},
    {"Pressure", Field::Pressure},
    {"Rain 1 h", Field::Rain1h},
    {"Rain 24 h", Field::Rain24h},
    {"Dew point", Field::Temperature, weather::dewPoint},
    {"Feels like", Field::Temperature, weather::feelsLikeF},
};

std::optional<double> reportValue(const weather::WeatherReport &report, const ColumnInfo &info)
{
    return info.derive ? info.derive(report) : report.value(*info.field);
}

std::optional<double> shownValue(const weather::WeatherReport &report, const ColumnInfo &info,
                                 Units units)
{
    const std::optional<double> value = reportValue(report, info);
    return value ? std::optional<double>(weather::inUnits(*info.field, *value, units))
                 : std::nullopt;
}

std::string valueText(const weather::WeatherReport &report, const ColumnInfo &info, Units units)
{
    const std::optional<double> value = reportValue(report, info);
    return value ? weather::valueText(*info.field, *value, units) : std::string();
}

std::string withUnit(const weather::WeatherReport &report, Field field, Units units)
{
    const std::optional<double> value = report.value(field);
    return value ? weather::valueWithUnit(field, *value, units) : std::string();
}

// Latin-1 to UTF-8: a call's bytes are one character each.
std::string callText(const std::string &call)
{
    std::string text;
    for (const char c : call) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += char(0xC0 | (byte >> 6));
            text += char(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

} // namespace

std::string columnTitle(Column column, Units units)
{
    const ColumnInfo &info = kColumns[int(column)];
    if (!info.field)
        return info.title;
    return std::string(info.title) + " (" + weather::unitSymbol(*info.field, units) + ")";
}

std::optional<double> cellValue(const StationList &list, int row, Column column, Units units)
{
    const StationDetails *details = list.details(row);
    if (!details)
        return std::nullopt;
    switch (column) {
    case Column::Call:
        return std::nullopt;
    case Column::LastHeard:
        return double(details->lastHeard);
    case Column::Reports:
        return double(details->reports);
    default:
        return shownValue(details->weather(), kColumns[int(column)], units);
    }
}

std::string cellText(const StationList &list, int row, Column column, Units units)
{
    if (column == Column::Call)
        return callText(list.call(row));
    const StationDetails *details = list.details(row);
    if (!details)
        return {};
    switch (column) {
    case Column::LastHeard:
        return formatLocalTime(details->lastHeard, "%Y-%m-%d %H:%M:%S");
    case Column::Reports:
        return std::to_string(details->reports);
    default:
        return valueText(details->weather(), kColumns[int(column)], units);
    }
}

std::string cellNote(const StationList &list, int row, Column column)
{
    const StationDetails *details = list.details(row);
    const auto feels = column == Column::FeelsLike && details
                           ? weather::feelsLike(details->weather())
                           : std::nullopt;
    return feels ? weather::basisName(feels->basis) : std::string();
}

std::string stationSummary(const StationDetails *details, std::int64_t now, Units units)
{
    if (!details)
        return "Not heard since it was listed";
    std::string text = "Last heard " + localTimeText(details->lastHeard, now) + " (" +
                       describeAge(now - details->lastHeard) + ")\n" +
                       "Weather reports heard: " + std::to_string(details->reports);
    const weather::WeatherReport &w = details->weather();
    const auto line = [&](const std::string &label, const std::string &value) {
        if (!value.empty())
            text += "\n" + label + value;
    };
    if (w.isEmpty()) {
        text += "\nNo readable weather values";
        return text;
    }
    line("Temperature ", withUnit(w, Field::Temperature, units));
    if (const auto dew = weather::dewPoint(w))
        line("Dew point ", weather::valueWithUnit(Field::Temperature, *dew, units));
    if (const auto feels = weather::feelsLike(w))
        line("Feels like ", weather::valueWithUnit(Field::Temperature, feels->temperatureF, units) +
                                " (" + weather::basisName(feels->basis) + ")");
    std::string wind = withUnit(w, Field::WindDirection, units);
    for (const auto &[field, prefix] :
         {std::pair{Field::WindSpeed, ""}, std::pair{Field::WindGust, "gusts "}}) {
        const std::string part = withUnit(w, field, units);
        if (!part.empty())
            wind.append(wind.empty() ? "" : ", ").append(prefix).append(part);
    }
    line("Wind ", wind);
    line("Humidity ", withUnit(w, Field::Humidity, units));
    line("Pressure ", withUnit(w, Field::Pressure, units));
    std::string rain;
    for (const auto &[field, when] :
         {std::pair{Field::Rain1h, " in the last hour"}, std::pair{Field::Rain24h, " in 24 hours"},
          std::pair{Field::RainSinceMidnight, " since midnight"}}) {
        const std::string part = withUnit(w, field, units);
        if (!part.empty())
            rain.append(rain.empty() ? "" : ", ").append(part).append(when);
    }
    line("Rain ", rain);
    line("Luminosity ", withUnit(w, Field::Luminosity, units));
    line("Snow ", withUnit(w, Field::Snow24h, units));
    return text;
}

std::string writeStationTableCsv(const StationList &list, const std::vector<int> &rows, Units units)
{
    std::string out;
    for (int c = 0; c < kColumnCount; ++c) {
        if (c > 0)
            out += ',';
        out += csvField(columnTitle(Column(c), units), false);
    }
    out += "\r\n";
    for (const int row : rows) {
        const StationDetails *details = list.details(row);
        for (int c = 0; c < kColumnCount; ++c) {
            const auto column = Column(c);
            std::string cell;
            if (column == Column::LastHeard)
                cell = details ? isoLocalTime(details->lastHeard) : std::string();
            else
                cell = cellText(list, row, column, units);
            if (c > 0)
                out += ',';
            out += csvField(std::move(cell), column == Column::Call);
        }
        out += "\r\n";
    }
    return out;
}

} // namespace quintaro::stations
