#include "StationListFile.h"

#include "AtomicFile.h"
#include "FieldReader.h"
#include "StationList.h"

#include <cstdio>

namespace quintaro::stations {

namespace {

// The largest list file: 32 767 calls of up to 9 characters with generous
// room for blanks and quotes. Anything bigger cannot be a valid list.
constexpr std::size_t kListFileReadLimit = 4 * 1024 * 1024;

ListFileReadResult rejected(ListFileProblem problem, std::size_t index, std::string_view entry)
{
    ListFileReadResult result;
    result.problem = problem;
    result.badIndex = index;
    result.badEntry.assign(entry.substr(0, kMaxReportedEntryBytes));
    return result;
}

std::string printable(std::string_view bytes)
{
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            text += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        }
    }
    return text;
}

} // namespace

std::string writeStationList(const std::vector<std::string> &calls)
{
    std::string bytes;
    for (const std::string &call : calls)
        bytes.append(call).append("\r\n");
    return bytes;
}

ListFileReadResult readStationList(std::string_view bytes)
{
    ListFileReadResult result;
    FieldReader reader(bytes);
    Field field;
    for (;;) {
        const FieldReader::Result read = reader.next(field);
        const std::size_t index = result.calls.size();
        if (read == FieldReader::Result::End)
            return result;
        if (read == FieldReader::Result::UnclosedQuote) {
            // The opening quote of an unclosed value is the file's last quote.
            const auto quote = bytes.rfind('"');
            return rejected(ListFileProblem::UnclosedQuote, index, bytes.substr(quote + 1));
        }
        if (field.text.size() < kMinCallBytes || field.text.size() > kMaxCallBytes)
            return rejected(ListFileProblem::EntryLength, index, field.text);
        if (index >= std::size_t(kMaxStations))
            return rejected(ListFileProblem::TooManyEntries, index, field.text);
        result.calls.push_back(field.text);
    }
}

std::string describeListFileProblem(const ListFileReadResult &result)
{
    const std::string entry =
        "entry " + std::to_string(result.badIndex + 1) + " \"" + printable(result.badEntry) + "\"";
    switch (result.problem) {
    case ListFileProblem::None:
        return {};
    case ListFileProblem::EntryLength:
        return entry + " is not a call of " + std::to_string(kMinCallBytes) + " to " +
               std::to_string(kMaxCallBytes) + " characters";
    case ListFileProblem::UnclosedQuote:
        return entry + " opens a quote that is never closed";
    case ListFileProblem::TooManyEntries:
        return entry + " is beyond the " + std::to_string(kMaxStations) +
               " stations a list can hold";
    }
    return {};
}

ListFileLoad loadStationListFile(const std::string &path)
{
    ListFileLoad load;
    std::string bytes;
    bool tooLarge = false;
    load.opened = readWholeFile(path, bytes, nullptr, kListFileReadLimit, &tooLarge);
    if (!load.opened)
        return load;
    if (tooLarge)
        load.read.problem = ListFileProblem::TooManyEntries;
    else
        load.read = readStationList(bytes);
    return load;
}

} // namespace quintaro::stations
