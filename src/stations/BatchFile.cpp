#include "BatchFile.h"

#include "CommandLine.h"

namespace quintaro::stations {

namespace {

bool isSafeByte(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

} // namespace

bool isBatchSafeCall(std::string_view call)
{
    if (call.empty())
        return false;
    for (const char c : call) {
        if (!isSafeByte(c))
            return false;
    }
    return true;
}

BatchFile makeBatchFile(std::string_view path, std::string_view address,
                        const std::vector<std::string> &calls)
{
    BatchFile batch;
    batch.bytes = "@Echo Off\r\n"
                  "REM Batch file for opening Brezomat\r\n"
                  "REM several times with different Wx Calls\r\n";
    for (const std::string &call : calls) {
        if (!isBatchSafeCall(call)) {
            batch.leftOut.push_back(call);
            continue;
        }
        batch.bytes.append(buildCommandLine(path, call, address)).append("\r\n");
    }
    return batch;
}

} // namespace quintaro::stations
