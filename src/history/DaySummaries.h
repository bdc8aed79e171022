#pragma once

#include "DaySummary.h"
#include "HistoryStore.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quintaro::history {

// The daily summaries table of the store (schema version 2): one row per
// station and local day, kept when the reports it was made from are
// removed.

// The statement that makes the table.
QString daySummariesTableStatement();

// A report just stored, for the summary of its day.
struct SummarizedReport
{
    std::string_view call;
    std::int64_t heardUtc = 0;
    weather::WeatherReport values;
};

// Adds reports just stored to their days' summaries, within the caller's
// write transaction: the reports of one station and day together, each day
// read and written once. A day that gets a report older than one it already
// holds is built anew from its reports in the store, which the batch's are
// among; where the store no longer holds them all (removed for their age),
// the report is added as it is.
bool addToDaySummaries(QSqlDatabase &db, std::span<const SummarizedReport> reports, QString *error,
                       StoreFault *fault);

// Builds every station's summaries from the reports the store holds,
// replacing those of the same days; within the caller's transaction.
bool rebuildDaySummaries(QSqlDatabase &db, QString *error, StoreFault *fault);

// Writes the summaries as they are, replacing any of the same station and
// day; within the caller's transaction.
bool storeDaySummaries(QSqlDatabase &db, std::span<const DaySummary> summaries, QString *error,
                       StoreFault *fault);

// The station's summaries (every station's when `call` is empty), oldest
// day first; nothing, with the reason in `error`, when the read failed.
std::optional<std::vector<DaySummary>> readDaySummaries(QSqlDatabase &db, std::string_view call,
                                                        QSqlError *error);

// What can still be read of the summaries in the damaged store at `path`,
// opened read-only, from either end of the table; `complete` tells whether
// every row was read (a store of version 1 has none to read), and `error`
// why not.
std::vector<DaySummary> salvageDaySummaries(const QString &path, bool *complete, QString *error);

// Writes summaries, carried from another store or made up for a benchmark,
// in a transaction of its own.
bool writeDaySummaries(QSqlDatabase &db, std::span<const DaySummary> summaries, QString *error,
                       StoreFault *fault);

} // namespace quintaro::history
