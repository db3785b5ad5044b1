// The closing summary.
#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace bench {
namespace {

struct Figure {
    std::string name;
    Comparison comparison;
    double target;
};

std::vector<Figure>& figures() {
    static std::vector<Figure> list;
    return list;
}

std::vector<std::string>& notes() {
    static std::vector<std::string> list;
    return list;
}

std::vector<GrowthRow>& growth() {
    static std::vector<GrowthRow> rows;
    return rows;
}

// A cycle's time taken as a + b x points, fitted by least squares on the
// relative error so that every count weighs alike; the worst relative
// deviation of a count from the line.
struct Line {
    double a, b, worstDeviation;
};

Line fit_line() {
    double s00 = 0, s01 = 0, s11 = 0, t0 = 0, t1 = 0;
    for (const GrowthRow& row : growth()) {
        double x = row.points, y = row.perPointNs * row.points, w = 1.0 / (y * y);
        s00 += w, s01 += w * x, s11 += w * x * x, t0 += w * y, t1 += w * x * y;
    }
    double det = s00 * s11 - s01 * s01;
    Line line{(t0 * s11 - t1 * s01) / det, (s00 * t1 - s01 * t0) / det, 0};
    for (const GrowthRow& row : growth()) {
        double y = row.perPointNs * row.points;
        line.worstDeviation = std::max(line.worstDeviation, std::fabs(line.a + line.b * row.points - y) / y);
    }
    return line;
}

constexpr double kLinearWithin = 0.25;

void print_growth() {
    if (growth().size() < 2) return;
    std::printf("\n%-8s %8s %12s %10s %16s %10s %20s\n", "growth", "points", "cycle us", "ns/point", "limit ns/point",
                "ratio", "worker allocations");
    bool memoryExact = true;
    for (const GrowthRow& row : growth()) {
        std::printf("%-8s %8d %12.2f %10.1f %16.1f %10.3f %9llu in %llu cycles\n", "growth", row.points,
                    row.perPointNs * row.points / 1000.0, row.perPointNs, row.limitPerPointNs,
                    row.perPointNs / row.limitPerPointNs, static_cast<unsigned long long>(row.workerAllocations),
                    static_cast<unsigned long long>(row.cycles));
        const GrowthRow& first = growth().front();
        memoryExact = memoryExact && row.tableBlockExact && row.workerAllocations == 0 &&
                      row.otherAllocations == first.otherAllocations && row.otherBytes == first.otherBytes;
    }
    Line line = fit_line();
    std::printf("growth fit: cycle = %.2f us + %.1f ns x points, worst deviation %.1f%% over %d..%d points: %s\n",
                line.a / 1000.0, line.b, line.worstDeviation * 100.0, growth().front().points,
                growth().back().points, line.worstDeviation <= kLinearWithin ? "linear" : "NOT LINEAR");
    for (const GrowthRow& row : growth())
        std::printf("memory %6d points: table block of 8 + (1088 + 16) x %d = %zu bytes: %s; other allocations at the first "
                    "update: %zu (%zu bytes)\n",
                    row.points, row.points, 8 + (1088 + 16) * static_cast<size_t>(row.points),
                    row.tableBlockExact ? "yes" : "NO", row.otherAllocations, row.otherBytes);
    std::printf("memory: the table with its ids is exactly 8 + (1088 + 16) x n bytes for every count, the first update's other "
                "allocations (stop event, worker thread) are the same for every count, and no cycle allocates: %s\n",
                memoryExact ? "yes" : "NO");
}

}  // namespace

void publish_figure(const std::string& name, const Comparison& comparison, double target) {
    figures().push_back({name, comparison, target});
}

void publish_note(const std::string& line) { notes().push_back(line); }

void publish_growth(const GrowthRow& row) {
    auto later = [&](const GrowthRow& r) { return r.points >= row.points; };
    growth().insert(std::find_if(growth().begin(), growth().end(), later), row);
}

bool print_summary() {
    if (!notes().empty()) std::printf("\n");
    for (const std::string& line : notes()) std::printf("%s\n", line.c_str());
    print_growth();
    // Google Benchmark's Time column holds the measured median; its CPU
    // column is the whole benchmark's, every round and both sides.
    std::printf("\n%-18s %14s %14s %8s %8s\n", "figure", "measured ns", "limit ns", "ratio", "target");
    bool met = true;
    for (const Figure& f : figures()) {
        bool ok = f.comparison.ratio <= f.target;
        met = met && ok;
        std::printf("%-18s %14.1f %14.1f %8.3f %8.2f%s\n", f.name.c_str(), f.comparison.measuredNs,
                    f.comparison.limitNs, f.comparison.ratio, f.target, ok ? "" : "  MISSED");
    }
    std::printf("\n");
    for (const Figure& f : figures()) std::printf("ratio %s %.3f\n", f.name.c_str(), f.comparison.ratio);
    std::fflush(stdout);
    return met;
}

}  // namespace bench
