#include "DaySummary.h"

#include "DerivedValues.h"

#include <QDateTime>

#include <algorithm>

namespace quintaro::history {

using weather::Field;

LocalDay localDayOfDate(const QDate &date)
{
    // startOfDay() knows a day whose midnight the clock skips.
    return {date, date.startOfDay().toSecsSinceEpoch(),
            date.addDays(1).startOfDay().toSecsSinceEpoch()};
}

LocalDay localDayOf(std::int64_t utc)
{
    return localDayOfDate(QDateTime::fromSecsSinceEpoch(utc).date());
}

namespace {

void keep(std::optional<Extreme> &best, const Extreme &candidate, bool higher)
{
    if (!best || (higher ? candidate.value > best->value : candidate.value < best->value) ||
        (candidate.value == best->value && candidate.utc < best->utc))
        best = candidate;
}

void keepBoth(std::optional<Extreme> &high, std::optional<Extreme> &low,
              const std::optional<Extreme> &candidateHigh,
              const std::optional<Extreme> &candidateLow)
{
    if (candidateHigh)
        keep(high, *candidateHigh, true);
    if (candidateLow)
        keep(low, *candidateLow, false);
}

} // namespace

std::optional<double> Extremes::windMean() const
{
    if (windReports == 0)
        return std::nullopt;
    return windSum / double(windReports);
}

void Extremes::add(std::int64_t utc, const weather::WeatherReport &values)
{
    Extremes one;
    const auto both = [&](std::optional<Extreme> &high, std::optional<Extreme> &low,
                          std::optional<double> value) {
        if (value)
            high = low = Extreme{*value, utc};
    };
    both(one.temperatureHigh, one.temperatureLow, values.value(Field::Temperature));
    both(one.dewPointHigh, one.dewPointLow, weather::dewPoint(values));
    both(one.humidityHigh, one.humidityLow, values.value(Field::Humidity));
    both(one.pressureHigh, one.pressureLow, values.value(Field::Pressure));
    if (const auto gust = values.value(Field::WindGust)) {
        one.gust = Extreme{*gust, utc};
        one.gustDirection = values.value(Field::WindDirection);
    }
    if (const auto wind = values.value(Field::WindSpeed)) {
        one.windSum = *wind;
        one.windReports = 1;
    }
    merge(one);
}

void Extremes::merge(const Extremes &other)
{
    keepBoth(temperatureHigh, temperatureLow, other.temperatureHigh, other.temperatureLow);
    keepBoth(dewPointHigh, dewPointLow, other.dewPointHigh, other.dewPointLow);
    keepBoth(humidityHigh, humidityLow, other.humidityHigh, other.humidityLow);
    keepBoth(pressureHigh, pressureLow, other.pressureHigh, other.pressureLow);
    if (other.gust) {
        const std::optional<Extreme> before = gust;
        keep(gust, *other.gust, true);
        if (gust != before)
            gustDirection = other.gustDirection;
    }
    windSum += other.windSum;
    windReports += other.windReports;
}

void DaySummary::add(std::int64_t utc, const weather::WeatherReport &values)
{
    firstUtc = reports == 0 ? utc : std::min(firstUtc, utc);
    lastUtc = reports == 0 ? utc : std::max(lastUtc, utc);
    ++reports;
    extremes.add(utc, values);
    if (const auto midnight = values.value(Field::RainSinceMidnight))
        rainSinceMidnightHigh = std::max(rainSinceMidnightHigh.value_or(0), *midnight);
    if (const auto hour = values.value(Field::Rain1h)) {
        if (!rainLastHourUtc || utc > *rainLastHourUtc) {
            // The stretch since the last such report within the day, at
            // most the hour the value tells of.
            const std::int64_t from =
                std::max(rainLastHourUtc.value_or(day.startUtc), day.startUtc);
            const std::int64_t covered = std::clamp<std::int64_t>(utc - from, 0, kLastHourSeconds);
            rainLastHourSum += *hour * double(covered) / double(kLastHourSeconds);
            rainLastHourUtc = utc;
        }
    }
    if (const auto day24 = values.value(Field::Rain24h)) {
        if (!rain24hLast || utc >= rain24hLast->utc)
            rain24hLast = Extreme{*day24, utc};
    }
}

RainSource DaySummary::rainSource() const
{
    if (rainSinceMidnightHigh)
        return RainSource::SinceMidnight;
    if (rainLastHourUtc)
        return RainSource::LastHour;
    if (rain24hLast && day.endUtc - rain24hLast->utc <= kDayEndSeconds)
        return RainSource::Last24Hours;
    return RainSource::None;
}

std::optional<double> DaySummary::rain() const
{
    switch (rainSource()) {
    case RainSource::SinceMidnight:
        return rainSinceMidnightHigh;
    case RainSource::LastHour:
        return rainLastHourSum;
    case RainSource::Last24Hours:
        return rain24hLast->value;
    case RainSource::None:
        break;
    }
    return std::nullopt;
}

} // namespace quintaro::history
