#pragma once

#include <QString>

namespace testsupport {

// Root of the source tree (set by CTest; falls back to the compile-time path).
QString sourceDir();
// Build directory holding build/quintaro and the test programs.
QString binaryDir();
// A file of tests/data/, the samples the tests carry with them.
QString testDataFile(const QString &name);

} // namespace testsupport
