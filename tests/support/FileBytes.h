#pragma once

#include <QByteArray>
#include <QFile>
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

} // namespace testsupport
