// The gates read the run's figures only: they add no work to a frame.
#include "gates.h"

#include <cmath>
#include <cstdio>

#include "csv_records.h"

namespace probe {
namespace {

constexpr size_t kNamed = 5;  // points a failure names before "and N more"

std::string count_of(uint64_t part, uint64_t whole) { return std::to_string(part) + " of " + std::to_string(whole); }

}  // namespace

bool csv_complete(const RunResult& run) { return run.csvRows == run.samplesChecked; }

std::string strict_outside_check(const RunResult& run) {
    if (!run.strict || !run.samplesOutside) return "";
    return count_of(run.samplesOutside, run.samplesChecked) + " samples fell outside the terrain data (--strict)";
}

std::string strict_no_samples_check(const RunResult& run) {
    return run.strict && run.stats.samples == 0 ? "no samples at all: the module published no elevation (--strict)" : "";
}

std::string strict_missed_frames_check(const RunResult& run) {
    uint64_t frames = run.frames + run.missedFrames;
    if (!run.strict || !(run.missedFrames > kMissedFramesShare * static_cast<double>(frames))) return "";
    return count_of(run.missedFrames, frames) + " frames missed, more than a tenth (--strict)";
}

std::string strict_csv_check(const RunResult& run) {
    if (!run.strict || run.csvFile.empty() || csv_complete(run)) return "";
    return "the CSV holds " + count_of(run.csvRows, run.samplesChecked) + " samples (--strict)";
}

std::string strict_route_check(const RunResult& run) {
    return run.strict && !run.routeShort.empty() ? run.routeShort + " (--strict)" : "";
}

std::string strict_plausible_check(const RunResult& run) {
    if (!run.strict) return "";
    std::string text;
    for (const std::string& finding : run.implausible) text += (text.empty() ? "" : "; ") + finding;
    return text.empty() ? "" : text + " (--strict)";
}

std::string max_age_check(const RunResult& run) {
    if (!run.maxAgeMs) return "";
    char text[160];
    if (!run.age.answered)
        std::snprintf(text, sizeof text, "the elevation's age was not measured (no position answered), so it is not "
                                         "shown within --max-age %g ms", *run.maxAgeMs);
    else if (run.age.maxMs > *run.maxAgeMs)
        std::snprintf(text, sizeof text, "a published elevation was %.1f ms old, more than --max-age %g ms",
                      run.age.maxMs, *run.maxAgeMs);
    else
        return "";
    return text;
}

std::string expected_elevations_check(const RunResult& run) {
    if (!run.toleranceFt) return "";
    size_t checked = 0, off = 0;
    std::string named;
    for (size_t i = 0; i < run.pointResults.size(); ++i) {
        const PointResult& p = run.pointResults[i];
        if (!p.expectedFt) continue;
        ++checked;
        bool published = p.samples > 0;
        if (published && std::fabs(p.elevationFt - *p.expectedFt) <= *run.toleranceFt) continue;
        if (off++ >= kNamed) continue;
        char text[128];
        if (published)
            std::snprintf(text, sizeof text, " published %.3f ft, expected %.3f ft", p.elevationFt, *p.expectedFt);
        else
            std::snprintf(text, sizeof text, " never published, expected %.3f ft", *p.expectedFt);
        named += (named.empty() ? "" : ", ") + ("point " + std::to_string(i) + ", " + record_label(p.line, p.name)) + text;
    }
    if (!off) return "";
    char bound[64];
    std::snprintf(bound, sizeof bound, "by more than --tolerance %g ft", *run.toleranceFt);
    return count_of(off, checked) + " points differ from the points file's expected elevation " + bound + ": " + named +
           (off > kNamed ? " and " + std::to_string(off - kNamed) + " more" : "");
}

}  // namespace probe
