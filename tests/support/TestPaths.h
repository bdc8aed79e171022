#pragma once

#include <QString>

namespace testsupport {

// Root of the source tree (set by CTest; falls back to the compile-time path).
QString sourceDir();
// Build directory holding build/quintaro and the test programs.
QString binaryDir();
// The shared folder of real APRS packets beside the project, or an empty
// string when it is not there (it is not part of the project).
QString aprsSamplesDir();

} // namespace testsupport
