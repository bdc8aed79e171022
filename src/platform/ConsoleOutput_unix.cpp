#include "ConsoleOutput.h"

#include <cstdio>

namespace quintaro {

void printForUser(std::string_view text, bool isError)
{
    std::FILE *stream = isError ? stderr : stdout;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

void printForScript(std::string_view bytes)
{
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

} // namespace quintaro
