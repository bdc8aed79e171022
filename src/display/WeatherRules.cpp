#include "WeatherRules.h"

#include "TimeText.h"

#include <algorithm>
#include <cstdlib>

namespace quintaro::display {

using weather::Field;

std::array<std::optional<TimedValue>, weather::kFieldCount>
latestValues(std::span<const Sample> samples, std::int64_t now)
{
    std::array<std::optional<TimedValue>, weather::kFieldCount> latest;
    int missing = weather::kFieldCount;
    for (auto it = samples.rbegin(); it != samples.rend() && missing > 0; ++it) {
        if (now - it->heardUtc > kForgetAfterSeconds)
            break;
        for (int f = 0; f < weather::kFieldCount; ++f) {
            if (latest[std::size_t(f)])
                continue;
            if (const std::optional<double> value = it->values.value(Field(f))) {
                latest[std::size_t(f)] = TimedValue{*value, it->heardUtc};
                --missing;
            }
        }
    }
    return latest;
}

LatestDerived
latestDerived(const std::array<std::optional<TimedValue>, weather::kFieldCount> &latest)
{
    const auto at = [&](Field f) -> const std::optional<TimedValue> & {
        return latest[std::size_t(f)];
    };
    weather::WeatherReport current;
    for (int f = 0; f < weather::kFieldCount; ++f) {
        if (at(Field(f)))
            current.set(Field(f), at(Field(f))->value);
    }
    LatestDerived derived;
    if (const auto dew = weather::dewPoint(current))
        derived.dewPoint = TimedValue{
            *dew, std::min(at(Field::Temperature)->heardUtc, at(Field::Humidity)->heardUtc)};
    if (const auto feels = weather::feelsLike(current)) {
        // The wind decides in the cold and the humidity in the heat, even
        // where they leave the air temperature as it is.
        const double t = *current.value(Field::Temperature);
        std::int64_t heard = at(Field::Temperature)->heardUtc;
        if (t <= weather::kWindChillHighestF)
            heard = std::min(heard, at(Field::WindSpeed)->heardUtc);
        else if (t >= weather::kHeatIndexLowestF)
            heard = std::min(heard, at(Field::Humidity)->heardUtc);
        derived.feelsLike = TimedValue{feels->temperatureF, heard};
        derived.basis = feels->basis;
    }
    return derived;
}

PressureTendency pressureTendency(std::span<const Sample> samples)
{
    auto latest = std::find_if(samples.rbegin(), samples.rend(),
                               [](const Sample &s) { return s.values.has(Field::Pressure); });
    if (latest == samples.rend())
        return {};
    const std::int64_t target = latest->heardUtc - kTendencySeconds;
    const Sample *earlier = nullptr;
    std::int64_t bestDistance = kTendencyToleranceSeconds + 1;
    for (auto it = latest + 1; it != samples.rend(); ++it) {
        if (it->heardUtc < target - kTendencyToleranceSeconds)
            break;
        const std::int64_t distance = std::llabs(it->heardUtc - target);
        if (it->values.has(Field::Pressure) && distance < bestDistance) {
            bestDistance = distance;
            earlier = &*it;
        }
    }
    if (!earlier)
        return {};
    const double change =
        *latest->values.value(Field::Pressure) - *earlier->values.value(Field::Pressure);
    // Values are stored as floats: 1.0 hPa may arrive as 0.99998.
    constexpr double kSlack = 1e-3;
    const Tendency tendency = change >= kTendencyHpa - kSlack    ? Tendency::Rising
                              : change <= -kTendencyHpa + kSlack ? Tendency::Falling
                                                                 : Tendency::Steady;
    return {tendency, change};
}

DayExtremes todaysExtremes(std::span<const Sample> samples, std::int64_t now)
{
    const std::int64_t midnight = startOfLocalDay(now);
    DayExtremes day;
    const auto keep = [](std::optional<TimedValue> &best, double value, std::int64_t when,
                         bool higher) {
        if (!best || (higher ? value > best->value : value < best->value))
            best = TimedValue{value, when};
    };
    for (const Sample &s : samples) {
        if (s.heardUtc < midnight || s.heardUtc > now)
            continue;
        if (const auto t = s.values.value(Field::Temperature)) {
            keep(day.highTemperature, *t, s.heardUtc, true);
            keep(day.lowTemperature, *t, s.heardUtc, false);
        }
        if (const auto g = s.values.value(Field::WindGust))
            keep(day.highGust, *g, s.heardUtc, true);
    }
    return day;
}

std::int64_t typicalInterval(std::span<const Sample> samples)
{
    if (samples.size() < 2)
        return 0;
    std::vector<std::int64_t> intervals;
    intervals.reserve(samples.size() - 1);
    for (std::size_t i = 1; i < samples.size(); ++i)
        intervals.push_back(samples[i].heardUtc - samples[i - 1].heardUtc);
    const auto middle = intervals.begin() + std::ptrdiff_t(intervals.size() / 2);
    std::nth_element(intervals.begin(), middle, intervals.end());
    return *middle;
}

std::int64_t silenceBound(std::span<const Sample> samples)
{
    return std::max(3 * typicalInterval(samples), kMinSilenceSeconds);
}

std::span<const Sample> samplesSince(std::span<const Sample> samples, std::int64_t fromUtc)
{
    const auto first =
        std::lower_bound(samples.begin(), samples.end(), fromUtc,
                         [](const Sample &s, std::int64_t t) { return s.heardUtc < t; });
    return samples.subspan(std::size_t(first - samples.begin()));
}

std::vector<Segment> fieldSegments(std::span<const Sample> samples, Field field,
                                   std::int64_t fromUtc, std::int64_t silence, weather::Units units)
{
    std::vector<Segment> segments;
    std::int64_t previous = 0;
    for (const Sample &sample : samplesSince(samples, fromUtc)) {
        const std::optional<double> value = sample.values.value(field);
        if (!value)
            continue;
        if (segments.empty() || sample.heardUtc - previous > silence)
            segments.emplace_back();
        segments.back().push_back({sample.heardUtc, weather::inUnits(field, *value, units)});
        previous = sample.heardUtc;
    }
    return segments;
}

std::int64_t keptFrom(Span span, std::int64_t now)
{
    return std::min({now - spanSeconds(span), now - kForgetAfterSeconds, startOfLocalDay(now)});
}

std::int64_t spanSeconds(Span span)
{
    switch (span) {
    case Span::Hours6:
        return 6 * 3600;
    case Span::Hours24:
        return 24 * 3600;
    case Span::Days7:
        return 7 * 86400;
    case Span::Days30:
        return 30 * 86400;
    }
    return 24 * 3600;
}

std::string spanName(Span span)
{
    switch (span) {
    case Span::Hours6:
        return "6 hours";
    case Span::Hours24:
        return "24 hours";
    case Span::Days7:
        return "7 days";
    case Span::Days30:
        return "30 days";
    }
    return {};
}

std::string spanKey(Span span)
{
    switch (span) {
    case Span::Hours6:
        return "6h";
    case Span::Hours24:
        return "24h";
    case Span::Days7:
        return "7d";
    case Span::Days30:
        return "30d";
    }
    return {};
}

std::optional<Span> spanFromKey(const std::string &key)
{
    for (const Span span : kSpans) {
        if (spanKey(span) == key)
            return span;
    }
    return std::nullopt;
}

TimeAxis timeAxis(Span span, std::int64_t now, bool narrow)
{
    const std::int64_t length = spanSeconds(span);
    std::int64_t end;
    if (length <= 86400) {
        const std::int64_t local = now + localUtcOffset(now);
        end = now - local % 3600 + 3600;
    } else {
        end = startOfLocalDay(startOfLocalDay(now) + 86400 + 3600);
    }
    int ticks = 2;
    switch (span) {
    case Span::Hours6:
        ticks = narrow ? 4 : 7; // every 2 hours, or every hour
        break;
    case Span::Hours24:
        ticks = narrow ? 5 : 7; // every 6 or 4 hours
        break;
    case Span::Days7:
        ticks = 8; // every day; a narrow graph names the days shorter
        break;
    case Span::Days30:
        ticks = narrow ? 4 : 7; // every 10 or 5 days
        break;
    }
    return {end - length, end, ticks};
}

Field rainFieldFor(std::span<const Sample> samples, std::int64_t fromUtc)
{
    bool has[3] = {};
    constexpr Field kChoices[3] = {Field::Rain1h, Field::RainSinceMidnight, Field::Rain24h};
    for (auto it = samples.rbegin(); it != samples.rend() && it->heardUtc >= fromUtc; ++it) {
        for (int i = 0; i < 3; ++i)
            has[i] = has[i] || it->values.has(kChoices[i]);
        if (has[0])
            break;
    }
    for (int i = 0; i < 3; ++i) {
        if (has[i])
            return kChoices[i];
    }
    return Field::Rain1h;
}

std::optional<SeriesSummary> summarize(const std::vector<Segment> &segments)
{
    std::optional<SeriesSummary> summary;
    for (const Segment &segment : segments) {
        for (const Point &p : segment) {
            if (!summary) {
                summary = SeriesSummary{p, p, p};
                continue;
            }
            if (p.value < summary->lowest.value)
                summary->lowest = p;
            if (p.value > summary->highest.value)
                summary->highest = p;
            summary->last = p;
        }
    }
    return summary;
}

} // namespace quintaro::display
