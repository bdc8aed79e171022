#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

namespace testsupport {

// Makes the process's local time the zone given in the POSIX form ("CET-1":
// one hour east of UTC all year), for Qt and the C library alike, which read
// TZ once told to. The POSIX form is the one the C libraries of Linux and
// Windows both read.
inline void setLocalTimeZone(const char *posixZone)
{
    qputenv("TZ", posixZone);
#ifdef Q_OS_WIN
    _tzset();
#else
    tzset();
#endif
}

} // namespace testsupport
