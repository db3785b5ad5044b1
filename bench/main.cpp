// The benchmark program: Google Benchmark's table, then the notes and one
// "ratio NAME VALUE" line per figure. Exits 1 when a figure misses its target.
#include <benchmark/benchmark.h>

#include "report.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return bench::print_summary() ? 0 : 1;
}
