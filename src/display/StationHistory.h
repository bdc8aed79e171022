#pragma once

#include "WeatherRules.h"

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

} // namespace quintaro::display
