// Adding a heard station to a long station list, with 30 000 stations
// listed: the plain StationList on its own, and the window's path, the
// station list model of the real main window with its list view on screen,
// the event loop turned after every new station as in the running program.
// Goal: under 50 µs per station, for a call already listed and for a new one.

#include "BenchSupport.h"
#include "FakeDialogs.h"
#include "MainWindow.h"
#include "RecordingProgramStarter.h"
#include "StationList.h"
#include "StationListModel.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QListView>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using quintaro::StationListModel;
using quintaro::stations::StationList;

constexpr int kListed = 30000;
constexpr int kBatch = 100;
constexpr int kBatches = 20; // the list never grows past 32 000 entries
constexpr double kGoalUs = 50.0;

// Calls shaped like real ones, unique per index: prefix, region digit,
// three-letter suffix, SSID ("IK1ABC-7").
std::string makeCall(const char *prefix, int index)
{
    const int digit = index % 10;
    int rest = index / 10;
    char suffix[4] = {};
    for (int i = 2; i >= 0; --i) {
        suffix[i] = char('A' + rest % 26);
        rest /= 26;
    }
    const int ssid = (index / 7) % 16;
    std::string call = prefix + std::to_string(digit) + suffix;
    if (ssid != 0)
        call += '-' + std::to_string(ssid);
    return call;
}

struct Calls
{
    std::vector<std::string> listed;
    std::vector<std::string> fresh;

    Calls()
    {
        for (int i = 0; i < kListed; ++i)
            listed.push_back(makeCall("IK", i));
        for (int i = 0; i < kBatches * kBatch; ++i)
            fresh.push_back(makeCall("DL", i));
    }
};

const Calls &calls()
{
    static const Calls all;
    return all;
}

// Where a station is added: the plain list, or the window's model.
class Target
{
public:
    virtual ~Target() = default;
    virtual int count() const = 0;
    virtual void add(const std::string &call) = 0;
    // After each new station: nothing, or one turn of the event loop.
    virtual void settle() {}
    // Takes the entries past the first kListed off again.
    virtual void restoreListSize() = 0;
};

class PlainTarget final : public Target
{
public:
    PlainTarget()
    {
        for (const std::string &call : calls().listed)
            m_list.add(call);
    }
    int count() const override { return m_list.count(); }
    void add(const std::string &call) override { benchmark::DoNotOptimize(m_list.add(call)); }
    void restoreListSize() override
    {
        while (m_list.count() > kListed)
            m_list.remove(m_list.count() - 1);
    }

private:
    StationList m_list;
};

// The real main window on screen, its list view showing the model that the
// window adds heard stations through. Filling the list is not what is
// measured: it is loaded as a list file would be.
class WindowTarget final : public Target
{
public:
    WindowTarget() : m_window(quintaro::EngineLink::kAgwPort, QString())
    {
        m_window.start();
        auto *view = m_window.findChild<QListView *>(QStringLiteral("lstWxCalls"));
        // The list box shows the station table through a one-column view.
        const auto *shown = view ? qobject_cast<QAbstractProxyModel *>(view->model()) : nullptr;
        m_model = shown ? qobject_cast<StationListModel *>(shown->sourceModel()) : nullptr;
        if (m_model)
            m_model->replace(calls().listed, "bench.txt");
        m_window.show();
        QCoreApplication::processEvents();
    }
    int count() const override { return m_model ? m_model->rowCount() : -1; }
    void add(const std::string &call) override { benchmark::DoNotOptimize(m_model->add(call)); }
    void settle() override { QCoreApplication::processEvents(); }
    void restoreListSize() override
    {
        while (m_model->rowCount() > kListed)
            m_model->remove(m_model->rowCount() - 1);
        QCoreApplication::processEvents();
    }

private:
    benchsupport::WorkDir m_dir;
    testsupport::FakeMessageBoxes m_boxes;
    testsupport::RecordingProgramStarter m_starter;
    quintaro::MainWindow m_window;
    StationListModel *m_model = nullptr;
};

