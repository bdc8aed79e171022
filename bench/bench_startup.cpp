// Start-up cost: quintaro against a bare Qt Widgets window built for the
// purpose, each started many times, alternately, in a fresh temporary
// directory (quintaro writes its Quintaro.ini there and reads it before its
// window is shown), on the same platform. For information, quintaro is also
// started where its Quintaro.ini already is. Measured from outside: from the
// process's start until it reports that its window has been exposed and
// painted, and its resident memory then. Quintaro is started as
// quintaro_probe: the program as users start it, with the start-up probe
// (StartupProbe.h) that the bare window has too.
// Quintaro records into a store that already holds a month of 30 stations'
// reports (made by history_writer), as a user's does: its writer checks
// every page of it at start.
// Goal: quintaro at most 1.5 times the bare window's start-up time and
// 1.3 times its memory.

#include "BenchSupport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using benchsupport::median;

constexpr int kWarmUps = 2; // per program, not counted: loads the libraries into the page cache
constexpr int kPairs = 40;
constexpr int kWaitMs = 30000;
constexpr double kGoalTime = 1.5;
constexpr double kGoalMemory = 1.3;

struct Start
{
    double seconds = 0;
    double rssMb = 0;
    std::string error;
    QByteArray settings; // quintaro's Quintaro.ini after the run
};

// Starts `program` in a fresh directory, with `presetSettings` as its
// Quintaro.ini when given, and waits for its probe line. The process is
// stopped by its id whatever happens.
Start startOnce(const char *program, bool writesSettings,
                const QByteArray *presetSettings = nullptr)
{
    Start result;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        result.error = "cannot make a temporary directory";
        return result;
    }
    const std::string dirPath = dir.path().toStdString();
    if (presetSettings) {
        QFile ini(dir.filePath(QStringLiteral("Quintaro.ini")));
        if (!ini.open(QIODevice::WriteOnly) ||
            ini.write(*presetSettings) != presetSettings->size()) {
            result.error = "cannot write Quintaro.ini";
            return result;
        }
    }
    const std::string errPath = dirPath + "/stderr.txt";

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        result.error = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, dirPath.c_str());

    char *argv[] = {const_cast<char *>(program), nullptr};

    pid_t pid = -1;
    const auto begin = std::chrono::steady_clock::now();
    const int spawned = ::posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        result.error = std::string("cannot start ") + program + ": " + std::strerror(spawned);
        return result;
    }

    std::string output;
    bool gotLine = false;
    for (;;) {
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - begin)
                                .count();
        pollfd p{out[0], POLLIN, 0};
        if (waited >= kWaitMs || ::poll(&p, 1, int(kWaitMs - waited)) <= 0)
            break;
        char chunk[256];
        const ssize_t n = ::read(out[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        output.append(chunk, std::size_t(n));
        if (output.find('\n') != std::string::npos) {
            gotLine = true;
            break;
        }
    }
    const auto end = std::chrono::steady_clock::now();
    ::close(out[0]);
    if (!gotLine)
        ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);

    result.seconds = std::chrono::duration<double>(end - begin).count();
    long rssKb = -1;
    if (!gotLine || std::sscanf(output.c_str(), "startup-probe VmRSS: %ld kB", &rssKb) != 1 ||
        rssKb <= 0) {
        QFile err(QString::fromStdString(errPath));
        const QByteArray said =
            err.open(QIODevice::ReadOnly) ? err.read(400).trimmed() : QByteArray();
        result.error = std::string(program) + " gave no start-up report" +
                       (said.isEmpty() ? std::string() : ": " + said.toStdString());
        return result;
    }
    result.rssMb = double(rssKb) / 1024.0;
    if (writesSettings) {
        QFile ini(dir.filePath(QStringLiteral("Quintaro.ini")));
        if (ini.open(QIODevice::ReadOnly))
            result.settings = ini.readAll();
        if (result.settings.isEmpty())
            result.error = std::string(program) + " left no Quintaro.ini in its directory";
    }
    return result;
}

struct Figures
{
    std::vector<double> bareTimes, quintaroTimes, bareRss, quintaroRss;
    // For information: quintaro started where its Quintaro.ini already is,
    // so that it only reads it.
    std::vector<double> settledTimes;
};
Figures g_figures;

