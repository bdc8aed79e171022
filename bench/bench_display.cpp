// The weather display's costs: opening a station with 30 days of history
// (8 641 reports, one every 5 minutes) until its window is shown with the
// values and graphs, and its memory then against a bare Qt window showing
// one empty chart, both resident (RSS) and proportional (PSS). Each program
// is started many times, alternately, from outside, through the start-up
// probe (StartupProbe.h); the store is made once by history_writer.
// Then the statistics page of a station with a year of daily summaries and
// 30 days of reports, opened in a display already open (statistics_probe):
// from the user's choice of the page until its tables are drawn.
// Goals: open in under a second; memory at most 1.3 times the bare window's;
// the statistics in under half a second.

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using benchsupport::format;
using benchsupport::median;

constexpr int kRuns = 12;
constexpr double kGoalSeconds = 1.0;
constexpr double kGoalMemory = 1.3;
constexpr double kGoalStatisticsSeconds = 0.5;

struct Start
{
    double seconds = 0;
    double rssMb = 0;
    double pssMb = 0;
    std::string error;
};

struct Figures
{
    std::vector<double> displaySeconds, displayRss, displayPss, bareSeconds, bareRss, barePss;
};
Figures g_figures;
QTemporaryDir *g_dir = nullptr;

Start startOnce(const QString &program, const QStringList &arguments)
{
    Start result;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUINTARO_HISTORY"),
                       g_dir->filePath(QStringLiteral("history.sqlite")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                       g_dir->filePath(QStringLiteral("config")));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    const auto begin = std::chrono::steady_clock::now();
    process.start(program, arguments);
    QByteArray line;
    while (!line.contains('\n') && process.waitForReadyRead(30000))
        line += process.readAllStandardOutput();
    const auto end = std::chrono::steady_clock::now();
    if (process.state() != QProcess::NotRunning) {
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished(5000);
    }
    long rss = -1;
    long pss = -1;
    if (std::sscanf(line.constData(), "startup-probe VmRSS: %ld kB Pss: %ld kB", &rss, &pss) != 2 ||
        rss <= 0 || pss <= 0) {
        result.error = program.toStdString() + " gave no start-up report: " +
                       process.readAllStandardError().left(400).toStdString();
        return result;
    }
    result.seconds = std::chrono::duration<double>(end - begin).count();
    result.rssMb = rss / 1024.0;
    result.pssMb = pss / 1024.0;
    return result;
}

void BM_DisplayOpen(benchmark::State &state)
{
    QTemporaryDir dir;
    g_dir = &dir;
    QProcess writer;
    writer.start(QStringLiteral(HISTORY_WRITER_PROGRAM),
                 {dir.filePath(QStringLiteral("history.sqlite")), QStringLiteral("IK1WXA"),
                  QStringLiteral("--days"), QStringLiteral("30"), QStringLiteral("--interval"),
                  QStringLiteral("300")});
    if (!writer.waitForFinished(120000) || writer.exitCode() != 0) {
        state.SkipWithError("history_writer could not make the store");
        return;
    }
    const QStringList displayArguments = {QStringLiteral("IK1WXA"), QStringLiteral("127.0.0.1")};
    // Warm-ups load the libraries into the page cache.
    for (int i = 0; i < 2; ++i) {
        startOnce(QStringLiteral(DISPLAY_PROGRAM), displayArguments);
        startOnce(QStringLiteral(BARE_CHART_PROGRAM), {});
    }
    g_figures = {};
    int turn = 0;
    for (auto _ : state) {
        Start display, bare;
        for (int k = 0; k < 2; ++k) {
            if ((turn + k) % 2 == 0)
                display = startOnce(QStringLiteral(DISPLAY_PROGRAM), displayArguments);
            else
                bare = startOnce(QStringLiteral(BARE_CHART_PROGRAM), {});
        }
        ++turn;
        for (const Start *s : {&display, &bare}) {
            if (!s->error.empty()) {
                state.SkipWithError(s->error.c_str());
                return;
            }
        }
        g_figures.displaySeconds.push_back(display.seconds);
        g_figures.displayRss.push_back(display.rssMb);
        g_figures.displayPss.push_back(display.pssMb);
        g_figures.bareSeconds.push_back(bare.seconds);
        g_figures.bareRss.push_back(bare.rssMb);
        g_figures.barePss.push_back(bare.pssMb);
        state.SetIterationTime(display.seconds);
    }
    g_dir = nullptr;
}

