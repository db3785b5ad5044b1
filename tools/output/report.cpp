// probe-host's text output. Gauge texts are converted from code page 1252
// to UTF-8 on the way out.
#include "report.h"

#include <string>

#include "cp1252.h"
#include "gates.h"

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

std::string csv_state(const RunResult& run) {
    char text[192];
    uint64_t due = run.samplesChecked;
    if (csv_complete(run)) {
        std::snprintf(text, sizeof text, " (%llu samples)", static_cast<unsigned long long>(due));
        return text;
    }
    std::snprintf(text, sizeof text, " INCOMPLETE: %llu of %llu samples, %s", static_cast<unsigned long long>(run.csvRows),
                  static_cast<unsigned long long>(due), csv_incomplete_because(run));
    return text;
}

// The verdict in words that agree with its exit status: a signal's status
// comes first, then a failed check's, then an output's.
std::string verdict_words(const RunResult& run, const Verdict& verdict) {
    if (run.signalStatus) return verdict.failed.empty() ? "stopped by a signal" : "stopped by a signal; a check FAILED";
    if (!verdict.failed.empty()) return "FAILED";
    if (!run.outputErrors.empty()) return "INCOMPLETE: every check passed, but an output could not be written";
    return "passed";
}

// "55 ms", or "55 ms, then 500 ms from 2.05 s": the intervals the worker
// read, each from the end of the cycle that read it.
std::string intervals_text(const CycleStats& s) {
    std::string text;
    for (const IntervalInForce& i : s.intervals) {
        char part[80];
        if (text.empty()) std::snprintf(part, sizeof part, "%g ms", i.ms);
        else std::snprintf(part, sizeof part, ", then %g ms from %.2f s", i.ms, i.fromSeconds);
        text += part;
    }
    if (s.moreIntervals) text += ", then further changes";
    return text;
}

// How old the published elevations were, against the bound the check
// applies, with the intervals in force; a position answered later fails
// the run (the verdict's check).
void print_age(std::FILE* out, const RunResult& run) {
    const AgeFigures& a = run.age;
    if (!a.answered) {
        std::fprintf(out, "  elevation age not measured: no position answered while sampling ran\n");
        return;
    }
    std::fprintf(out,
                 "  elevation age median %.1f ms, 99th percentile %.1f ms, max %.1f ms over %llu positions written;\n"
                 "                bound: each answered by the end of the first cycle begun after its write, that is\n"
                 "                %s\n"
                 "                (interval %s; one cycle %.3f ms mean here): %llu beyond it\n",
                 a.medianMs, a.p99Ms, a.maxMs, static_cast<unsigned long long>(a.answered), kAgeBound,
                 intervals_text(run.stats).c_str(), run.stats.meanWorkMs, static_cast<unsigned long long>(a.beyond));
}

// The points file's names, with the elevations last published there, for
// as many points as the live line shows.
void print_named_points(std::FILE* out, const RunResult& run) {
    constexpr size_t kShown = 8;
    std::string text;
    size_t named = 0;
    for (size_t i = 0; i < run.pointResults.size(); ++i) {
        const PointResult& p = run.pointResults[i];
        if (p.name.empty() || named++ >= kShown) continue;
        char elevation[48];
        std::snprintf(elevation, sizeof elevation, " %.0f ft", p.elevationFt);
        text += (text.empty() ? "" : ", ") + std::to_string(i) + " " + p.name + elevation;
    }
    if (!named) return;
    if (named > kShown) text += " and " + std::to_string(named - kShown) + " more";
    std::fprintf(out, "  named points  %s\n", text.c_str());
}

}  // namespace

