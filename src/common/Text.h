#pragma once

#include <string_view>

namespace quintaro {

// Removes leading and trailing spaces: only the space character, as the
// address and path boxes are trimmed; tabs and everything else stay.
inline std::string_view trimSpaces(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

} // namespace quintaro
