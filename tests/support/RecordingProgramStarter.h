#pragma once

#include "ProgramStarter.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// Scripted program starts: installed for its lifetime, records every command
// line and answers each start with the next queued result (a task identifier,
// or 0 for a failed start); with nothing queued a start succeeds with the
// next of the identifiers 1001, 1002, ...
class RecordingProgramStarter final : public quintaro::stations::ProgramStarter
{
public:
    RecordingProgramStarter() { quintaro::stations::setProgramStarter(this); }
    ~RecordingProgramStarter() override { quintaro::stations::setProgramStarter(nullptr); }

    void succeedNext(long long taskId) { m_results.push_back(taskId); }
    void failNext(int times = 1) { m_results.insert(m_results.end(), times, 0); }
    // From now on every unscripted start fails (true) or succeeds (false).
    void failAll(bool fail) { m_failAll = fail; }

    std::vector<std::string> commandLines;

    long long start(std::string_view commandLine) override
    {
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
    long long m_lastId = 1000;
};

} // namespace testsupport
