// How a sampling cycle grows with the number of points, against the same
// point calls made directly, and what the module allocates: one table block
// at the first update and nothing in any cycle.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "interpose.h"
#include "report.h"
#include "rig.h"

namespace {

using bench::Rig;

constexpr int kGrowthRounds = 5;
constexpr int kSpans = 5;
// Points per timed span, so that short cycles are timed many at a time.
constexpr int kPointsPerSpan = 4000;

// The first code 6: what the module's own code allocates while it builds
// the table and starts the worker.
void watch_first_update(Rig& rig, bench::GrowthRow& row) {
    rig.watch_module_code();
    bench::take_watched_sizes();
    rig.start_worker();
    std::vector<size_t> sizes = bench::take_watched_sizes();
    rig.stop_worker();
    bench::watch_code(0, 0);
    const size_t table = 8 + (1088 + 16) * static_cast<size_t>(row.points);
    for (size_t size : sizes) {
        if (size == table && !row.tableBlockExact) {
            row.tableBlockExact = true;
            continue;
        }
        ++row.otherAllocations;
        row.otherBytes += size;
    }
}

void cycle_growth(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0));
    const int cyclesPerSpan = std::max(1, kPointsPerSpan / points);
    for (auto _ : state) {
        bench::PinnedToOneCore pinned;
        Rig rig(points);
        rig.host().set_value("WZ_UpdateInterval", 0.0);
        rig.host().set_value("WZ_Active", 1.0);
        bench::GrowthRow row{points, 0, 0, false, 0, 0, 0, 0};
        watch_first_update(rig, row);
        std::vector<bench::PointIds> ids = rig.point_ids(points);

        bench::Comparison c = bench::interleave(
            kGrowthRounds,
            [&] {
                double ns = bench::worker_ns_per_point(rig, points, cyclesPerSpan, kSpans);
                row.cycles += static_cast<uint64_t>(cyclesPerSpan) * kSpans;
                row.workerAllocations += rig.clock().allocations_between_marks();
                return ns;
            },
            [&] { return bench::direct_ns_per_point(rig, ids, cyclesPerSpan, kSpans); });
        row.perPointNs = c.measuredNs;
        row.limitPerPointNs = c.limitNs;
        bench::publish_growth(row);

        state.SetIterationTime(c.measuredNs * 1e-9);
        state.counters["cycle_us"] = c.measuredNs * points / 1000.0;
        state.counters["limit_ns"] = c.limitNs;
        state.counters["worker_allocs"] = static_cast<double>(row.workerAllocations);
    }
}

}  // namespace

BENCHMARK(cycle_growth)
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kNanosecond);
