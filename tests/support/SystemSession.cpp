#include "SystemSession.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#endif

namespace testsupport {

#ifdef Q_OS_WIN

namespace {

struct WindowSearch
{
    DWORD pid = 0;
    bool visibleOnly = false;
    QList<HWND> windows;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM search)
{
    auto *s = reinterpret_cast<WindowSearch *>(search);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == s->pid && (!s->visibleOnly || ::IsWindowVisible(window)))
        s->windows.append(window);
    return TRUE;
}

QList<HWND> topLevelWindows(qint64 pid, bool visibleOnly)
{
    WindowSearch search{DWORD(pid), visibleOnly, {}};
    ::EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

} // namespace

bool readyForSessionEnd(qint64 pid, int)
{
    return !topLevelWindows(pid, true).isEmpty();
}

bool endSession(qint64 pid, int)
{
    const QList<HWND> windows = topLevelWindows(pid, false);
    DWORD_PTR answer = 0;
    for (HWND window : windows)
        ::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                              5000, &answer);
    for (HWND window : windows)
        ::SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                              10000, &answer);
    // Windows then ends the program, unless it ended by itself meanwhile.
    if (const HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, DWORD(pid))) {
        if (::WaitForSingleObject(process, 3000) == WAIT_TIMEOUT)
            ::TerminateProcess(process, 0);
        ::CloseHandle(process);
    }
    return !windows.isEmpty();
}

#else

bool readyForSessionEnd(qint64 pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1;
    }
    return false;
}

bool endSession(qint64 pid, int signalNumber)
{
    return ::kill(pid_t(pid), signalNumber) == 0;
}

#endif

} // namespace testsupport