// One iteration starts the bare window and quintaro (in a fresh directory,
// and where its settings already are) once each, in rotating order; the
// iteration's time is quintaro's in a fresh directory.
void BM_Startup(benchmark::State &state)
{
    g_figures = {};
    QStringList calls;
    for (int i = 0; i < 30; ++i)
        calls << QStringLiteral("IK%1WX").arg(i);
    QProcess writer;
    writer.start(QStringLiteral(HISTORY_WRITER_PROGRAM),
                 {qEnvironmentVariable("QUINTARO_HISTORY"), calls.join(QLatin1Char(',')),
                  QStringLiteral("--days"), QStringLiteral("30")});
    if (!writer.waitForFinished(120000) || writer.exitCode() != 0) {
        state.SkipWithError("history_writer could not make the store");
        return;
    }
    QByteArray settings;
    for (int i = 0; i < kWarmUps; ++i) {
        const Start bare = startOnce(BARE_WINDOW_PROGRAM, false);
        const Start quintaro = startOnce(QUINTARO_PROGRAM, true);
        for (const Start *s : {&bare, &quintaro}) {
            if (!s->error.empty()) {
                state.SkipWithError(s->error.c_str());
                return;
            }
        }
        settings = quintaro.settings;
    }
    int turn = 0;
    for (auto _ : state) {
        Start bare;
        Start quintaro;
        Start settled;
        for (int k = 0; k < 3; ++k) {
            switch ((turn + k) % 3) {
            case 0:
                bare = startOnce(BARE_WINDOW_PROGRAM, false);
                break;
            case 1:
                quintaro = startOnce(QUINTARO_PROGRAM, true);
                break;
            default:
                settled = startOnce(QUINTARO_PROGRAM, true, &settings);
                break;
            }
        }
        ++turn;
        for (const Start *s : {&bare, &quintaro, &settled}) {
            if (!s->error.empty()) {
                state.SkipWithError(s->error.c_str());
                return;
            }
        }
        g_figures.bareTimes.push_back(bare.seconds);
        g_figures.quintaroTimes.push_back(quintaro.seconds);
        g_figures.bareRss.push_back(bare.rssMb);
        g_figures.quintaroRss.push_back(quintaro.rssMb);
        g_figures.settledTimes.push_back(settled.seconds);
        state.SetIterationTime(quintaro.seconds);
    }
    const double bareMs = median(g_figures.bareTimes) * 1e3;
    const double quintaroMs = median(g_figures.quintaroTimes) * 1e3;
    const double bareMb = median(g_figures.bareRss);
    const double quintaroMb = median(g_figures.quintaroRss);
    state.counters["bare_ms"] = bareMs;
    state.counters["quintaro_ms"] = quintaroMs;
    state.counters["time_ratio"] = quintaroMs / bareMs;
    state.counters["bare_RSS_MB"] = bareMb;
    state.counters["quintaro_RSS_MB"] = quintaroMb;
    state.counters["RSS_ratio"] = quintaroMb / bareMb;
    state.counters["settled_ms"] = median(g_figures.settledTimes) * 1e3;
}

BENCHMARK(BM_Startup)->UseManualTime()->Iterations(kPairs)->Unit(benchmark::kMillisecond);

void summarize(const std::vector<benchsupport::Result> &results)
{
    using benchsupport::format;
    benchsupport::Summary summary(
        format("Start-up to window shown, %d alternate starts each (platform %s)", kPairs,
               qgetenv("QT_QPA_PLATFORM").constData()));
    const benchsupport::Result *r = benchsupport::find(results, "BM_Startup");
    if (!r || r->failed) {
        summary.failure(r ? r->error : std::string("the benchmark did not run"));
        return;
    }
    const auto range = [](const std::vector<double> &v, double scale) {
        const auto [low, high] = std::minmax_element(v.begin(), v.end());
        return format("%.1f .. %.1f", *low * scale, *high * scale);
    };
    summary.line(format("bare window: median %6.1f ms (%s), resident %5.1f MB (%s)",
                        r->counter("bare_ms"), range(g_figures.bareTimes, 1e3).c_str(),
                        r->counter("bare_RSS_MB"), range(g_figures.bareRss, 1).c_str()));
    summary.line(format("quintaro:    median %6.1f ms (%s), resident %5.1f MB (%s)",
                        r->counter("quintaro_ms"), range(g_figures.quintaroTimes, 1e3).c_str(),
                        r->counter("quintaro_RSS_MB"), range(g_figures.quintaroRss, 1).c_str()));
    summary.line(format("quintaro, its Quintaro.ini already there (information): median %.1f ms "
                        "(%s), %.2f x the bare window",
                        r->counter("settled_ms"), range(g_figures.settledTimes, 1e3).c_str(),
                        r->counter("settled_ms") / r->counter("bare_ms")));
    summary.goal(format("start-up time quintaro / bare window = %.2f (goal <= %.1f)",
                        r->counter("time_ratio"), kGoalTime),
                 r->counter("time_ratio") <= kGoalTime);
    summary.goal(format("resident memory quintaro / bare window = %.2f (goal <= %.1f)",
                        r->counter("RSS_ratio"), kGoalMemory),
                 r->counter("RSS_ratio") <= kGoalMemory);
}

} // namespace

int main(int argc, char **argv)
{
    // Both programs run on the offscreen platform unless the caller chose
    // another one; the environment passes it on.
    benchsupport::useOffscreenPlatformByDefault();
    QCoreApplication app(argc, argv);
    return benchsupport::runBenchmarks(argc, argv, summarize);
}
