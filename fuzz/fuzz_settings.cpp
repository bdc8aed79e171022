// The "Quintaro.ini" reader and the free-format field reader under it, fed
// any bytes a damaged or hand-edited file can hold.
//
// Checked: the field reader always moves on and gives fields of the promised
// shape; the 32-bit number reading agrees with a naive one; the settings
// reader counts what it read and leaves the rest at its defaults; a complete
// record, written back, reads again to the same values (quotes, which the
// format cannot carry inside a text, left out).

#include "FuzzCheck.h"

#include "FieldReader.h"
#include "SettingsFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace quintaro;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

void checkFields(std::string_view bytes)
{
    FieldReader reader(bytes);
    Field field;
    std::size_t values = 0;
    for (;;) {
        const FieldReader::Result result = reader.next(field);
        if (result == FieldReader::Result::End) {
            FUZZ_CHECK(reader.atEnd());
            break;
        }
        if (result == FieldReader::Result::UnclosedQuote) {
            FUZZ_CHECK(reader.atEnd());
            FUZZ_CHECK(reader.next(field) == FieldReader::Result::End);
            break;
        }
        // Every value takes at least its delimiter or one byte, but for the
        // value that ends the input.
        FUZZ_CHECK(++values <= bytes.size() + 1);
        FUZZ_CHECK(field.text.size() <= bytes.size());
        if (field.quoted) {
            FUZZ_CHECK(field.text.find('"') == std::string::npos);
        } else {
            FUZZ_CHECK(field.text.find_first_of(",\r\n") == std::string::npos);
            FUZZ_CHECK(field.text.empty() ||
                       (!isBlank(field.text.front()) && !isBlank(field.text.back())));
            FUZZ_CHECK(field.text.empty() || field.text.front() != '"');
        }
    }
}

// An optional sign and one or more digits, within the 32-bit range.
bool naiveInt32(std::string_view text, int &value)
{
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    while (text.size() > 1 && text[0] == '0')
        text.remove_prefix(1);
    if (text.size() > 10)
        return false;
    long long magnitude = 0;
    for (char c : text)
        magnitude = magnitude * 10 + (c - '0');
    const long long v = negative ? -magnitude : magnitude;
    if (v < -2147483648LL || v > 2147483647LL)
        return false;
    value = int(v);
    return true;
}

void checkNumbers(std::string_view bytes)
{
    FieldReader reader(bytes);
    Field field;
    for (int i = 0; i < 16 && reader.next(field) == FieldReader::Result::Value; ++i) {
        std::int32_t parsed = 0;
        int naive = 0;
        const bool ok = parseInt32(field.text, parsed);
        FUZZ_CHECK(ok == naiveInt32(field.text, naive));
        FUZZ_CHECK(!ok || parsed == naive);
    }
}

bool sameSettings(const Settings &a, const Settings &b)
{
    return a.host == b.host && a.path == b.path && a.left == b.left && a.top == b.top &&
           a.width == b.width && a.height == b.height && a.autoConnect == b.autoConnect &&
           a.reconnect == b.reconnect && a.usUnits == b.usUnits;
}

std::string withoutQuotes(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
    return text;
}

void checkSettings(std::string_view bytes)
{
    const SettingsReadResult read = readSettings(bytes);
    FUZZ_CHECK(read.valuesRead >= 0 && read.valuesRead <= kSettingsValueCount);
    const Settings &s = read.values;
    const Settings none;
    // Values not read stay empty, 0 or off.
    FUZZ_CHECK(read.valuesRead > 0 || s.host.empty());
    FUZZ_CHECK(read.valuesRead > 1 || s.path.empty());
    const int *numbers[] = {&s.left, &s.top, &s.width, &s.height};
    for (int i = 0; i < 4; ++i)
        FUZZ_CHECK(read.valuesRead > 2 + i || *numbers[i] == 0);
    FUZZ_CHECK(read.complete() || s.autoConnect == none.autoConnect);
    // The later values are read only after a complete record.
    FUZZ_CHECK(read.complete() || (!s.reconnect && !s.usUnits));
    if (!read.complete())
        return;

    Settings expected = s;
    expected.host = withoutQuotes(s.host);
    expected.path = withoutQuotes(s.path);
    const std::string written = writeSettings(s);
    const SettingsReadResult again = readSettings(written);
    FUZZ_CHECK(again.complete());
    FUZZ_CHECK(sameSettings(again.values, expected));
    // Written once more, the record is the same bytes.
    FUZZ_CHECK(writeSettings(again.values) == written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    checkFields(bytes);
    checkNumbers(bytes);
    checkSettings(bytes);
    return 0;
}
