#include "WeatherStatistics.h"

#include <algorithm>
#include <map>

namespace quintaro::history {

namespace {

// The days a period spans, as `today` sees it; none for AllRecorded.
std::pair<QDate, QDate> spanOf(Period period, const QDate &today)
{
    const QDate monthStart(today.year(), today.month(), 1);
    switch (period) {
    case Period::Today:
        return {today, today};
    case Period::Yesterday:
        return {today.addDays(-1), today.addDays(-1)};
    case Period::Last7Days:
        return {today.addDays(-6), today};
    case Period::ThisMonth:
        return {monthStart, today};
    case Period::LastMonth:
        return {monthStart.addMonths(-1), monthStart.addDays(-1)};
    case Period::ThisYear:
        return {QDate(today.year(), 1, 1), today};
    case Period::AllRecorded:
        break;
    }
    return {};
}

} // namespace

std::vector<PeriodStatistics> periodStatistics(std::span<const DaySummary> days, const QDate &today)
{
    std::vector<PeriodStatistics> periods;
    for (const Period period : kPeriods) {
        PeriodStatistics p;
        p.period = period;
        std::tie(p.first, p.last) = spanOf(period, today);
        const bool all = period == Period::AllRecorded;
        for (const DaySummary &day : days) {
            const QDate date = day.day.date;
            if (!all && (date < p.first || date > p.last))
                continue;
            ++p.days;
            p.extremes.merge(day.extremes);
            if (const std::optional<double> rain = day.rain()) {
                p.rain = p.rain.value_or(0) + *rain;
                ++p.rainDays;
            }
            if (all) {
                p.first = p.first.isValid() ? std::min(p.first, date) : date;
                p.last = p.last.isValid() ? std::max(p.last, date) : date;
            }
        }
        if (p.first.isValid())
            p.calendarDays = int(p.first.daysTo(all ? p.last : std::min(p.last, today))) + 1;
        periods.push_back(p);
    }
    return periods;
}

std::vector<MonthRecords> monthlyRecords(std::span<const DaySummary> days)
{
    std::map<int, MonthRecords> months;
    // Each year's rain of each month, and the days that make it.
    std::map<std::pair<int, int>, MonthRain> monthRain;
    for (const DaySummary &day : days) {
        const QDate date = day.day.date;
        MonthRecords &m = months[date.month()];
        m.month = date.month();
        ++m.days;
        m.firstDay = m.firstDay.isValid() ? std::min(m.firstDay, date) : date;
        m.lastDay = m.lastDay.isValid() ? std::max(m.lastDay, date) : date;
        m.extremes.merge(day.extremes);
        MonthRain &inYear = monthRain[{date.month(), date.year()}];
        inYear.year = date.year();
        ++inYear.days;
        if (const std::optional<double> rain = day.rain()) {
            inYear.rain += *rain;
            if (!m.wettestDay || *rain > m.wettestDay->value ||
                (*rain == m.wettestDay->value && day.day.startUtc < m.wettestDay->utc))
                m.wettestDay = Extreme{*rain, day.day.startUtc};
        }
    }
    std::vector<MonthRecords> records;
    for (auto &[month, m] : months) {
        for (const auto &[key, rain] : monthRain) {
            if (key.first == month && m.wettestDay &&
                (!m.wettestMonth || rain.rain > m.wettestMonth->rain))
                m.wettestMonth = rain;
        }
        m.wholeMonth = m.firstDay.year() == m.lastDay.year() && m.days == m.firstDay.daysInMonth();
        records.push_back(m);
    }
    return records;
}

} // namespace quintaro::history