const char* csv_incomplete_because(const RunResult& run) {
    return run.csvFailed    ? "its write failed; its last line is whole"
           : run.csvStopped ? "its finish stopped by a signal; its last line is whole"
                            : "the rest left out when the writing fell behind";
}

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
    for (const std::string& gauge : run.userGauges) std::fprintf(out, "  gauge    %s installed (--gauge)\n", gauge.c_str());
    if (!run.flight.empty()) std::fprintf(out, "  aircraft %s\n", run.flight.c_str());
    if (run.selectClicks) std::fprintf(out, "  display  Next clicked %d times (--select)\n", run.selectClicks);
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
    for (const WatchedValue& w : s.watched)
        if (w.frames) std::fprintf(out, "  %s %.6g", w.name.c_str(), w.last);
        else std::fprintf(out, "  %s absent", w.name.c_str());
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

void print_summary(std::FILE* out, const RunResult& run) {
    const CycleStats& s = run.stats;
    std::fprintf(out, "\nSummary (%.1f s, %llu frames, %llu missed%s)\n", run.seconds,
                 static_cast<unsigned long long>(run.frames), static_cast<unsigned long long>(run.missedFrames),
                 run.interrupted ? "; interrupted" : "");
    std::fprintf(out, "  WZ_PDK        %g (%s)\n", run.pdk,
                 run.pdk == 1.0 ? "the module obtained the host's PDK root" : "no PDK root: the module has no services");
    std::fprintf(out, "  WZ_pSurface   %g (%s)\n", run.surface,
                 run.surface == 1.0 ? "the module obtained the surface service" : "no surface service: nothing is sampled");
    std::fprintf(out, "  cycles        %llu; %llu began while the simulation was paused, and sample nothing then\n",
                 static_cast<unsigned long long>(s.cycles), static_cast<unsigned long long>(s.pausedCycles));
    std::fprintf(out, "  WZ_PointCount %g\n", run.pointCount);
    print_samples_line(out, run);
    print_named_points(out, run);
    if (s.periods)
        std::fprintf(out,
                     "  cycle period  %.2f ms mean (min %.2f, max %.2f) against WZ_UpdateInterval %g ms;\n"
                     "                a cycle that samples spends %.3f ms sampling before its wait\n",
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
    if (run.selectClicks) std::fprintf(out, "  select        Next clicked %d times once the display was installed\n", run.selectClicks);
    for (size_t i = 0; i < run.picture.texts.size(); ++i)
        std::fprintf(out, "  %-12s  %s\n", i == 0 ? "display" : "", cp1252_to_utf8(run.picture.texts[i].text).c_str());
    for (const WatchedValue& w : run.watched)
        if (w.frames)
            std::fprintf(out, "  watched       %s: last %.6g, lowest %.6g, highest %.6g over %llu frames\n", w.name.c_str(),
                         w.last, w.lowest, w.highest, static_cast<unsigned long long>(w.frames));
        else
            std::fprintf(out, "  watched       %s: no such variable at any frame\n", w.name.c_str());
    std::fprintf(out, "  host          %s\n",
                 run.hostProblems.empty() ? "every reference returned, no forbidden call" : run.hostProblems.c_str());
    for (const std::string& warning : run.warnings) std::fprintf(out, "  warning       %s\n", warning.c_str());
    std::fflush(out);
}

void print_closing(std::FILE* out, const Options& options, const RunResult& run, const Verdict& verdict) {
    for (const NamedFile& output : output_files(options)) {
        bool csv = output.path == options.csvFile;
        // A CSV whose write failed still holds its rows up to a whole line.
        if (output.path.empty() || (failed(run, output.path) && !(csv && run.csvFailed))) continue;
        std::fprintf(out, "  %-12s  %s", output.option + 2, output.path.c_str());
        if (csv) std::fputs(csv_state(run).c_str(), out);
        std::fputs("\n", out);
    }
    for (const std::string& error : run.outputErrors) std::fprintf(out, "  not written   %s\n", error.c_str());
    std::fprintf(out, "  verdict       %s (exit status %d)\n", verdict_words(run, verdict).c_str(), verdict.exitStatus);
    for (const FailedCheck& f : verdict.failed) std::fprintf(out, "    %s: %s\n", f.check.c_str(), f.says.c_str());
    std::fflush(out);
}

}  // namespace probe
