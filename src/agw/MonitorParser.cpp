#include "MonitorParser.h"

#include <cstring>

namespace quintaro::agw {

namespace {

constexpr char kLineEnd = '\r';
constexpr std::size_t kNotFound = std::string_view::npos;

// Position of the last carriage return before `end`. Every monitored frame
// is scanned this way, so the C library's vectorised search is used where
// there is one.
std::size_t lastLineEndBefore(std::string_view text, std::size_t end)
{
    // A monitored frame's text ends with CR NUL; looking at its last bytes
    // first spares the search's set-up for nearly every frame.
    for (std::size_t i = end, stop = end > 2 ? end - 2 : 0; i > stop; --i) {
        if (text[i - 1] == kLineEnd)
            return i - 1;
    }
    if (end <= 2)
        return kNotFound;
    end -= 2;
#if defined(__GLIBC__)
    const void *found = ::memrchr(text.data(), kLineEnd, end);
    return found ? std::size_t(static_cast<const char *>(found) - text.data()) : kNotFound;
#else
    return end == 0 ? kNotFound : text.rfind(kLineEnd, end - 1);
#endif
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The last non-empty line that ends at or before `end` (the position of a
// carriage return, or of the end of a line already found). Returns false
// when there is none.
bool previousLine(std::string_view text, std::size_t end, std::string_view &line)
{
    while (end > 0 && text[end - 1] == kLineEnd)
        --end;
    if (end == 0)
        return false;
    const std::size_t cr = lastLineEndBefore(text, end);
    const std::size_t start = cr == kNotFound ? 0 : cr + 1;
    line = text.substr(start, end - start);
    return true;
}

} // namespace

std::string_view monitorPath(std::string_view monitorText)
{
    const std::string_view firstLine = monitorText.substr(0, monitorText.find(kLineEnd));
    constexpr std::string_view kVia = " Via ";
    const std::size_t via = firstLine.find(kVia);
    if (via == kNotFound)
        return {};
    const std::string_view path = firstLine.substr(via + kVia.size());
    return path.substr(0, path.find(" <"));
}

std::string_view lastLine(std::string_view monitorText)
{
    std::string_view line;
    const std::size_t lastEnd = lastLineEndBefore(monitorText, monitorText.size());
    if (lastEnd != kNotFound && previousLine(monitorText, lastEnd, line))
        return line;
    return {};
}

MonitorLines lastTwoLines(std::string_view monitorText)
{
    MonitorLines result;
    const std::size_t lastEnd = lastLineEndBefore(monitorText, monitorText.size());
    if (lastEnd == kNotFound)
        return result;

    std::string_view newest;
    if (!previousLine(monitorText, lastEnd, newest))
        return result;
    const std::size_t newestStart = std::size_t(newest.data() - monitorText.data());
    std::string_view older;
    if (newestStart > 0 && previousLine(monitorText, newestStart - 1, older)) {
        result.lines = {older, newest};
        result.count = 2;
    } else {
        result.lines[0] = newest;
        result.count = 1;
    }
    return result;
}

bool isNumericText(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t digitsStart = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    if (i == digitsStart)
        return false;
    while (i < text.size() && text[i] == ' ')
        ++i;
    return i == text.size();
}

bool isWeatherReport(std::string_view infoField)
{
    if (infoField.empty())
        return false;
    switch (infoField.front()) {
    case '_':
        return true;
    case '!':
    case '=':
    case '/':
    case '@':
    case ';': {
        const std::size_t symbol = infoField.find('_');
        if (symbol == std::string_view::npos)
            return false;
        return isNumericText(infoField.substr(symbol + 1, 3));
    }
    default:
        return false;
    }
}

} // namespace quintaro::agw
