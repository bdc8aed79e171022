#pragma once

#include <cstdint>
#include <string>

namespace quintaro {

// The rules every CSV file Quintaro writes follows (RFC 4180: CR LF between
// rows, UTF-8), shared by the station details and the weather display.

// A field as written: one with a comma, quote or line break quoted, quotes
// doubled. Text that came from the radio and that a spreadsheet would take
// for a formula gets a leading apostrophe.
std::string csvField(std::string text, bool fromTheRadio);

// Local time in ISO 8601 with its offset from UTC, "2026-12-07T14:03:12+01:00".
std::string isoLocalTime(std::int64_t when);

} // namespace quintaro
