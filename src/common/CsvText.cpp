#include "CsvText.h"

#include "TimeText.h"

#include <cstdio>

namespace quintaro {

std::string csvField(std::string text, bool fromTheRadio)
{
    if (fromTheRadio && !text.empty() &&
        (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@' || text[0] == '\t' ||
         text[0] == '\r'))
        text.insert(0, 1, '\'');
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string isoLocalTime(std::int64_t when)
{
    std::string text = formatLocalTime(when, "%Y-%m-%dT%H:%M:%S");
    const long offset = localUtcOffset(when);
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[32];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return text + zone;
}

} // namespace quintaro
