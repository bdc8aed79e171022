// The weather report decoder on any bytes: every value it gives is within
// the range documented for its field and converts to a finite metric value,
// a second decoding gives the same report, and the same weather part reads
// alike whichever report form carries it (position with or without time,
// object, item; a position without course/speed like a positionless report).

#include "FuzzCheck.h"

#include "WeatherReport.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace quintaro::weather;

void checkValues(const WeatherReport &report)
{
    bool any = false;
    for (int i = 0; i < kFieldCount; ++i) {
        const Field f = Field(i);
        if (const auto v = report.value(f)) {
            any = true;
            FUZZ_CHECK(std::isfinite(*v));
            FUZZ_CHECK(inRange(f, *v));
            FUZZ_CHECK(std::isfinite(toMetric(f, *v)));
        }
    }
    FUZZ_CHECK(report.isEmpty() == !any);
}

WeatherReport decode(const std::string &s)
{
    const WeatherReport report = decodeWeatherReport(s);
    checkValues(report);
    return report;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const WeatherReport direct = decodeWeatherReport(input);
    checkValues(direct);
    FUZZ_CHECK(decodeWeatherReport(input) == direct);
    if (!input.empty() && std::string_view("_!=/@;)").find(input[0]) == std::string_view::npos)
        FUZZ_CHECK(direct.isEmpty());

    // The input as what follows the data type of a position report.
    const std::string rest(input);
    const WeatherReport position = decode("!" + rest);
    FUZZ_CHECK(decode("=" + rest) == position);
    FUZZ_CHECK(decode("@092345z" + rest) == position);
    FUZZ_CHECK(decode("/234517h" + rest) == position);
    FUZZ_CHECK(decode(";WXOBJECT *092345z" + rest) == position);
    FUZZ_CHECK(decode(";WXOBJECT _092345z" + rest) == position);
    FUZZ_CHECK(decode(")ITEM!" + rest) == position);
    FUZZ_CHECK(decode(")ITEM_" + rest) == position);

    // The input as the weather part after an uncompressed position: without
    // course/speed it starts with the wind direction, as in a positionless
    // report.
    if (!input.empty() && input[0] == 'c')
        FUZZ_CHECK(decode("!4903.50N/07201.75W_" + rest) == decode("_10090556" + rest));
    return 0;
}
