#include "FieldReader.h"

namespace quintaro {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDelimiter(char c)
{
    return c == ',' || c == '\r' || c == '\n';
}

} // namespace

void FieldReader::consumeDelimiter()
{
    if (m_pos >= m_bytes.size())
        return;
    const char c = m_bytes[m_pos++];
    if (c == '\r' && m_pos < m_bytes.size() && m_bytes[m_pos] == '\n')
        ++m_pos;
}

FieldReader::Result FieldReader::next(Field &field)
{
    field.text.clear();
    field.quoted = false;
    if (atEnd())
        return Result::End;

    while (m_pos < m_bytes.size() && isBlank(m_bytes[m_pos]))
        ++m_pos;

    if (m_pos < m_bytes.size() && m_bytes[m_pos] == '"') {
        const std::size_t open = m_pos + 1;
        const std::size_t close = m_bytes.find('"', open);
        if (close == std::string_view::npos) {
            m_pos = m_bytes.size();
            return Result::UnclosedQuote;
        }
        field.text.assign(m_bytes.substr(open, close - open));
        field.quoted = true;
        m_pos = close + 1;
        while (m_pos < m_bytes.size() && !isDelimiter(m_bytes[m_pos]))
            ++m_pos;
        consumeDelimiter();
        return Result::Value;
    }

    const std::size_t start = m_pos;
    while (m_pos < m_bytes.size() && !isDelimiter(m_bytes[m_pos]))
        ++m_pos;
    std::size_t end = m_pos;
    while (end > start && isBlank(m_bytes[end - 1]))
        --end;
    field.text.assign(m_bytes.substr(start, end - start));
    consumeDelimiter();
    return Result::Value;
}

} // namespace quintaro
