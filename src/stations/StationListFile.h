#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quintaro::stations {

// A call read from a list file counts as valid with 3 to 9 bytes.
inline constexpr std::size_t kMinCallBytes = 3;
inline constexpr std::size_t kMaxCallBytes = 9;
// A rejected entry is reported with at most this many bytes of its text: a
// broken file may hold a megabyte in one "entry".
inline constexpr std::size_t kMaxReportedEntryBytes = 64;

// The bytes of a station list file: each call followed by CR LF, nothing else.
// The calls are written as they are, without any check.
std::string writeStationList(const std::vector<std::string> &calls);

enum class ListFileProblem {
    None,
    EntryLength,   // an entry has fewer than 3 or more than 9 bytes
    UnclosedQuote, // an entry opens a double quote that never closes
    TooManyEntries // more entries than the list can index
};

struct ListFileReadResult
{
    ListFileProblem problem = ListFileProblem::None;
    // Every entry in file order, duplicates kept; empty when the file is invalid.
    std::vector<std::string> calls;
    // The entry that made the file invalid: its 0-based position among the
    // entries and its text (for an unclosed quote, what follows the quote),
    // cut to kMaxReportedEntryBytes.
    std::size_t badIndex = 0;
    std::string badEntry;

    bool valid() const { return problem == ListFileProblem::None; }
};

// Reads a whole station list file with the free-format field reader. The file
// is valid only when every entry is; the first invalid entry decides, and the
// calls read before it are dropped, so a caller can check validity before it
// touches the list on screen. An empty file is a valid, empty list.
ListFileReadResult readStationList(std::string_view bytes);

// A list file as the load command reads it: at most what a valid list can
// take up (a file chosen by mistake, a disk image, must not fill the
// memory). `opened` is false when the file cannot be read at all, or is no
// regular file (a pipe, a device, a folder).
struct ListFileLoad
{
    bool opened = false;
    ListFileReadResult read;
};
ListFileLoad loadStationListFile(const std::string &path);

// A one-line English account of why a file was rejected ("entry 3 ..."),
// printable ASCII only: bytes outside it are shown as \xHH. Empty when valid.
std::string describeListFileProblem(const ListFileReadResult &result);

} // namespace quintaro::stations
