#include "StationHistory.h"

#include "HistoryReader.h"

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

} // namespace quintaro::display
