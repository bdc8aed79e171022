#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quintaro::stations {

// A call read from a list file counts as valid with 3 to 9 bytes.
inline constexpr std::size_t kMinCallBytes = 3;
inline constexpr std::size_t kMaxCallBytes = 9;

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

} // namespace quintaro::stations
