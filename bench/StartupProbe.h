#pragma once

class QObject;

namespace benchsupport {

// For the start-up benchmarks: once a top-level window has been exposed, and
// the event loop has turned once more so that it is painted, prints
// "startup-probe VmRSS: <n> kB Pss: <n> kB" with the process's resident and
// proportional memory (its share of pages it shares with others) and ends
// the process at once, so that shutdown is not timed. Installed as an event
// filter on the application before any window is shown; the filter is a
// child of `parent`.
void installStartupProbe(QObject *parent);

// The process's resident memory in kB (VmRSS), or -1 when it cannot be read.
long residentKilobytes();
// The process's proportional set size in kB (Pss), or -1.
long proportionalKilobytes();

} // namespace benchsupport
