// Adding a heard station to a long station list: the real main window with
// 30 000 stations listed, fed through AddWxStation as the link feeds it.
// Goal: under 50 µs per station, for a call already listed and for a new one.

#include "BenchSupport.h"
#include "FakeDialogs.h"
#include "RecordingProgramStarter.h"
#include "frmQuintaro.h"

#include <QApplication>
#include <QListWidget>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kListed = 30000;
constexpr int kBatch = 100;
constexpr int kBatches = 20; // the list never grows past 32 000 entries
constexpr double kGoalUs = 50.0;

// Calls shaped like real ones, unique per index: prefix, region digit,
// three-letter suffix, SSID ("IK1ABC-7").
QString makeCall(const char *prefix, int index)
{
    const int digit = index % 10;
    int rest = index / 10;
    char suffix[4] = {};
    for (int i = 2; i >= 0; --i) {
        suffix[i] = char('A' + rest % 26);
        rest /= 26;
    }
    const int ssid = (index / 7) % 16;
    QString call =
        QStringLiteral("%1%2%3").arg(QLatin1String(prefix)).arg(digit).arg(QLatin1String(suffix));
    if (ssid != 0)
        call += QStringLiteral("-%1").arg(ssid);
    return call;
}

// One window for every benchmark in the program: filling the list is not
// what is measured.
struct StationListWindow
{
    benchsupport::WorkDir dir;
    testsupport::FakeMessageBoxes boxes;
    testsupport::RecordingProgramStarter starter;
    quintaro::frmQuintaro window;
    QListWidget *list = nullptr;
    std::vector<QString> listed;
    std::vector<QString> fresh;

    StationListWindow()
    {
        window.Form_Load();
        window.show();
        QCoreApplication::processEvents();
        list = window.findChild<QListWidget *>(QStringLiteral("lstWxCalls"));
        listed.reserve(kListed);
        for (int i = 0; i < kListed; ++i) {
            listed.push_back(makeCall("IK", i));
            window.AddWxStation(listed.back());
        }
        for (int i = 0; i < kBatches * kBatch; ++i)
            fresh.push_back(makeCall("DL", i));
        QCoreApplication::processEvents();
    }

    int count() const { return list ? list->count() : -1; }

    // Takes the entries past the first kListed off again, as the user's
    // Cancel does. The window is hidden meanwhile: a visible list lays out
    // all of its entries again for every change of selection, which is not
    // what is measured here.
    void restoreListSize()
    {
        window.hide();
        while (list->count() > kListed) {
            list->setCurrentRow(list->count() - 1);
            window.nmuCancelItem_Click();
        }
        window.show();
        QCoreApplication::processEvents();
    }
};

std::unique_ptr<StationListWindow> g_window;

StationListWindow &stationWindow()
{
    if (!g_window)
        g_window = std::make_unique<StationListWindow>();
    return *g_window;
}

bool checkListed(benchmark::State &state, StationListWindow &w)
{
    if (w.count() == kListed)
        return true;
    state.SkipWithError(
        benchsupport::format("the list holds %d stations, not %d", w.count(), kListed).c_str());
    return false;
}

// A station heard again: the list must not change.
void BM_AddListedCall(benchmark::State &state)
{
    StationListWindow &w = stationWindow();
    if (!checkListed(state, w))
        return;
    std::size_t next = 0;
    for (auto _ : state) {
        w.window.AddWxStation(w.listed[next]);
        next = (next + 7919) % w.listed.size(); // spread over the whole list
    }
    state.SetItemsProcessed(state.iterations());
    if (w.count() != kListed)
        state.SkipWithError("a station already listed was added again");
}

// New stations: each iteration adds a batch of new calls, so that over the
// run the list grows from 30 000 to 30 000 + kBatches * kBatch entries; it is
// brought back to 30 000 afterwards. With `withEventLoop` the event loop
// turns after every new station, as in the running program, where the view
// then lays out the longer list and the window repaints; without it, only the
// handler itself is timed.
void addNewCalls(benchmark::State &state, bool withEventLoop)
{
    StationListWindow &w = stationWindow();
    if (!checkListed(state, w))
        return;
    std::size_t next = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            w.window.AddWxStation(w.fresh[next++]);
            if (withEventLoop)
                QCoreApplication::processEvents();
        }
    }
    const int expected = kListed + int(state.iterations()) * kBatch;
    const int got = w.count();
    w.restoreListSize();
    state.SetItemsProcessed(state.iterations() * kBatch);
    state.counters["per_add"] =
        benchmark::Counter(double(state.iterations() * kBatch),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (got != expected)
        state.SkipWithError(
            benchsupport::format("the list holds %d stations, not %d", got, expected).c_str());
    else if (w.count() != kListed)
        state.SkipWithError("the list did not return to its size");
}

void BM_AddNewCall(benchmark::State &state)
{
    addNewCalls(state, false);
}

void BM_AddNewCallWithEventLoop(benchmark::State &state)
{
    addNewCalls(state, true);
}

BENCHMARK(BM_AddListedCall);
// Fixed counts: every iteration makes the list longer.
BENCHMARK(BM_AddNewCall)->Unit(benchmark::kMicrosecond)->Iterations(kBatches);
BENCHMARK(BM_AddNewCallWithEventLoop)->Unit(benchmark::kMicrosecond)->Iterations(kBatches);

void summarize(const std::vector<benchsupport::Result> &results)
{
    using benchsupport::format;
    benchsupport::Summary summary(format(
        "Station list of %d entries: AddWxStation per station (goal < %.0f us)", kListed, kGoalUs));
    struct Row
    {
        const char *name;
        const char *label;
        int perIteration;
        bool isGoal;
    };
    const Row rows[] = {
        {"BM_AddListedCall", "call already listed", 1, true},
        {"BM_AddNewCall", "new call", kBatch, true},
        {"BM_AddNewCallWithEventLoop", "new call, event loop turned after each (information)",
         kBatch, false},
    };
    for (const Row &row : rows) {
        const benchsupport::Result *r = benchsupport::find(results, row.name);
        if (!r) {
            summary.failure(format("%s did not run", row.name));
            continue;
        }
        if (r->failed) {
            summary.failure(format("%s: %s", row.label, r->error.c_str()));
            continue;
        }
        const double us = r->realNs / row.perIteration / 1000.0;
        const std::string text = format("%-56s %8.3f us", row.label, us);
        if (row.isGoal)
            summary.goal(text, us < kGoalUs);
        else
            summary.line(text);
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchsupport::useOffscreenPlatformByDefault();
    QApplication app(argc, argv);
    const int status = benchsupport::runBenchmarks(argc, argv, summarize);
    g_window.reset();
    return status;
}
