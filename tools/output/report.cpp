// probe-host's text output. Gauge texts are converted from code page 1252
// to UTF-8 on the way out.
#include "report.h"

#include <string>

#include "cp1252.h"

namespace probe {
namespace {

const char* message_meaning(uint64_t value) {
    return value == ids::kMessagePaused ? "simulation paused" : value == ids::kMessageResumed ? "simulation resumed" : "";
}

std::string pause_text(const RunResult& run) {
    if (run.messages.empty()) return "none in this run";
    std::string text;
    for (const Message& m : run.messages) {
        char part[64];
        std::snprintf(part, sizeof part, "%smessage %llu at %.2f s", text.empty() ? "" : ", ",
                      static_cast<unsigned long long>(m.value), m.seconds);
        text += part;
    }
    return text;
}

void print_samples_line(std::FILE* out, const RunResult& run) {
    const CycleStats& s = run.stats;
    std::fprintf(out, "  samples       %llu written, %llu in cycles begun while paused\n",
                 static_cast<unsigned long long>(s.samples), static_cast<unsigned long long>(s.pausedSamples));
    if (run.samplesOff == 0)
        std::fprintf(out, "                each matches the terrain model at the position the worker read\n");
    else
        std::fprintf(out, "                %llu differ from the terrain model at their positions (by up to %.3f ft)\n",
                     static_cast<unsigned long long>(run.samplesOff), run.largestDifferenceFt);
}

// How old the published elevations were, against one interval plus one
// cycle; a position answered later fails the run (exit status 3).
void print_age(std::FILE* out, const RunResult& run) {
    const AgeFigures& a = run.age;
    if (a.answered)
        std::fprintf(out,
                     "  elevation age median %.1f ms, 99th percentile %.1f ms, max %.1f ms over %llu positions written;\n"
                     "                bound: each answered by the end of the first cycle begun after its write (one\n"
                     "                interval, %g ms, plus one cycle, %.3f ms mean here): %llu beyond it\n",
                     a.medianMs, a.p99Ms, a.maxMs, static_cast<unsigned long long>(a.answered), run.stats.intervalMs,
                     run.stats.meanWorkMs, static_cast<unsigned long long>(a.beyond));
    else
        std::fprintf(out, "  elevation age not measured: no position answered while sampling ran\n");
    if (AgeCheck check = age_check(a); !check.passed)
        std::fprintf(out, "  check FAILED  elevation age: %s\n", check.message.c_str());
}

}  // namespace

bool failed(const RunResult& run, const std::string& path) {
    for (const std::string& error : run.outputErrors)
        if (error.find(path) != std::string::npos) return true;
    return false;
}

void print_live_header(std::FILE* out, const RunResult& run) {
    std::fprintf(out, "probe-host: %s\n", run.module.c_str());
    std::fprintf(out, "  terrain  %s\n", run.terrain.c_str());
    std::fprintf(out, "  points   %s\n", run.probes.c_str());
    std::fprintf(out, "  gauges   terrain_probe!vorn \"%s\" and terrain_probe!display installed\n",
                 run.parameters.c_str());
    if (!run.flight.empty()) std::fprintf(out, "  aircraft %s\n", run.flight.c_str());
    for (const std::string& warning : run.warnings) std::fprintf(out, "  warning: %s\n", warning.c_str());
    std::fprintf(out, "\n");
    std::fflush(out);
}

void print_live(std::FILE* out, const LiveStatus& s) {
    std::fprintf(out, "%6.2f s  %-8s  cycles %5llu +%-3llu  samples %7llu +%-7llu  elevation ft:", s.seconds,
                 s.paused ? "paused" : s.active ? "running" : "inactive", static_cast<unsigned long long>(s.cycles),
                 static_cast<unsigned long long>(s.newCycles), static_cast<unsigned long long>(s.samples),
                 static_cast<unsigned long long>(s.newSamples));
    for (double feet : s.elevationsFt) std::fprintf(out, " %6.0f", feet);
    if (s.points > static_cast<int>(s.elevationsFt.size())) std::fprintf(out, " ...");
    std::fprintf(out, "\n");
    std::fflush(out);
}

void print_message(std::FILE* out, const Message& m) {
    std::fprintf(out, "%6.2f s  host message %llu: %s\n", m.seconds, static_cast<unsigned long long>(m.value),
                 message_meaning(m.value));
    std::fflush(out);
}

void print_event(std::FILE* out, const FrameEvent& event, const Options& options, double seconds) {
    std::fprintf(out, "%6.2f s  %s\n", seconds, describe_event(event, options).c_str());
    std::fflush(out);
}

void print_summary(std::FILE* out, const Options& options, const RunResult& run) {
    const CycleStats& s = run.stats;
    std::fprintf(out, "\nSummary (%.1f s, %llu frames, %llu missed%s)\n", run.seconds,
                 static_cast<unsigned long long>(run.frames), static_cast<unsigned long long>(run.missedFrames),
                 run.interrupted ? "; interrupted" : "");
    std::fprintf(out, "  WZ_PDK        %g (%s)\n", run.pdk,
                 run.pdk == 1.0 ? "the module obtained the host's PDK root" : "no PDK root: the module has no services");
    std::fprintf(out, "  WZ_pSurface   %g (%s)\n", run.surface,
                 run.surface == 1.0 ? "the module obtained the surface service" : "no surface service: nothing is sampled");
    std::fprintf(out, "  cycles        %llu, %llu of them begun while paused\n",
                 static_cast<unsigned long long>(s.cycles), static_cast<unsigned long long>(s.pausedCycles));
    std::fprintf(out, "  WZ_PointCount %g\n", run.pointCount);
    print_samples_line(out, run);
    if (s.periods)
        std::fprintf(out,
                     "  cycle period  %.2f ms mean (min %.2f, max %.2f) against WZ_UpdateInterval %g ms;\n"
                     "                the sampling itself takes %.3f ms of it\n",
                     s.meanPeriodMs, s.minPeriodMs, s.maxPeriodMs, s.intervalMs, s.meanWorkMs);
    else
        std::fprintf(out, "  cycle period  not measured (fewer than two cycles)\n");
    if (run.stopLatencyMs)
        std::fprintf(out, "  stop latency  %.3f ms from the disconnect (code 15) until the worker thread ended\n",
                     *run.stopLatencyMs);
    else
        std::fprintf(out, "  stop latency  not measured: %s\n", run.stopNote.c_str());
    print_age(out, run);
    std::fprintf(out, "  pause         %s\n", pause_text(run).c_str());
    for (const std::string& warning : run.warnings) std::fprintf(out, "  warning       %s\n", warning.c_str());
    for (size_t i = 0; i < run.picture.texts.size(); ++i)
        std::fprintf(out, "  %-12s  %s\n", i == 0 ? "display" : "", cp1252_to_utf8(run.picture.texts[i].text).c_str());
    std::fprintf(out, "  host          %s\n",
                 run.hostProblems.empty() ? "every reference returned, no forbidden call" : run.hostProblems.c_str());
    if (!options.csvFile.empty() && !failed(run, options.csvFile))
        std::fprintf(out, "  csv           %s (%llu samples)\n", options.csvFile.c_str(),
                     static_cast<unsigned long long>(run.samplesChecked));
    for (const auto& [label, path] : {std::pair{"render", options.renderFile}, std::pair{"profile", options.profileFile},
                                      std::pair{"map", options.mapFile}})
        if (!path.empty() && !failed(run, path)) std::fprintf(out, "  %-12s  %s\n", label, path.c_str());
    for (const std::string& warning : run.warnings) std::fprintf(out, "  warning       %s\n", warning.c_str());
    for (const std::string& error : run.outputErrors) std::fprintf(out, "  not written   %s\n", error.c_str());
    std::fflush(out);
}

}  // namespace probe
