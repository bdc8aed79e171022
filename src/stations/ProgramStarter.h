#pragma once

#include <string_view>

namespace quintaro::stations {

// Starts Brezomat from one command line without waiting for it.
class ProgramStarter
{
public:
    virtual ~ProgramStarter();

    // The new process's identifier, or 0 when the start failed for any reason.
    virtual long long start(std::string_view commandLine) = 0;
};

// Resolves the command line in the real file system (resolveCommandLine) and
// starts the program as a process of its own, with this program's current
// directory and environment; no shell ever sees the line. On Linux it runs
// in a new session, not a child of this program (so it neither dies with it
// nor lingers as a zombie), its arguments the line's bytes exactly; on
// Windows the line goes to CreateProcess whole, which finds the program as
// Windows always has, in a normal window in front. A start counts as failed
// (0) when no program is found or the system refuses to execute it.
class SystemProgramStarter final : public ProgramStarter
{
public:
    long long start(std::string_view commandLine) override;
};

// The starter every start goes through: the system one unless a test has
// installed another. Passing nullptr restores the system starter. The caller
// keeps ownership of an installed starter.
ProgramStarter &programStarter();
void setProgramStarter(ProgramStarter *starter);

} // namespace quintaro::stations
