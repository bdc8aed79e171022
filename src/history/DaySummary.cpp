#include "DaySummary.h"

#include "DerivedValues.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <utility>

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

std::optional<double> storedValue(std::optional<double> value)
{
    if (!value)
        return value;
    return std::round(*value * 1e4) / 1e4;
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
    both(one.temperatureHigh, one.temperatureLow, storedValue(values.value(Field::Temperature)));
    both(one.dewPointHigh, one.dewPointLow, storedValue(weather::dewPoint(values)));
    both(one.humidityHigh, one.humidityLow, storedValue(values.value(Field::Humidity)));
    both(one.pressureHigh, one.pressureLow, storedValue(values.value(Field::Pressure)));
    if (const auto gust = storedValue(values.value(Field::WindGust))) {
        one.gust = Extreme{*gust, utc};
        one.gustDirection = storedValue(values.value(Field::WindDirection));
    }
    if (const auto wind = storedValue(values.value(Field::WindSpeed))) {
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
    if (const auto midnight = storedValue(values.value(Field::RainSinceMidnight)))
        rainSinceMidnightHigh = std::max(rainSinceMidnightHigh.value_or(0), *midnight);
    if (const auto hour = storedValue(values.value(Field::Rain1h))) {
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
    if (const auto day24 = storedValue(values.value(Field::Rain24h))) {
        if (!rain24hLast || utc >= rain24hLast->utc)
            rain24hLast = Extreme{*day24, utc};
    }
}

const char *rainSourceWord(RainSource source)
{
    switch (source) {
    case RainSource::SinceMidnight:
        return "since-midnight";
    case RainSource::LastHour:
        return "last-hour";
    case RainSource::Last24Hours:
        return "last-24-hours";
    case RainSource::None:
        break;
    }
    return nullptr;
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

void DaySummarizer::add(std::string_view call, std::int64_t utc,
                        const weather::WeatherReport &values)
{
    if (!m_current || m_current->call != call || utc < m_current->day.startUtc ||
        utc >= m_current->day.endUtc) {
        if (m_current)
            m_done.push_back(std::move(*m_current));
        m_current = DaySummary();
        m_current->call = std::string(call);
        m_current->day = localDayOf(utc);
    }
    m_current->add(utc, values);
}

std::vector<DaySummary> DaySummarizer::take(bool all)
{
    if (all && m_current) {
        m_done.push_back(std::move(*m_current));
        m_current.reset();
    }
    return std::exchange(m_done, {});
}

} // namespace quintaro::history
