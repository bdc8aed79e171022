#include "SettingsFile.h"

#include "FieldReader.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace quintaro {

namespace {

constexpr std::string_view kDefaultHost = "localhost";
// A settings record is a few hundred bytes; its reader stops after the
// seventh value, so the rest of an oversized file need not be read at all.
constexpr std::size_t kSettingsReadLimit = 64 * 1024;

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

void appendQuoted(std::string &out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        if (c != '"')
            out += c;
    }
    out += '"';
}

} // namespace

bool parseInt32(std::string_view text, std::int32_t &value)
{
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
        digits.remove_prefix(1);
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    // from_chars takes a minus but not a plus.
    const std::string_view number = text.front() == '+' ? digits : text;
    std::int32_t parsed = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), parsed);
    if (error != std::errc() || end != number.data() + number.size())
        return false;
    value = parsed;
    return true;
}

bool parseBooleanLiteral(std::string_view text, bool &value)
{
    if (equalsIgnoringCase(text, "#TRUE#")) {
        value = true;
        return true;
    }
    if (equalsIgnoringCase(text, "#FALSE#")) {
        value = false;
        return true;
    }
    return false;
}

SettingsReadResult readSettings(std::string_view bytes)
{
    SettingsReadResult result;
    Settings &s = result.values;
    FieldReader reader(bytes);
    Field field;

    auto nextValue = [&]() { return reader.next(field) == FieldReader::Result::Value; };
    auto nextText = [&](std::string &target) {
        if (!nextValue())
            return false;
        target = field.text;
        return true;
    };
    auto nextNumber = [&](int &target) {
        std::int32_t number = 0;
        if (!nextValue() || !parseInt32(field.text, number))
            return false;
        target = number;
        return true;
    };

    if (!nextText(s.host))
        return result;
    ++result.valuesRead;
    if (!nextText(s.path))
        return result;
    ++result.valuesRead;
    for (int *number : {&s.left, &s.top, &s.width, &s.height}) {
        if (!nextNumber(*number))
            return result;
        ++result.valuesRead;
    }
    if (!nextValue() || !parseBooleanLiteral(field.text, s.autoConnect))
        return result;
    ++result.valuesRead;

    if (nextValue() && !parseBooleanLiteral(field.text, s.reconnect))
        s.reconnect = false;
    if (nextValue())
        s.usUnits = equalsIgnoringCase(field.text, "US");
    return result;
}

std::string writeSettings(const Settings &s)
{
    std::string out;
    appendQuoted(out, s.host);
    out += ',';
    appendQuoted(out, s.path);
    for (int number : {s.left, s.top, s.width, s.height}) {
        out += ',';
        out += std::to_string(number);
    }
    for (const bool flag : {s.autoConnect, s.reconnect})
        out += flag ? ",#TRUE#" : ",#FALSE#";
    out += s.usUnits ? ",\"US\"\r\n" : ",\"metric\"\r\n";
    return out;
}

std::string defaultSettingsRecord()
{
    std::string out;
    appendQuoted(out, kDefaultHost);
    out += ',';
    appendQuoted(out, kDefaultBrezomatPath);
    out += ",0,0,4900,2950,\"#FALSE#\"\r\n";
    return out;
}

FileWriteResult writeDefaultSettingsFile(const std::string &path)
{
    return writeFileAtomically(path, defaultSettingsRecord());
}

LoadedSettings loadSettingsFile(const std::string &path)
{
    LoadedSettings loaded;
    const auto writeDefaults = [&] {
        const FileWriteResult written = writeDefaultSettingsFile(path);
        loaded.defaultsWritten = true;
        loaded.writeError = written.error;
    };
    std::string bytes;
    if (!readWholeFile(path, bytes, nullptr, kSettingsReadLimit)) {
        writeDefaults();
        // When even the new file cannot be read back, the run starts with the
        // defaults themselves rather than with nothing.
        if (!readWholeFile(path, bytes, nullptr, kSettingsReadLimit))
            bytes = defaultSettingsRecord();
    }
    loaded.read = readSettings(bytes);
    if (!loaded.read.complete() && !loaded.defaultsWritten)
        writeDefaults();
    return loaded;
}

} // namespace quintaro
