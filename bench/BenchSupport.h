#pragma once

// What every benchmark program of Quintaro shares: a Qt application on the
// offscreen platform, a private working directory for the window's files,
// and a closing summary that states each goal and whether it was met.

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace benchsupport {

// One finished benchmark as the summary sees it: wall and processor time per
// iteration in nanoseconds and the user counters after Google Benchmark's
// finishing.
struct Result
{
    std::string name;
    double realNs = 0;
    double cpuNs = 0;
    std::map<std::string, double> counters;
    bool failed = false;
    std::string error;

    double counter(const std::string &key, double fallback = -1) const;
};

// The closing lines of a benchmark program. With QUINTARO_BENCH_SUMMARY
// naming a file, they are also appended there, so that `make bench` can
// repeat every goal at the end of its run.
class Summary
{
public:
    explicit Summary(std::string title);
    void line(const std::string &text);
    // A line for this program's own output only, not for the repetition.
    void detail(const std::string &text);
    // A measured figure against its goal; prints "met" or "MISSED".
    void goal(const std::string &what, bool met);
    void failure(const std::string &what);
    // Whether every goal stated so far was met and nothing failed.
    bool allMet() const { return m_allMet; }

private:
    void print(const std::string &text);

    bool m_allMet = true;
};

// Runs the benchmarks registered in the program, prints Google Benchmark's
// table and then the summary that `summarize` writes from the results.
// Returns the program's exit status: 0 unless a benchmark failed (a goal
// that is missed is reported, not treated as a failure of the run).
int runBenchmarks(int argc, char **argv,
                  const std::function<void(const std::vector<Result> &)> &summarize);

// Sets up the offscreen platform unless the caller chose another one, and
// keeps its harmless notices (no window manager hints, no runtime directory)
// out of the output.
void useOffscreenPlatformByDefault();

// The result of the benchmark called `name`, whatever settings Google
// Benchmark added to it; nullptr when it did not run.
const Result *find(const std::vector<Result> &results, const std::string &name);

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// The middle of the values (the mean of the two middle ones for an even
// count); 0 for none.
double median(std::vector<double> values);

// A fresh empty directory that is the process's current directory for the
// object's lifetime: the main window reads and writes Quintaro.ini there.
class WorkDir
{
public:
    WorkDir();
    ~WorkDir();
    WorkDir(const WorkDir &) = delete;
    WorkDir &operator=(const WorkDir &) = delete;

    QString path() const { return m_dir.path(); }

private:
    QString m_previous;
    QTemporaryDir m_dir;
};

} // namespace benchsupport
