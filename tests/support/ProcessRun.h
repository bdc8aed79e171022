#pragma once

#include <QProcess>

#include <csignal>

namespace testsupport {

// A process started by the test, killed by its process id however the test
// ends.
struct ProcessRun
{
    QProcess process;

    ProcessRun() = default;
    ProcessRun(const ProcessRun &) = delete;
    ProcessRun &operator=(const ProcessRun &) = delete;
    ~ProcessRun()
    {
        if (process.state() != QProcess::NotRunning) {
            ::kill(pid_t(process.processId()), SIGKILL);
            process.waitForFinished(5000);
        }
    }
};

} // namespace testsupport
