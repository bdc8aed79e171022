#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <cstddef>
#include <string>
#include <vector>

// Byte strings for the station tests: a call is the radio's bytes, NUL and
// high bytes included, so table rows are built with their exact size and
// lists are compared through a readable rendering that shows every byte.
namespace stationstest {

template <std::size_t N> QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, static_cast<qsizetype>(N - 1));
}

inline std::vector<std::string> toStd(const QByteArrayList &list)
{
    std::vector<std::string> out;
    for (const QByteArray &item : list)
        out.push_back(item.toStdString());
    return out;
}

inline QByteArray escaped(const std::string &bytes)
{
    QByteArray text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\' && byte != '|')
            text += c;
        else
            text += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
    }
    return text;
}

// "[a|b|c]", every byte visible, so a failed comparison shows what differs.
inline QByteArray show(const std::vector<std::string> &list)
{
    QByteArray text = "[";
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i)
            text += '|';
        text += escaped(list[i]);
    }
    return text + ']';
}

inline QByteArray show(const QByteArrayList &list)
{
    return show(toStd(list));
}

} // namespace stationstest
