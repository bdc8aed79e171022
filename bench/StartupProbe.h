#pragma once

class QObject;

namespace benchsupport {

// For the start-up benchmark: once a top-level window has been exposed, and
// the event loop has turned once more so that it is painted, prints
// "startup-probe VmRSS: <n> kB" with the process's resident memory and ends
// the process at once, so that shutdown is not timed. Installed as an event
// filter on the application before any window is shown; the filter is a
// child of `parent`.
void installStartupProbe(QObject *parent);

// The process's resident memory in kB (VmRSS), or -1 when it cannot be read.
long residentKilobytes();

} // namespace benchsupport
