#pragma once

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace testsupport {

// starter_probe (starter_probe.cpp), a stand-in for a weather display that
// records what it was started with, copied to `path` ("....exe" on Windows).
inline bool placeStarterProbe(const QString &path)
{
    QFile::remove(path);
    return QFile::copy(QStringLiteral(QUINTARO_STARTER_PROBE), path);
}

// The record of a probe started from `folder`, once complete: its process id,
// its current folder, QUINTARO_STARTER_PROBE, then on Windows its command
// line, on Linux the number of its arguments and each argument. Empty until
// it is there.
inline QByteArrayList starterProbeRecord(const QString &folder)
{
    QFile file(folder + QStringLiteral("/received"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArrayList fields = file.readAll().split('\0');
    if (fields.size() < 2 || !fields.last().isEmpty())
        return {};
    fields.removeLast();
    return fields;
}

#ifdef Q_OS_WIN
// The command line a program started by `line` is handed, its program named
// by `program` as the line has it. Wine, unlike Windows, puts a program that
// it found by an unquoted prefix holding a blank into quotes; the rest is as
// it was.
inline QString commandLineHandedOver(const QString &line, const QString &program)
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const bool wine = ntdll && ::GetProcAddress(ntdll, "wine_get_version");
    const QString name = QDir::toNativeSeparators(program);
    if (!wine || !name.contains(QLatin1Char(' ')) || !line.startsWith(name))
        return line;
    return QLatin1Char('"') + name + QLatin1Char('"') + line.mid(name.size());
}
#endif

} // namespace testsupport
