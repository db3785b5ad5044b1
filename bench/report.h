// What the benchmarks found, kept for the summary that follows Google
// Benchmark's table: the figures against their targets, the growth of a
// cycle with the point count, the module's allocations, and free notes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "measure.h"

namespace bench {

void publish_figure(const std::string& name, const Comparison& comparison, double target);
void publish_note(const std::string& line);

// One point count's cycles and what the module allocated.
struct GrowthRow {
    int points;
    double perPointNs;       // the worker's CPU time per point of a cycle
    double limitPerPointNs;  // the same point calls made directly
    bool tableBlockExact;    // the first update allocated one block of 8 + 1088 x points bytes
    size_t otherAllocations; // the first update's other allocations by the module's code
    size_t otherBytes;
    uint64_t cycles;             // cycles watched for allocations
    uint64_t workerAllocations;  // by the worker's thread in those cycles
};
void publish_growth(const GrowthRow& row);

// Prints the notes, the growth table and its straight-line fit, the memory
// verdict, the figures, then one "ratio NAME VALUE" line per figure. False
// when a figure misses its target.
bool print_summary();

}  // namespace bench
