#include "ConsoleOutput.h"

#include <cstdio>

namespace quintaro {

void printForUser(std::string_view text, bool isError)
{
    std::FILE *stream = isError ? stderr : stdout;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

bool printForScript(std::string_view bytes)
{
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
           std::fflush(stdout) == 0;
}

} // namespace quintaro
