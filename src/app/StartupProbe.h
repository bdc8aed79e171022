#pragma once

class QWidget;

namespace quintaro {

// With QUINTARO_STARTUP_PROBE set in the environment, the run prints its
// resident memory once `window` has been exposed and painted, and ends at
// once: the start-up benchmark times this from outside, and shutdown must not
// count. Without the variable it does nothing. The bare window the benchmark
// compares with uses the same probe.
void watchStartupForProbe(QWidget &window);

} // namespace quintaro
