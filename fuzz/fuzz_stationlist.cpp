// The station list file reader, fed any bytes a list file on disk can hold.
//
// Checked: a valid list holds only calls of 3 to 9 bytes and no more entries
// than the list can index; a rejected one holds no calls, reports its entry
// cut short and is described in printable ASCII; a valid list written back
// reads again to the same calls, whenever no call holds bytes that the
// written form cannot carry as they are (a comma, a line end, a quote that
// would open a quoted value, blanks or tabs at either end).

#include "FuzzCheck.h"

#include "StationList.h"
#include "StationListFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quintaro::stations;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool writesAsItIs(const std::string &call)
{
    if (call.empty())
        return false;
    if (call.find_first_of(",\r\n") != std::string::npos)
        return false;
    return call.front() != '"' && !isBlank(call.front()) && !isBlank(call.back());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const ListFileReadResult read = readStationList(bytes);

    if (read.valid()) {
        FUZZ_CHECK(read.calls.size() <= std::size_t(kMaxStations));
        for (const std::string &call : read.calls)
            FUZZ_CHECK(call.size() >= kMinCallBytes && call.size() <= kMaxCallBytes);

        bool plain = true;
        for (const std::string &call : read.calls)
            plain = plain && writesAsItIs(call);
        if (plain) {
            const ListFileReadResult again = readStationList(writeStationList(read.calls));
            FUZZ_CHECK(again.valid());
            FUZZ_CHECK(again.calls == read.calls);
        }
    } else {
        FUZZ_CHECK(read.calls.empty());
    }
    return 0;
}
