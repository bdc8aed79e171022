#pragma once

#include <QProcess>

namespace testsupport {

// A process started by the test, killed however the test ends.
struct ProcessRun
{
    QProcess process;

    ProcessRun() = default;
    ProcessRun(const ProcessRun &) = delete;
    ProcessRun &operator=(const ProcessRun &) = delete;
    ~ProcessRun()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

} // namespace testsupport
