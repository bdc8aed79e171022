#include "ProgramPath.h"

namespace quintaro::display {

int programPathWords(std::wstring_view line,
                     const std::function<bool(std::wstring_view)> &namesThisProgram)
{
    const auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    if (line.empty() || line.front() == L'"')
        return 1;
    int words = 0;
    for (std::size_t end = 0; end <= line.size(); ++end) {
        if (end < line.size() && !isBlank(line[end]))
            continue;
        // A run of blanks ends one word only.
        if (end > 0 && !isBlank(line[end - 1]))
            ++words;
        if (end > 0 && !isBlank(line[end - 1]) && namesThisProgram(line.substr(0, end)))
            return words;
    }
    return 1;
}

} // namespace quintaro::display
