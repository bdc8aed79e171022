// The weather history's writer: how many reports a second the recorder
// writes (a full queue handed over at once, written by its thread), what
// share of that the daily summaries take, how large the store grows in a
// month of 30 stations reporting every 5 minutes, the period a store keeps
// reports unless told otherwise, and what a year of their daily summaries
// adds. Everything goes to a scratch file named by QUINTARO_HISTORY, never
// to the user's store.

#include "BenchSupport.h"
#include "DaySummaries.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"
#include "StartupProbe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using quintaro::history::HistoryRecorder;
using quintaro::history::PendingReport;

constexpr int kStations = 30;
constexpr int kIntervalSeconds = 300;
constexpr int kMonthReports = 30 * 24 * 3600 / kIntervalSeconds * kStations; // 259 200
// The queue the window may fill before the writer takes it.
constexpr int kBatch = int(HistoryRecorder::kQueueLimit);
// The recorder must keep up with the ingest benchmark's flood of 20 000
// weather frames, which the window hands over within a few seconds.
constexpr double kGoalPerSecond = 20000;
// The daily summaries may cost the writer at most a tenth of its speed.
constexpr double kGoalSummaryShare = 0.10;
constexpr std::int64_t kMonthStart = 1'764'547'200; // 2025-12-01 00:00 UTC

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

std::string number(std::mt19937 &rng, int digits, int max)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", digits, int(rng() % unsigned(max + 1)));
    return text;
}

// The station's report forms as heard on the air: positionless, position
// with a time stamp, and position without, each with its weather values,
// some with a comment naming the station's equipment.
std::string weatherInfo(std::mt19937 &rng, int station, std::int64_t heardUtc)
{
    const std::string values = number(rng, 3, 359) + "/" + number(rng, 3, 40) + "g" +
                               number(rng, 3, 60) + "t0" + number(rng, 2, 95) + "r" +
                               number(rng, 3, 20) + "p" + number(rng, 3, 80) + "P" +
                               number(rng, 3, 80) + "h" + number(rng, 2, 99) + "b" +
                               std::to_string(9900 + rng() % 400) + "0";
    const std::string position = "45" + number(rng, 2, 59) + "." + number(rng, 2, 99) + "N/011" +
                                 number(rng, 2, 59) + "." + number(rng, 2, 99) + "E_";
    char time[16];
    std::snprintf(time, sizeof time, "%02d%02d%02dz", int(heardUtc / 86400 % 28 + 1),
                  int(heardUtc / 3600 % 24), int(heardUtc / 60 % 60));
    switch (station % 3) {
    case 0:
        return "_" + number(rng, 8, 99999999) + "c" + values.substr(0, 3) + "s" +
               values.substr(4, 3) + values.substr(7) + "wRSW";
    case 1:
        return std::string("@") + time + position + values + "Davis Vantage Pro2";
    default:
        return "!" + position + values;
    }
}

std::string station(int n)
{
    return "IK" + std::to_string(n % 10) + std::string(1, char('A' + n)) + "WX-" +
           std::to_string(n % 16);
}

std::vector<PendingReport> month()
{
    std::mt19937 rng(20251201);
    static const char *paths[] = {"WIDE1-1,WIDE2-1", "IR3UGE-11*,WIDE2-1", "WIDE2-2", ""};
    std::vector<PendingReport> reports;
    reports.reserve(kMonthReports);
    for (std::int64_t t = kMonthStart; reports.size() < std::size_t(kMonthReports);
         t += kIntervalSeconds) {
        for (int s = 0; s < kStations; ++s) {
            const std::int64_t heard = t + s * 7 + rng() % 5;
            reports.push_back({station(s), heard, paths[rng() % 4], weatherInfo(rng, s, heard)});
        }
    }
    return reports;
}

// Until every report handed over is written or dropped; a problem other
// than a full queue fails the benchmark.
void waitFor(const HistoryRecorder &recorder, benchmark::State &state)
{
    QElapsedTimer waited;
    waited.start();
    while (recorder.waiting() > 0) {
        const QString problem = recorder.problem();
        if (waited.elapsed() > 60000 || problem.contains(QLatin1String("not kept"))) {
            state.SkipWithError(problem.isEmpty() ? "the recorder wrote nothing for a minute"
                                                  : qPrintable(problem));
            return;
        }
        QThread::usleep(200);
    }
}

