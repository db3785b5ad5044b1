// The summary as JSON, through nlohmann-json: numbers that are not finite
// come out as null, gauge texts as UTF-8.
#include <nlohmann/json.hpp>

#include <cmath>

#include "cp1252.h"
#include "gates.h"
#include "report.h"

namespace probe {
namespace {

using json = nlohmann::ordered_json;  // keys in the order written

json number(double value) { return std::isfinite(value) ? json(value) : json(nullptr); }

json path_or_null(const RunResult& run, const std::string& path) {
    return path.empty() || failed(run, path) ? json(nullptr) : json(path);
}

// Each interval the worker read, from the end of the cycle that read it;
// null at the end when more changes came than were kept.
json intervals_of(const CycleStats& s) {
    json intervals = json::array();
    for (const IntervalInForce& i : s.intervals) intervals.push_back({{"from_s", number(i.fromSeconds)}, {"ms", number(i.ms)}});
    if (s.moreIntervals) intervals.push_back(nullptr);
    return intervals;
}

// A figure that was not measured is null, never a 0 that reads as one.
json measured(bool wasMeasured, double value) { return wasMeasured ? number(value) : json(nullptr); }

json age_of(const RunResult& run) {
    const AgeFigures& a = run.age;
    AgeCheck check = age_check(a);
    return {{"positions", a.answered},
            {"median_ms", measured(a.answered > 0, a.medianMs)},
            {"p99_ms", measured(a.answered > 0, a.p99Ms)},
            {"max_ms", measured(a.answered > 0, a.maxMs)},
            {"bound", std::string(kAgeBound) + ": answered by the end of the first cycle begun after the write"},
            {"intervals_in_force_ms", intervals_of(run.stats)},
            {"beyond_bound", a.beyond},
            {"never_answered", a.unanswered},
            {"not_measured", a.notMeasured},
            {"passed", check.passed},
            {"check", check.message}};
}

json points_of(const RunResult& run) {
    json points = json::array();
    for (size_t i = 0; i < run.pointResults.size(); ++i) {
        const PointResult& p = run.pointResults[i];
        points.push_back({{"index", i},
                          {"lat_deg", number(p.position.latitudeDeg)},
                          {"lon_deg", number(p.position.longitudeDeg)},
                          {"alt_ft", number(p.position.altitudeFt)},
                          {"elevation_ft", number(p.elevationFt)},
                          {"samples", p.samples}});
        if (!p.name.empty()) points.back()["name"] = p.name;
        if (p.expectedFt) points.back()["expected_ft"] = number(*p.expectedFt);
    }
    return points;
}

json watched_of(const RunResult& run) {
    json watched = json::array();
    for (const WatchedValue& w : run.watched)
        watched.push_back({{"name", w.name},
                           {"last", w.frames ? number(w.last) : json(nullptr)},
                           {"lowest", w.frames ? number(w.lowest) : json(nullptr)},
                           {"highest", w.frames ? number(w.highest) : json(nullptr)},
                           {"frames", w.frames}});
    return watched;
}

json verdict_of(const Verdict& verdict) {
    json failed = json::array();
    for (const FailedCheck& f : verdict.failed) failed.push_back({{"check", f.check}, {"says", f.says}});
    return {{"passed", verdict.failed.empty()}, {"failed", failed}, {"exit_status", verdict.exitStatus}};
}

}  // namespace

void print_json(std::FILE* out, const Options& options, const RunResult& run, const Verdict& verdict) {
    const CycleStats& s = run.stats;
    json messages = json::array(), display = json::array();
    for (const Message& m : run.messages) messages.push_back({{"value", m.value}, {"seconds", number(m.seconds)}});
    for (const TextBox& t : run.picture.texts) display.push_back(cp1252_to_utf8(t.text));
    json warnings = run.warnings;
    for (const std::string& error : run.outputErrors) warnings.push_back(error);
    json summary = {
        {"module", run.module},
        {"terrain", run.terrain},
        {"layout", run.probes},
        {"parameters", run.parameters},
        {"seconds", number(run.seconds)},
        {"frames", run.frames},
        {"frames_missed", run.missedFrames},
        {"interrupted", run.interrupted},
        {"WZ_PDK", number(run.pdk)},
        {"WZ_pSurface", number(run.surface)},
        {"WZ_PointCount", number(run.pointCount)},
        {"cycles", s.cycles},
        {"cycles_paused", s.pausedCycles},
        {"samples", s.samples},
        {"samples_paused", s.pausedSamples},
        {"samples_off_terrain", run.samplesOff},
        {"samples_outside_terrain", run.samplesOutside},
        {"update_interval_ms", measured(s.cycles > 0, s.intervalMs)},
        {"cycle_period_ms",
         {{"mean", measured(s.periods > 0, s.meanPeriodMs)},
          {"min", measured(s.periods > 0, s.minPeriodMs)},
          {"max", measured(s.periods > 0, s.maxPeriodMs)},
          {"measured", s.periods}}},
        {"sampling_ms", measured(s.worksMeasured > 0, s.meanWorkMs)},
        {"stop_latency_ms", run.stopLatencyMs ? number(*run.stopLatencyMs) : json(nullptr)},
        {"elevation_age", age_of(run)},
        {"messages", messages},
        {"display", display},
        {"host_problems", run.hostProblems},
        {"points", points_of(run)},
        {"warnings", warnings},
        {"select_clicks", run.selectClicks},
    };
    summary["gauges"] = run.userGauges;
    summary["watched"] = watched_of(run);
    for (const NamedFile& output : output_files(options)) summary[output.option + 2] = path_or_null(run, output.path);
    summary["csv_rows"] = run.csvRows;
    summary["csv_left_out"] = run.csvLeftOut;
    bool csvComplete = csv_complete(run);
    summary["csv_complete"] = options.csvFile.empty() ? json(nullptr) : json(csvComplete);
    summary["csv_incomplete_because"] = options.csvFile.empty() || csvComplete ? json(nullptr) : json(csv_incomplete_because(run));
    summary["strict"] = run.strict;
    summary["max_age_ms"] = run.maxAgeMs ? number(*run.maxAgeMs) : json(nullptr);
    summary["tolerance_ft"] = run.toleranceFt ? number(*run.toleranceFt) : json(nullptr);
    summary["verdict"] = verdict_of(verdict);
    if (!run.stopLatencyMs) summary["stop_note"] = run.stopNote;
    std::fputs(summary.dump(2, ' ', false, json::error_handler_t::replace).c_str(), out);
    std::fputs("\n", out);
    std::fflush(out);
}

}  // namespace probe
