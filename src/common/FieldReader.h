#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quintaro {

// One value of a free-format text file: the settings file and the station
// list files share this reading, so a list written by hand, by an older
// version or on another system reads the same way everywhere.
struct Field
{
    std::string text;
    bool quoted = false;
};

// Reads comma- and line-separated values from raw bytes.
//
// - A value ends at a comma, at a line end (CR LF, a lone CR or a lone LF)
//   or at the end of the input; the delimiter is consumed.
// - Blanks and tabs in front of a value are skipped; behind an unquoted
//   value they are dropped too, so hand-edited files with stray blanks read
//   as their author meant.
// - A value in double quotes is taken up to the closing quote, commas and
//   line ends included; whatever stands between the closing quote and the
//   next delimiter is ignored. A quote inside an unquoted value is an
//   ordinary character.
// - An empty line, or nothing between two commas, is an empty value.
// - Any byte other than the delimiters, NUL included, is an ordinary
//   character.
class FieldReader
{
public:
    enum class Result {
        Value,        // a value was read into the field
        End,          // nothing is left
        UnclosedQuote // a quoted value runs to the end of the input
    };

    explicit FieldReader(std::string_view bytes) : m_bytes(bytes) {}

    Result next(Field &field);
    bool atEnd() const { return m_pos >= m_bytes.size(); }

private:
    void consumeDelimiter();

    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

} // namespace quintaro
