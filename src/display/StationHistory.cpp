#include "StationHistory.h"

#include "HistoryReader.h"

#include <algorithm>
#include <limits>

namespace quintaro::display {

std::optional<std::vector<Sample>> readStationHistory(const QString &storePath,
                                                      std::string_view call, std::int64_t fromUtc,
                                                      std::int64_t toUtc, QString *error)
{
    history::HistoryReader reader;
    std::optional<std::vector<history::StoredReport>> found;
    if (reader.open(storePath))
        found = reader.reports(call, fromUtc);
    if (!found) {
        if (error)
            *error = reader.error();
        return std::nullopt;
    }
    std::vector<Sample> samples;
    samples.reserve(found->size());
    for (const history::StoredReport &report : *found) {
        if (report.heardUtc < toUtc)
            samples.push_back({report.heardUtc, report.values});
    }
    return samples;
}

std::optional<std::vector<history::DaySummary>>
readStationDays(const QString &storePath, std::string_view call, std::optional<QDate> from,
                std::optional<QDate> to, bool *workedOut, QString *error)
{
    history::HistoryReader reader;
    std::optional<bool> kept;
    std::optional<std::vector<history::DaySummary>> days;
    if (reader.open(storePath))
        kept = reader.keepsDaySummaries();
    if (kept && *kept) {
        days = reader.daySummaries(call);
    } else if (kept) {
        const std::int64_t fromUtc = from ? history::localDayOfDate(*from).startUtc
                                          : std::numeric_limits<std::int64_t>::min();
        const std::int64_t toUtc =
            to ? history::localDayOfDate(*to).endUtc : std::numeric_limits<std::int64_t>::max();
        if (const auto reports = reader.reports(call, fromUtc)) {
            history::DaySummarizer summarizer;
            for (const history::StoredReport &report : *reports) {
                if (report.heardUtc < toUtc)
                    summarizer.add(call, report.heardUtc, report.values);
            }
            days = summarizer.take(true);
        }
    }
    if (workedOut)
        *workedOut = kept && !*kept;
    if (!days) {
        if (error)
            *error = reader.error();
        return std::nullopt;
    }
    std::erase_if(*days, [&](const history::DaySummary &day) {
        return (from && day.day.date < *from) || (to && day.day.date > *to);
    });
    return days;
}

} // namespace quintaro::display