// A full queue handed over to a recorder on a new store, timed from its
// start to the last report written: one transaction of the writer's.
void BM_RecorderWrites(benchmark::State &state)
{
    const std::vector<PendingReport> reports = month();
    const QString path = quintaro::history::historyFilePath();
    std::size_t next = 0;
    for (auto _ : state) {
        QFile::remove(path);
        HistoryRecorder recorder;
        for (int i = 0; i < kBatch; ++i, next = (next + 1) % reports.size()) {
            const PendingReport &r = reports[next];
            recorder.record(r.call, r.path, r.info, r.heardUtc);
        }
        QElapsedTimer timer;
        timer.start();
        recorder.start(path);
        waitFor(recorder, state);
        if (recorder.recorded() != quint64(kBatch))
            state.SkipWithError("reports of a full queue were lost");
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}

// Reports handed over faster than one transaction a second can take them:
// what the writer keeps up with, and what it counts as dropped.
void BM_RecorderFlood(benchmark::State &state)
{
    const std::vector<PendingReport> reports = month();
    const QString path = quintaro::history::historyFilePath();
    constexpr int kRate = 40000;
    constexpr int kSeconds = 4;
    for (auto _ : state) {
        QFile::remove(path);
        const long before = benchsupport::residentKilobytes();
        long largest = before;
        HistoryRecorder recorder;
        recorder.start(path);
        QElapsedTimer timer;
        timer.start();
        std::size_t handed = 0;
        while (timer.elapsed() < kSeconds * 1000) {
            largest = std::max(largest, benchsupport::residentKilobytes());
            for (const std::size_t due = std::size_t(timer.elapsed()) * kRate / 1000; handed < due;
                 ++handed) {
                const PendingReport &r = reports[handed % reports.size()];
                recorder.record(r.call, r.path, r.info, r.heardUtc);
            }
            QThread::usleep(500);
        }
        waitFor(recorder, state);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        state.counters["handed"] = double(handed);
        state.counters["written"] = double(recorder.recorded());
        state.counters["dropped"] = double(recorder.dropped());
        state.counters["grown_kB"] = double(largest - before);
    }
}

// The file a month of reports leaves, written the way the writer writes.
void BM_MonthOfReports(benchmark::State &state)
{
    const std::vector<PendingReport> reports = month();
    for (auto _ : state) {
        const QString path = scratch().filePath(QStringLiteral("month.sqlite"));
        QFile::remove(path);
        const QString name = QStringLiteral("bench-month");
        {
            QSqlDatabase db = quintaro::history::openConnection(name, path, 2000, false);
            QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode = WAL"));
            QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
            QString error;
            quintaro::history::RecentReports recent;
            bool ok = quintaro::history::migrate(db, &error);
            for (std::size_t i = 0; ok && i < reports.size(); i += 1000)
                ok = quintaro::history::insertReports(
                    db,
                    std::span(reports).subspan(i, std::min<std::size_t>(1000, reports.size() - i)),
                    recent, &error);
            QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            if (!ok)
                state.SkipWithError(qPrintable(error));
        }
        quintaro::history::closeConnection(name);
        state.counters["bytes"] = double(QFileInfo(path).size());
    }
    state.counters["reports"] = kMonthReports;
}

// What the daily summaries of a full queue cost the writer: the step of
// insertReports that adds the batch to its days' summaries, in a
// transaction of its own, on a store that holds the batch's reports.
void BM_DaySummaries(benchmark::State &state)
{
    const std::vector<PendingReport> reports = month();
    const auto batch = std::span(reports).first(std::size_t(kBatch));
    std::vector<quintaro::history::SummarizedReport> summarized;
    for (const PendingReport &r : batch)
        summarized.push_back({r.call, r.heardUtc, quintaro::weather::decodeWeatherReport(r.info)});
    const QString path = scratch().filePath(QStringLiteral("summaries.sqlite"));
    QFile::remove(path);
    const QString name = QStringLiteral("bench-summaries");
    {
        QSqlDatabase db = quintaro::history::openConnection(name, path, 2000, false);
        QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        QString error;
        quintaro::history::RecentReports recent;
        if (!quintaro::history::migrate(db, &error) ||
            !quintaro::history::insertReports(db, batch, recent, &error))
            state.SkipWithError(qPrintable(error));
        for (auto _ : state) {
            QSqlQuery(db).exec(QStringLiteral("DELETE FROM daily_summaries"));
            QElapsedTimer timer;
            timer.start();
            QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE"));
            if (!quintaro::history::addToDaySummaries(db, summarized, &error, nullptr))
                state.SkipWithError(qPrintable(error));
            QSqlQuery(db).exec(QStringLiteral("COMMIT"));
            state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        }
    }
    quintaro::history::closeConnection(name);
}

// A year of daily summaries of 30 stations, made from their reports every
// 15 minutes and written as the writer writes them: what the summaries add
// to the file, which they never leave.
void BM_YearOfSummaries(benchmark::State &state)
{
    using quintaro::history::DaySummary;
    constexpr int kDays = 365;
    std::mt19937 rng(2025);
    std::vector<DaySummary> summaries;
    for (int s = 0; s < kStations; ++s) {
        std::optional<DaySummary> day;
        for (std::int64_t t = kMonthStart - std::int64_t(kDays) * 86400; t < kMonthStart;
             t += 900) {
            if (!day || t >= day->day.endUtc) {
                if (day)
                    summaries.push_back(*day);
                day = DaySummary();
                day->call = station(s);
                day->day = quintaro::history::localDayOf(t);
            }
            day->add(t, quintaro::weather::decodeWeatherReport(weatherInfo(rng, s, t)));
        }
        summaries.push_back(*day);
    }
    for (auto _ : state) {
        const QString path = scratch().filePath(QStringLiteral("year.sqlite"));
        QFile::remove(path);
        const QString name = QStringLiteral("bench-year");
        {
            QSqlDatabase db = quintaro::history::openConnection(name, path, 2000, false);
            QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode = WAL"));
            QString error;
            if (!quintaro::history::migrate(db, &error) ||
                !quintaro::history::writeDaySummaries(db, summaries, &error, nullptr))
                state.SkipWithError(qPrintable(error));
            QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        }
        quintaro::history::closeConnection(name);
        state.counters["bytes"] = double(QFileInfo(path).size());
    }
    state.counters["days"] = double(summaries.size());
}

BENCHMARK(BM_RecorderWrites)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecorderFlood)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonthOfReports)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DaySummaries)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YearOfSummaries)->Iterations(1)->Unit(benchmark::kMillisecond);

