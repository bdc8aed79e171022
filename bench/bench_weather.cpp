// Weather report decoding: a mix of the report forms heard on the air, each
// decoded in turn. Goal: well under a microsecond per report, since a report
// may be decoded for every weather frame of a flood.

#include "BenchSupport.h"
#include "WeatherReport.h"

#include <benchmark/benchmark.h>

#include <iterator>
#include <string_view>

namespace {

constexpr double kGoalNs = 1000;

constexpr std::string_view kReports[] = {
    "_10090556c220s004g005t077r000p000P000h50b09900wRSW",
    "!4903.50N/07201.75W_220/004g005t077r000p000P000h50b09900wRSW",
    "@181901z4508.07N/01003.07E_134/002g003t089r000p000P000h46b10134Davis Vantage Pro 2 Plus",
    "=/5L!!<*e7_7P[g005t077r000p000P000h50b09900wRSW",
    ";LKKV     *181830z5012.18N/01254.90E_250/010g...t079h47b10170>26/14 (METAR)",
    "_06191232c228s014g011t108r000p000P000h..b.....tU2k",
};
constexpr int kReportCount = int(std::size(kReports));

void BM_DecodeWeatherReport(benchmark::State &state)
{
    for (auto _ : state) {
        for (const std::string_view report : kReports) {
            quintaro::weather::WeatherReport decoded =
                quintaro::weather::decodeWeatherReport(report);
            benchmark::DoNotOptimize(decoded);
        }
    }
    state.SetItemsProcessed(state.iterations() * kReportCount);
}

BENCHMARK(BM_DecodeWeatherReport);

void summarize(const std::vector<benchsupport::Result> &results)
{
    using benchsupport::format;
    benchsupport::Summary summary(
        format("Weather report decoding, %d typical reports (goal < %.0f ns each)", kReportCount,
               kGoalNs));
    const benchsupport::Result *r = benchsupport::find(results, "BM_DecodeWeatherReport");
    if (!r || r->failed) {
        summary.failure(r ? r->error : std::string("the benchmark did not run"));
        return;
    }
    const double ns = r->realNs / kReportCount;
    summary.goal(format("%-56s %8.1f ns", "one report decoded", ns), ns < kGoalNs);
}

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runBenchmarks(argc, argv, summarize);
}
