#pragma once

#include <QtGlobal>

namespace testsupport {

// The end of the user's session as the system tells a running program of it.
//
// Whether the program `pid` is ready to be told: on Linux it has its own
// handler for the signal, so that from then on the signal ends it in order;
// on Windows it shows a window, to which the system sends its messages.
bool readyForSessionEnd(qint64 pid, int signalNumber);

// Tells the program `pid` that the session ends: on Linux the signal; on
// Windows, where no signal tells it, WM_QUERYENDSESSION and then
// WM_ENDSESSION (log-off) to each of its top-level windows, each handled
// before the next, after which Windows ends the program as it does at a
// log-off (with status 0 here) unless it ends within 3 s. False when it could
// not be told.
bool endSession(qint64 pid, int signalNumber);

} // namespace testsupport
