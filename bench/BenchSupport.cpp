#include "BenchSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>
#include <algorithm>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace benchsupport {

namespace {

// How busy other programs keep the processors: the share of processor time
// not idle over a short interval while this program sleeps.
double othersBusy()
{
    const auto sample = [](unsigned long long &busy, unsigned long long &total) {
        busy = total = 0;
        std::FILE *file = std::fopen("/proc/stat", "r");
        if (!file)
            return;
        unsigned long long v[8] = {};
        if (std::fscanf(file, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2],
                        &v[3], &v[4], &v[5], &v[6], &v[7]) == 8) {
            for (unsigned long long x : v)
                total += x;
            busy = total - v[3] - v[4]; // less idle and waiting for input/output
        }
        std::fclose(file);
    };
    unsigned long long busy0, total0, busy1, total1;
    sample(busy0, total0);
    ::usleep(300 * 1000);
    sample(busy1, total1);
    return total1 > total0 ? double(busy1 - busy0) / double(total1 - total0) : 0;
}

double g_othersBusy = 0;

// Google Benchmark's table, and the finished runs kept for the summary.
class CollectingReporter final : public benchmark::ConsoleReporter
{
public:
    CollectingReporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        benchmark::ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            Result result;
            result.name = run.benchmark_name();
            result.failed = run.error_occurred;
            result.error = run.error_message;
            if (run.iterations > 0) {
                result.realNs = run.real_accumulated_time * 1e9 / double(run.iterations);
                result.cpuNs = run.cpu_accumulated_time * 1e9 / double(run.iterations);
            }
            for (const auto &[key, counter] : run.counters)
                result.counters[key] = counter.value;
            results.push_back(std::move(result));
        }
    }

    std::vector<Result> results;
};

} // namespace

double Result::counter(const std::string &key, double fallback) const
{
    const auto it = counters.find(key);
    return it == counters.end() ? fallback : it->second;
}

Summary::Summary(std::string title)
{
    print("\n== " + title + " ==");
    // Other work on the machine slows every figure down, unevenly; say so
    // where the figures are read.
    if (g_othersBusy > 0.25)
        line(format("note: other programs kept the processors %.0f%% busy around this run; the "
                    "times are inflated",
                    g_othersBusy * 100));
}

void Summary::print(const std::string &text)
{
    std::printf("%s\n", text.c_str());
    if (const char *path = std::getenv("QUINTARO_BENCH_SUMMARY")) {
        if (std::FILE *file = std::fopen(path, "a")) {
            std::fprintf(file, "%s\n", text.c_str());
            std::fclose(file);
        }
    }
}

void Summary::detail(const std::string &text)
{
    std::printf("  %s\n", text.c_str());
}

void Summary::line(const std::string &text)
{
    print("  " + text);
}

void Summary::goal(const std::string &what, bool met)
{
    print(format("  %-70s %s", what.c_str(), met ? "goal met" : "goal MISSED"));
    m_allMet = m_allMet && met;
}

void Summary::failure(const std::string &what)
{
    print("  FAILED: " + what);
    m_allMet = false;
}

std::string format(const char *fmt, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

const Result *find(const std::vector<Result> &results, const std::string &name)
{
    // Google Benchmark appends settings such as "/iterations:20" to a name.
    for (const Result &result : results) {
        if (result.name == name || result.name.rfind(name + "/", 0) == 0)
            return &result;
    }
    return nullptr;
}

namespace {

QtMessageHandler g_defaultHandler = nullptr;

void quietPlatformNotices(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.startsWith(QLatin1String("This plugin does not support")) ||
        text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    g_defaultHandler(type, context, text);
}

} // namespace

void useOffscreenPlatformByDefault()
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    g_defaultHandler = qInstallMessageHandler(quietPlatformNotices);
}

int runBenchmarks(int argc, char **argv,
                  const std::function<void(const std::vector<Result> &)> &summarize)
{
    // The windows and programs a benchmark starts record weather history:
    // into a scratch store, never the user's, unless one is named.
    QTemporaryDir historyDir;
    if (!std::getenv("QUINTARO_HISTORY"))
        ::setenv(
            "QUINTARO_HISTORY",
            QFile::encodeName(historyDir.filePath(QStringLiteral("history.sqlite"))).constData(),
            1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    CollectingReporter reporter;
    const double busyBefore = othersBusy();
    benchmark::RunSpecifiedBenchmarks(&reporter);
    g_othersBusy = std::max(busyBefore, othersBusy());
    std::fflush(stdout);
    summarize(reporter.results);
    std::fflush(stdout);
    benchmark::Shutdown();
    for (const Result &result : reporter.results) {
        if (result.failed)
            return 1;
    }
    return 0;
}

WorkDir::WorkDir() : m_previous(QDir::currentPath())
{
    if (!m_dir.isValid() || !QDir::setCurrent(m_dir.path())) {
        std::fprintf(stderr, "cannot make a temporary working directory\n");
        std::exit(1);
    }
}

WorkDir::~WorkDir()
{
    QDir::setCurrent(m_previous);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

} // namespace benchsupport
