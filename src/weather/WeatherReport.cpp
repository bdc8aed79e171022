#include "WeatherReport.h"

#include "Units.h"

#include <cstdint>

namespace quintaro::weather {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBase91(char c)
{
    return c >= '!' && c <= '{';
}

// A weather value as the report writes it: a number, or a field of dots or
// blanks that says the sensor has nothing to tell, or text that is no field
// at all (the software and unit type, or a comment, has begun).
struct Reading
{
    enum Kind { Number, Missing, NotAField } kind = NotAField;
    double value = 0;
};

// The `width` characters at `pos`. Blanks may stand before the number and a
// minus sign before its digits; snow depth alone may carry a decimal point.
// A number followed at once by another digit is wider than its field, which
// only a garbled or misformatted report writes: nothing of it is trusted.
Reading readField(std::string_view s, std::size_t pos, std::size_t width, bool allowPoint)
{
    if (pos > s.size() || s.size() - pos < width)
        return {};
    const std::string_view text = s.substr(pos, width);
    if (text.find_first_not_of(". ") == kNone)
        return {Reading::Missing, 0};

    std::size_t i = 0;
    while (i < width && text[i] == ' ')
        ++i;
    const bool negative = i < width && text[i] == '-';
    if (negative)
        ++i;
    long mantissa = 0;
    long divisor = 1;
    bool digits = false;
    bool point = false;
    for (; i < width; ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            mantissa = mantissa * 10 + (c - '0');
            digits = true;
            if (point)
                divisor *= 10;
        } else if (c == '.' && allowPoint && !point) {
            point = true;
        } else {
            return {};
        }
    }
    if (!digits || (pos + width < s.size() && isDigit(s[pos + width])))
        return {};
    const double value = double(negative ? -mantissa : mantissa) / double(divisor);
    return {Reading::Number, value};
}

void store(WeatherReport &report, Field f, double v)
{
    if (inRange(f, v))
        report.set(f, v);
}

// One weather field after its key letter: how wide it is, where it goes and
// how its digits turn into the report's unit.
struct FieldKey
{
    char key;
    std::uint8_t width;
    bool shown;  // false: a field that is read over but not kept
    Field field; // where a shown value goes
    double scale;
    double offset;
    bool decimalPoint;
};

// The fields that may follow the wind, in any order. The raw rain counter
// "#" is not shown, nor are water level "F", radiation "X" and battery
// voltage "V" of later extensions of the format; a report that holds them
// is still read on past them.
constexpr FieldKey kKeys[] = {
    {'g', 3, true, Field::WindGust, 1, 0, false},
    {'t', 3, true, Field::Temperature, 1, 0, false},
    {'r', 3, true, Field::Rain1h, 0.01, 0, false},
    {'p', 3, true, Field::Rain24h, 0.01, 0, false},
    {'P', 3, true, Field::RainSinceMidnight, 0.01, 0, false},
    {'h', 2, true, Field::Humidity, 1, 0, false},
    {'b', 5, true, Field::Pressure, 0.1, 0, false},
    {'L', 3, true, Field::Luminosity, 1, 0, false},
    {'l', 3, true, Field::Luminosity, 1, 1000, false},
    {'s', 3, true, Field::Snow24h, 1, 0, true},
    {'#', 3, false, Field::Rain24h, 0, 0, false},
    {'F', 4, false, Field::Rain24h, 0, 0, false},
    {'X', 3, false, Field::Rain24h, 0, 0, false},
    {'V', 3, false, Field::Rain24h, 0, 0, false},
};
constexpr FieldKey kWindDirectionKey = {'c', 3, true, Field::WindDirection, 1, 0, false};
constexpr FieldKey kWindSpeedKey = {'s', 3, true, Field::WindSpeed, 1, 0, false};

const FieldKey *findKey(char c)
{
    for (const FieldKey &k : kKeys) {
        if (k.key == c)
            return &k;
    }
    return nullptr;
}

// Reads key-letter fields from `pos` until something that is not one. In
// the wind part of a report (before any other field) "c" is the wind
// direction and "s" the wind speed; after it "s" is snowfall.
void readFields(std::string_view s, std::size_t pos, bool windPart, WeatherReport &report)
{
    while (pos < s.size()) {
        const char key = s[pos];
        const FieldKey *k = nullptr;
        if (windPart && key == 'c') {
            k = &kWindDirectionKey;
        } else if (windPart && key == 's') {
            k = &kWindSpeedKey;
            windPart = false;
        } else {
            k = findKey(key);
            windPart = false;
        }
        if (!k)
            return;
        const Reading r = readField(s, pos + 1, k->width, k->decimalPoint);
        if (r.kind == Reading::NotAField)
            return;
        if (r.kind == Reading::Number && k->shown) {
            double v = r.value * k->scale + k->offset;
            if (k->field == Field::Humidity && r.value == 0)
                v = 100; // "h00" is saturated air
            store(report, k->field, v);
        }
        pos += 1 + k->width;
    }
}

