#include "StationListFile.h"

#include "AtomicFile.h"
#include "FieldReader.h"
#include "StationList.h"

namespace quintaro::stations {

namespace {

// The largest list file: 32 767 calls of up to 9 characters with generous
// room for blanks and quotes. Anything bigger cannot be a valid list.
constexpr std::size_t kListFileReadLimit = 4 * 1024 * 1024;

ListFileReadResult rejected(ListFileProblem problem)
{
    ListFileReadResult result;
    result.problem = problem;
    return result;
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
        if (read == FieldReader::Result::End)
            return result;
        if (read == FieldReader::Result::UnclosedQuote)
            return rejected(ListFileProblem::UnclosedQuote);
        if (field.text.size() < kMinCallBytes || field.text.size() > kMaxCallBytes)
            return rejected(ListFileProblem::EntryLength);
        if (result.calls.size() >= std::size_t(kMaxStations))
            return rejected(ListFileProblem::TooManyEntries);
        result.calls.push_back(field.text);
    }
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
