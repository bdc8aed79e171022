#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

namespace testsupport {

// The file's bytes, or `unreadable` when it cannot be read (a text no test
// expects, so that a comparison shows what went wrong).
inline QByteArray readFile(const QString &path, const QByteArray &unreadable = "<missing>")
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : unreadable;
}

// Writes the file anew with exactly these bytes; false when that fails.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The file's lines without their '\n'; none when it cannot be read.
inline QList<QByteArray> readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace testsupport