std::unique_ptr<PlainTarget> g_plain;
std::unique_ptr<WindowTarget> g_window;

Target &plainTarget()
{
    if (!g_plain)
        g_plain = std::make_unique<PlainTarget>();
    return *g_plain;
}

Target &windowTarget()
{
    if (!g_window)
        g_window = std::make_unique<WindowTarget>();
    return *g_window;
}

bool checkListed(benchmark::State &state, const Target &target)
{
    if (target.count() == kListed)
        return true;
    state.SkipWithError(
        benchsupport::format("the list holds %d stations, not %d", target.count(), kListed)
            .c_str());
    return false;
}

// A station heard again: the list must not change.
void addListedCall(benchmark::State &state, Target &target)
{
    if (!checkListed(state, target))
        return;
    const std::vector<std::string> &listed = calls().listed;
    std::size_t next = 0;
    for (auto _ : state) {
        target.add(listed[next]);
        next = (next + 7919) % listed.size(); // spread over the whole list
    }
    state.SetItemsProcessed(state.iterations());
    if (target.count() != kListed)
        state.SkipWithError("a station already listed was added again");
}

// New stations: each iteration adds a batch of new calls, so that over the
// run the list grows from 30 000 to 30 000 + kBatches * kBatch entries; it is
// brought back to 30 000 afterwards.
void addNewCalls(benchmark::State &state, Target &target)
{
    if (!checkListed(state, target))
        return;
    const std::vector<std::string> &fresh = calls().fresh;
    std::size_t next = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            target.add(fresh[next++]);
            target.settle();
        }
    }
    const int expected = kListed + int(state.iterations()) * kBatch;
    const int got = target.count();
    target.restoreListSize();
    state.SetItemsProcessed(state.iterations() * kBatch);
    state.counters["per_add"] =
        benchmark::Counter(double(state.iterations() * kBatch),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (got != expected)
        state.SkipWithError(
            benchsupport::format("the list holds %d stations, not %d", got, expected).c_str());
    else if (target.count() != kListed)
        state.SkipWithError("the list did not return to its size");
}

void BM_ListAddListedCall(benchmark::State &state)
{
    addListedCall(state, plainTarget());
}

void BM_ListAddNewCall(benchmark::State &state)
{
    addNewCalls(state, plainTarget());
}

void BM_WindowAddListedCall(benchmark::State &state)
{
    addListedCall(state, windowTarget());
}

void BM_WindowAddNewCallWithEventLoop(benchmark::State &state)
{
    addNewCalls(state, windowTarget());
}

BENCHMARK(BM_ListAddListedCall);
// Fixed counts: every iteration makes the list longer.
BENCHMARK(BM_ListAddNewCall)->Unit(benchmark::kMicrosecond)->Iterations(kBatches);
BENCHMARK(BM_WindowAddListedCall);
BENCHMARK(BM_WindowAddNewCallWithEventLoop)->Unit(benchmark::kMicrosecond)->Iterations(kBatches);

void summarize(const std::vector<benchsupport::Result> &results)
{
    using benchsupport::format;
    benchsupport::Summary summary(format(
        "Station list of %d entries: adding a heard station (goal < %.0f us)", kListed, kGoalUs));
    struct Row
    {
        const char *name;
        const char *label;
        int perIteration;
    };
    const Row rows[] = {
        {"BM_ListAddListedCall", "StationList, call already listed", 1},
        {"BM_ListAddNewCall", "StationList, new call", kBatch},
        {"BM_WindowAddListedCall", "window's model and view, call already listed", 1},
        {"BM_WindowAddNewCallWithEventLoop", "window's model and view, new call, event loop turned",
         kBatch},
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
        summary.goal(format("%-56s %8.3f us", row.label, us), us < kGoalUs);
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchsupport::useOffscreenPlatformByDefault();
    QApplication app(argc, argv);
    const int status = benchsupport::runBenchmarks(argc, argv, summarize);
    g_window.reset();
    g_plain.reset();
    return status;
}