// Index just past a 7-character timestamp (DDHHMMz, DDHHMM/, HHMMSSh) at
// `pos`, or kNone.
std::size_t afterTimestamp(std::string_view s, std::size_t pos)
{
    if (pos > s.size() || s.size() - pos < 7)
        return kNone;
    for (std::size_t i = 0; i < 6; ++i) {
        if (!isDigit(s[pos + i]))
            return kNone;
    }
    const char zone = s[pos + 6];
    return zone == 'z' || zone == 'h' || zone == '/' ? pos + 7 : kNone;
}

bool digitOrBlank(char c)
{
    return isDigit(c) || c == ' ';
}

// Reads the weather that follows a position at `pos`, uncompressed
// (DDMM.mmN/DDDMM.mmE_) or compressed, whose symbol code must be the
// weather symbol "_".
void readAfterPosition(std::string_view s, std::size_t pos, WeatherReport &report)
{
    if (pos >= s.size())
        return;
    if (isDigit(s[pos])) {
        if (s.size() - pos < 19)
            return;
        const std::string_view p = s.substr(pos, 19);
        const auto oneOf = [](char c, std::string_view set) { return set.find(c) != kNone; };
        // Position ambiguity blanks the minutes, never the degrees.
        const bool latOk = isDigit(p[0]) && isDigit(p[1]) && digitOrBlank(p[2]) &&
                           digitOrBlank(p[3]) && p[4] == '.' && digitOrBlank(p[5]) &&
                           digitOrBlank(p[6]) && oneOf(p[7], "NSns");
        const bool lonOk = isDigit(p[9]) && isDigit(p[10]) && isDigit(p[11]) &&
                           digitOrBlank(p[12]) && digitOrBlank(p[13]) && p[14] == '.' &&
                           digitOrBlank(p[15]) && digitOrBlank(p[16]) && oneOf(p[17], "EWew");
        if (!latOk || !lonOk || p[18] != '_')
            return;
        std::size_t at = pos + 19;
        // Wind direction and speed (mph) where a moving station puts its
        // course and speed.
        if (s.size() - at >= 7 && s[at + 3] == '/') {
            const Reading dir = readField(s, at, 3, false);
            const Reading speed = readField(s, at + 4, 3, false);
            if (dir.kind != Reading::NotAField && speed.kind != Reading::NotAField) {
                if (dir.kind == Reading::Number)
                    store(report, Field::WindDirection, dir.value);
                if (speed.kind == Reading::Number)
                    store(report, Field::WindSpeed, speed.value);
                readFields(s, at + 7, false, report);
                return;
            }
        }
        readFields(s, at, true, report);
        return;
    }

    // Compressed: table, 4 + 4 base-91 digits, symbol, course/speed, type.
    if (s.size() - pos < 13)
        return;
    const std::string_view p = s.substr(pos, 13);
    const char table = p[0];
    if (!(table == '/' || table == '\\' || (table >= 'A' && table <= 'Z') ||
          (table >= 'a' && table <= 'j')))
        return;
    for (std::size_t i = 1; i <= 8; ++i) {
        if (!isBase91(p[i]))
            return;
    }
    if (p[9] != '_')
        return;
    const char c = p[10];
    const char sp = p[11];
    const char type = p[12];
    // The two bytes are course and speed unless blank, a radio range ("{")
    // or an altitude (a fix from a GGA sentence).
    const bool altitude = isBase91(type) && (((type - 33) >> 3) & 3) == 2;
    const bool wind = c >= '!' && c <= 'z' && isBase91(sp) && !altitude;
    if (wind) {
        store(report, Field::WindDirection, (c - 33) * 4.0);
        store(report, Field::WindSpeed, compressedSpeedKnots(sp - 33) * kMphPerKnot);
    }
    readFields(s, pos + 13, !wind, report);
}

} // namespace

WeatherReport decodeWeatherReport(std::string_view s)
{
    WeatherReport report;
    if (s.empty())
        return report;
    switch (s[0]) {
    case '_':
        // Positionless: MDHM time, then the fields from the wind on.
        if (s.size() >= 9) {
            for (std::size_t i = 1; i < 9; ++i) {
                if (!isDigit(s[i]))
                    return report;
            }
            readFields(s, 9, true, report);
        }
        break;
    case '!':
    case '=':
        readAfterPosition(s, 1, report);
        break;
    case '/':
    case '@':
        readAfterPosition(s, afterTimestamp(s, 1), report);
        break;
    case ';':
        // Object: 9-character name, live "*" or killed "_", timestamp.
        if (s.size() > 10 && (s[10] == '*' || s[10] == '_'))
            readAfterPosition(s, afterTimestamp(s, 11), report);
        break;
    case ')': {
        // Item: a name of 1 to 9 characters ended by live "!" or killed "_".
        const std::size_t end = s.substr(0, 11).find_first_of("!_", 2);
        if (end != kNone)
            readAfterPosition(s, end + 1, report);
        break;
    }
    default:
        break;
    }
    return report;
}

double toMetric(Field f, double v)
{
    switch (f) {
    case Field::WindSpeed:
    case Field::WindGust:
        return v * kKmhPerMph;
    case Field::Temperature:
        return (v - 32.0) * 5.0 / 9.0;
    case Field::Rain1h:
    case Field::Rain24h:
    case Field::RainSinceMidnight:
    case Field::Snow24h:
        return v * kMmPerInch;
    default:
        return v;
    }
}

} // namespace quintaro::weather
