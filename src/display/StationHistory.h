#pragma once

#include "DaySummary.h"
#include "WeatherRules.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace quintaro::display {

// The call's reports heard from `fromUtc` up to, not including, `toUtc`,
// oldest first, read straight from the store at `storePath` whatever their
// age: what a display keeps covers its longest span only, and the store may
// keep more. Nothing, with the reason in `error`, when the store cannot be
// read. The call is the radio's bytes.
std::optional<std::vector<Sample>> readStationHistory(const QString &storePath,
                                                      std::string_view call, std::int64_t fromUtc,
                                                      std::int64_t toUtc, QString *error);

// The call's daily summaries of the local days `from` to `to`, both
// included (open-ended where not given), oldest first, read straight from
// the store at `storePath`. A store of version 1 keeps none yet: its days
// are then worked out from the reports it holds, with the code that makes
// its summaries once a Quintaro records there, and `workedOut` says so.
// Nothing, with the reason in `error`, when the store cannot be read.
std::optional<std::vector<history::DaySummary>>
readStationDays(const QString &storePath, std::string_view call, std::optional<QDate> from,
                std::optional<QDate> to, bool *workedOut, QString *error);

} // namespace quintaro::display
