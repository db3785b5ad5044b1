// The summary as JSON, through nlohmann-json: numbers that are not finite
// come out as null, gauge texts as UTF-8.
#include <nlohmann/json.hpp>

#include <cmath>

#include "cp1252.h"
#include "report.h"

namespace probe {
namespace {

using json = nlohmann::ordered_json;  // keys in the order written

json number(double value) { return std::isfinite(value) ? json(value) : json(nullptr); }

json path_or_null(const RunResult& run, const std::string& path) {
    return path.empty() || failed(run, path) ? json(nullptr) : json(path);
}

json age_of(const RunResult& run) {
    const AgeFigures& a = run.age;
    AgeCheck check = age_check(a);
    return {{"positions", a.answered},
            {"median_ms", a.answered ? number(a.medianMs) : json(nullptr)},
            {"p99_ms", a.answered ? number(a.p99Ms) : json(nullptr)},
            {"max_ms", a.answered ? number(a.maxMs) : json(nullptr)},
            {"bound", "one interval plus one cycle: answered by the end of the first cycle begun after the write"},
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
        {"update_interval_ms", number(s.intervalMs)},
        {"cycle_period_ms",
         {{"mean", number(s.meanPeriodMs)}, {"min", number(s.minPeriodMs)}, {"max", number(s.maxPeriodMs)},
          {"measured", s.periods}}},
        {"sampling_ms", number(s.meanWorkMs)},
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
    summary["csv_complete"] = options.csvFile.empty() ? json(nullptr) : json(run.csvRows == run.samplesChecked);
    summary["verdict"] = verdict_of(verdict);
    if (!run.stopLatencyMs) summary["stop_note"] = run.stopNote;
    std::fputs(summary.dump(2, ' ', false, json::error_handler_t::replace).c_str(), out);
    std::fputs("\n", out);
    std::fflush(out);
}

}  // namespace probe