void BM_StatisticsOpen(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("year.sqlite"));
    QProcess writer;
    writer.start(QStringLiteral(HISTORY_WRITER_PROGRAM),
                 {store, QStringLiteral("IK1WXA"), QStringLiteral("--days"), QStringLiteral("30"),
                  QStringLiteral("--summary-days"), QStringLiteral("335")});
    if (!writer.waitForFinished(120000) || writer.exitCode() != 0) {
        state.SkipWithError("history_writer could not make the store");
        return;
    }
    for (auto _ : state) {
        QProcess probe;
        probe.start(QStringLiteral(STATISTICS_PROGRAM), {store, QStringLiteral("IK1WXA")});
        double ms = 0;
        int months = 0;
        if (!probe.waitForFinished(30000) ||
            std::sscanf(probe.readAllStandardOutput().constData(),
                        "statistics-open: %lf ms, %d months", &ms, &months) != 2 ||
            months != 12) {
            state.SkipWithError("statistics_probe gave no figure");
            return;
        }
        state.SetIterationTime(ms / 1e3);
    }
}

BENCHMARK(BM_DisplayOpen)->UseManualTime()->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatisticsOpen)->UseManualTime()->Iterations(kRuns)->Unit(benchmark::kMillisecond);

void summarize(const std::vector<benchsupport::Result> &results)
{
    benchsupport::Summary summary(format(
        "Weather display: open with 30 days of one station (8641 reports), %d starts (platform %s)",
        kRuns, qgetenv("QT_QPA_PLATFORM").constData()));
    const benchsupport::Result *r = benchsupport::find(results, "BM_DisplayOpen");
    if (!r || r->failed || g_figures.displaySeconds.empty()) {
        summary.failure(r ? r->error : std::string("the benchmark did not run"));
        return;
    }
    const Figures &f = g_figures;
    const double open = median(f.displaySeconds);
    const double rssRatio = median(f.displayRss) / median(f.bareRss);
    const double pssRatio = median(f.displayPss) / median(f.barePss);
    summary.line(format("display: median %.0f ms to its window shown with data, RSS %.1f MB, "
                        "PSS %.1f MB",
                        open * 1e3, median(f.displayRss), median(f.displayPss)));
    summary.line(
        format("bare window with one empty chart: median %.0f ms, RSS %.1f MB, PSS %.1f MB",
               median(f.bareSeconds) * 1e3, median(f.bareRss), median(f.barePss)));
    summary.goal(format("display open with 30 days = %.0f ms (goal < %.0f ms)", open * 1e3,
                        kGoalSeconds * 1e3),
                 open < kGoalSeconds);
    summary.goal(format("resident memory display / bare chart window = %.2f (goal <= %.1f)",
                        rssRatio, kGoalMemory),
                 rssRatio <= kGoalMemory);
    summary.goal(format("proportional memory display / bare chart window = %.2f (goal <= %.1f)",
                        pssRatio, kGoalMemory),
                 pssRatio <= kGoalMemory);
    const benchsupport::Result *statistics = benchsupport::find(results, "BM_StatisticsOpen");
    if (!statistics || statistics->failed) {
        summary.failure(statistics ? statistics->error : std::string("statistics did not run"));
        return;
    }
    const double statisticsSeconds = statistics->realNs / 1e9;
    summary.goal(format("statistics page with a year of summaries and 30 days of reports = %.0f "
                        "ms (goal < %.0f ms)",
                        statisticsSeconds * 1e3, kGoalStatisticsSeconds * 1e3),
                 statisticsSeconds < kGoalStatisticsSeconds);
}

} // namespace

int main(int argc, char **argv)
{
    benchsupport::useOffscreenPlatformByDefault();
    QCoreApplication app(argc, argv);
    return benchsupport::runBenchmarks(argc, argv, summarize);
}
