#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quintaro::stations {

struct BatchFile
{
    std::string bytes;                // the whole file, every line ending in CR LF
    std::vector<std::string> leftOut; // calls that got no line, in list order
};

// True when a call may stand in a batch file line: one or more ASCII letters,
// digits and "-". The command interpreter runs the file later, and a call
// comes from the radio: anything else could be read as a command.
bool isBatchSafeCall(std::string_view call);

// The batch file that starts Brezomat once per station: three fixed lines,
// then buildCommandLine(path, call, address) for every call in list order,
// except the calls that are not batch safe; those are listed in leftOut.
BatchFile makeBatchFile(std::string_view path, std::string_view address,
                        const std::vector<std::string> &calls);

} // namespace quintaro::stations
