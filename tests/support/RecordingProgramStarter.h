#pragma once

#include "ProgramStarter.h"
#include "QuintaroVersion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// Scripted program starts: installed for its lifetime, records every command
// line and answers each start with the next queued result (a task identifier,
// or 0 for a failed start); with nothing queued a start succeeds with the
// next of the identifiers 1001, 1002, ...
//
// The weather display that Quintaro starts in place of a missing default
// Brezomat program is looked for beside the running program: beside a test
// program there is none, so its starts fail unless a test says it is there.
// They are recorded apart.
class RecordingProgramStarter final : public quintaro::stations::ProgramStarter
{
public:
    RecordingProgramStarter() { quintaro::stations::setProgramStarter(this); }
    ~RecordingProgramStarter() override { quintaro::stations::setProgramStarter(nullptr); }

    void succeedNext(long long taskId) { m_results.push_back(taskId); }
    void failNext(int times = 1) { m_results.insert(m_results.end(), times, 0); }
    // From now on every unscripted start fails (true) or succeeds (false).
    void failAll(bool fail) { m_failAll = fail; }
    void setWeatherDisplayInstalled(bool installed) { m_displayInstalled = installed; }

    std::vector<std::string> commandLines;
    std::vector<std::string> weatherDisplayLines;

    // The weather display's path as Quintaro looks for it.
    static std::string weatherDisplayPath()
    {
        return QFile::encodeName(QDir::toNativeSeparators(
                                     QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                     QLatin1String(quintaro::kWeatherDisplayProgram)))
            .toStdString();
    }

    long long start(std::string_view commandLine) override
    {
        if (commandLine.starts_with(weatherDisplayPath() + ' ')) {
            weatherDisplayLines.emplace_back(commandLine);
            return m_displayInstalled ? ++m_lastId : 0;
        }
        commandLines.emplace_back(commandLine);
        if (!m_results.empty()) {
            const long long result = m_results.front();
            m_results.pop_front();
            return result;
        }
        return m_failAll ? 0 : ++m_lastId;
    }

private:
    std::deque<long long> m_results;
    bool m_failAll = false;
    bool m_displayInstalled = false;
    long long m_lastId = 1000;
};

} // namespace testsupport