void summarize(const std::vector<benchsupport::Result> &results)
{
    using benchsupport::format;
    benchsupport::Summary summary(
        format("Weather history writer (goals: >= %.0f reports written a second, the daily "
               "summaries' share <= %.0f %%)",
               kGoalPerSecond, kGoalSummaryShare * 100));
    const benchsupport::Result *writes = benchsupport::find(results, "BM_RecorderWrites");
    const benchsupport::Result *flood = benchsupport::find(results, "BM_RecorderFlood");
    const benchsupport::Result *month = benchsupport::find(results, "BM_MonthOfReports");
    const benchsupport::Result *summaries = benchsupport::find(results, "BM_DaySummaries");
    const benchsupport::Result *year = benchsupport::find(results, "BM_YearOfSummaries");
    for (const benchsupport::Result *r : {writes, flood, month, summaries, year}) {
        if (!r || r->failed) {
            summary.failure(r ? r->error : std::string("a benchmark did not run"));
            return;
        }
    }
    const double perSecond = kBatch / (writes->realNs / 1e9);
    summary.goal(format("%-56s %8.0f /s", "reports written, a full queue at once", perSecond),
                 perSecond >= kGoalPerSecond);
    const double share = summaries->realNs / writes->realNs;
    summary.line(format("%-56s %8.0f /s", "  without the daily summaries (their step taken out)",
                        kBatch / ((writes->realNs - summaries->realNs) / 1e9)));
    summary.goal(format("%-56s %8.1f %% (goal <= %.0f %%)", "  the daily summaries' share of it",
                        share * 100, kGoalSummaryShare * 100),
                 share <= kGoalSummaryShare);
    const double floodSeconds = flood->realNs / 1e9;
    summary.line(format("%-56s %8.0f /s", "written while 40 000 a second are handed over",
                        flood->counter("written") / floodSeconds));
    summary.line(format("%-56s %8.0f", "  dropped of them, the queue full (counted, told)",
                        flood->counter("dropped")));
    summary.line(format("%-56s %8.1f MB", "  memory grown meanwhile (queue and repeat index)",
                        flood->counter("grown_kB") / 1024));
    const double bytes = month->counter("bytes");
    summary.line(
        format("%-56s %8.1f MB", "store after a month, 30 stations every 5 min", bytes / 1e6));
    summary.line(format("%-56s %8.0f B", "per report (259 200 reports, values and index)",
                        bytes / kMonthReports));
    const double yearBytes = year->counter("bytes");
    summary.line(
        format("%-56s %8.1f MB", "a year of daily summaries, 30 stations", yearBytes / 1e6));
    summary.line(format("%-56s %8.0f B", "per station and day (10 950 days)",
                        yearBytes / year->counter("days")));
}

} // namespace

int main(int argc, char **argv)
{
    // The store of this run only: the writer opens what historyFilePath() names.
    qputenv("QUINTARO_HISTORY",
            QFile::encodeName(scratch().filePath(QStringLiteral("history.sqlite"))));
    QCoreApplication app(argc, argv);
    return benchsupport::runBenchmarks(argc, argv, summarize);
}
