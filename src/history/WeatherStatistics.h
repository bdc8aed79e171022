#pragma once

#include "DaySummary.h"

#include <QDate>

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace quintaro::history {

// A station's statistics, made from its daily summaries alone (the reports
// they came from are long removed): the highs, lows and rain of the usual
// periods, and the extremes of each calendar month over the years. Values
// stay in the reports' own units; the display shows them in the user's.

enum class Period { Today, Yesterday, Last7Days, ThisMonth, LastMonth, ThisYear, AllRecorded };
inline constexpr std::array<Period, 7> kPeriods = {
    Period::Today,     Period::Yesterday, Period::Last7Days,  Period::ThisMonth,
    Period::LastMonth, Period::ThisYear,  Period::AllRecorded};

struct PeriodStatistics
{
    Period period = Period::Today;
    // The period's first and last day: for AllRecorded the first and last
    // day recorded, none when nothing is.
    QDate first, last;
    int days = 0;         // the days of it that have a summary
    int calendarDays = 0; // the days it has had up to today
    Extremes extremes;
    // The rain of the days that tell theirs, in inches, and how many do.
    std::optional<double> rain;
    int rainDays = 0;
};

// Each period of kPeriods as `today` (a local date) sees it; `days` are one
// station's summaries in any order.
std::vector<PeriodStatistics> periodStatistics(std::span<const DaySummary> days,
                                               const QDate &today);

// A calendar month's most rain, in one year.
struct MonthRain
{
    double rain = 0; // inches
    int year = 0;
    int days = 0; // the days of that month recorded that year
};

// The extremes of one calendar month (every January, every February, …)
// over the days recorded, and the stretch they cover: the years, how many
// days, the first and last.
struct MonthRecords
{
    int month = 0; // 1 to 12
    int days = 0;
    QDate firstDay, lastDay;
    // Every day of the month in the one year recorded: a whole month.
    bool wholeMonth = false;
    Extremes extremes;
    std::optional<Extreme> wettestDay; // its rain; the time is the day's start
    std::optional<MonthRain> wettestMonth;
};

// The months that have any day recorded, January first.
std::vector<MonthRecords> monthlyRecords(std::span<const DaySummary> days);

} // namespace quintaro::history
