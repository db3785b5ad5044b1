// The checks as a table: each names what it checks and says what it found
// wrong, "" when the run passed it. A new check is one more entry.
#include "verdict.h"

#include <cstdio>

#include "elevation_age.h"
#include "errors.h"
#include "gates.h"

namespace probe {
namespace {

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
    return text;
}

std::string terrain_check(const RunResult& run) {
    if (run.samplesOff == 0) return "";
    char text[160];
    std::snprintf(text, sizeof text, "%llu samples differ from the terrain model at their positions (by up to %.3f ft)",
                  static_cast<unsigned long long>(run.samplesOff), run.largestDifferenceFt);
    return text;
}

std::string paused_check(const RunResult& run) {
    if (run.stats.pausedSamples == 0) return "";
    return std::to_string(run.stats.pausedSamples) + " samples were written in cycles begun while paused";
}

std::string age_bound_check(const RunResult& run) {
    AgeCheck check = age_check(run.age);
    return check.passed ? "" : check.message;
}

std::string stop_check(const RunResult& run) {
    if (!run.stopTooSlow) return "";
    char text[96];
    std::snprintf(text, sizeof text, "the worker was still running %.0f ms after the disconnect", run.stopBoundMs);
    return text;
}

struct Check {
    const char* name;
    std::string (*failure)(const RunResult&);
};

const Check kChecks[] = {
    {"samples_match_terrain", terrain_check},
    {"no_samples_while_paused", paused_check},
    {"references_returned", [](const RunResult& run) { return run.referenceProblems; }},
    {"no_forbidden_calls", [](const RunResult& run) { return joined(run.forbiddenCalls); }},
    {"no_host_faults", [](const RunResult& run) { return joined(run.hostFaults); }},
    {"stop_latency_bound", stop_check},
    {"elevation_age_bound", age_bound_check},
    {"samples_inside_terrain", strict_outside_check},
    {"samples_taken", strict_no_samples_check},
    {"frames_run", strict_missed_frames_check},
    {"csv_complete", strict_csv_check},
    {"route_covers_run", strict_route_check},
    {"points_plausible", strict_plausible_check},
    {"elevation_age_max", max_age_check},
    {"expected_elevations", expected_elevations_check},
};

}  // namespace

Verdict judge(const RunResult& run) {
    Verdict verdict;
    for (const Check& check : kChecks)
        if (std::string says = check.failure(run); !says.empty()) verdict.failed.push_back({check.name, says});
    verdict.exitStatus = run.signalStatus       ? run.signalStatus
                         : !verdict.failed.empty() ? kExitCheckFailed
                         : !run.outputErrors.empty() ? kExitFile
                                                     : kExitPassed;
    return verdict;
}

}  // namespace probe
