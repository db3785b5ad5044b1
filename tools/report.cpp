// probe-host's output. Gauge texts are converted from code page 1252 to
// UTF-8 on the way out, for the terminal and for JSON alike.
#include "report.h"

#include <cmath>
#include <string>

#include "cp1252.h"

namespace probe {
namespace {

const char* message_meaning(uint64_t value) {
    return value == ids::kMessagePaused ? "simulation paused" : value == ids::kMessageResumed ? "simulation resumed" : "";
}

std::string json_string(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') out += '\\', out += c;
        else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else out += c;
    }
    return out + "\"";
}

std::string json_number(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
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

}  // namespace

void print_live_header(std::FILE* out, const RunResult& run) {
    std::fprintf(out, "probe-host: %s\n", run.module.c_str());
    std::fprintf(out, "  terrain  %s\n", run.terrain.c_str());
    std::fprintf(out, "  points   %s\n", run.probes.c_str());
    std::fprintf(out, "  gauges   terrain_probe!vorn \"%d\" and terrain_probe!display installed, WZ_Active = 1\n",
                 run.points);
    for (const std::string& warning : run.warnings) std::fprintf(out, "  warning: %s\n", warning.c_str());
    std::fprintf(out, "\n");
    std::fflush(out);
}

void print_live(std::FILE* out, const LiveStatus& s) {
    std::fprintf(out, "%6.2f s  %-7s  cycles %5llu +%-3llu  samples %7llu +%-5llu  elevation ft:", s.seconds,
                 s.paused ? "paused" : "running", static_cast<unsigned long long>(s.cycles),
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

void print_summary(std::FILE* out, const Options& options, const RunResult& run) {
    const CycleStats& s = run.stats;
    std::fprintf(out, "\nSummary (%.1f s, %llu frames)\n", run.seconds, static_cast<unsigned long long>(run.frames));
    std::fprintf(out, "  WZ_PDK        %g (%s)\n", run.pdk,
                 run.pdk == 1.0 ? "the module obtained the host's PDK root" : "no PDK root: the module has no services");
    std::fprintf(out, "  WZ_pSurface   %g (%s)\n", run.surface,
                 run.surface == 1.0 ? "the module obtained the surface service" : "no surface service: nothing is sampled");
    std::fprintf(out, "  cycles        %llu, %llu of them begun while paused\n",
                 static_cast<unsigned long long>(s.cycles), static_cast<unsigned long long>(s.pausedCycles));
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
    std::fprintf(out, "  pause         %s\n", pause_text(run).c_str());
    for (const std::string& warning : run.warnings) std::fprintf(out, "  warning       %s\n", warning.c_str());
    for (size_t i = 0; i < run.picture.texts.size(); ++i)
        std::fprintf(out, "  %-12s  %s\n", i == 0 ? "display" : "", cp1252_to_utf8(run.picture.texts[i].text).c_str());
    std::fprintf(out, "  host          %s\n",
                 run.hostProblems.empty() ? "every reference returned, no forbidden call" : run.hostProblems.c_str());
    if (!options.csvFile.empty())
        std::fprintf(out, "  csv           %s (%llu samples)\n", options.csvFile.c_str(),
                     static_cast<unsigned long long>(run.samplesChecked));
    if (!options.renderFile.empty()) std::fprintf(out, "  render        %s\n", options.renderFile.c_str());
    std::fflush(out);
}

void print_json(std::FILE* out, const Options& options, const RunResult& run) {
    const CycleStats& s = run.stats;
    auto count = [](uint64_t n) { return std::to_string(n); };
    std::string texts;
    for (const TextBox& t : run.picture.texts) texts += (texts.empty() ? "" : ", ") + json_string(cp1252_to_utf8(t.text));
    std::string messages;
    for (const Message& m : run.messages)
        messages += (messages.empty() ? "" : ", ") + std::string("{\"value\": ") + count(m.value) +
                    ", \"seconds\": " + json_number(m.seconds) + "}";
    std::fprintf(out, "{\n");
    std::fprintf(out, "  \"module\": %s,\n", json_string(run.module).c_str());
    std::fprintf(out, "  \"terrain\": %s,\n", json_string(run.terrain).c_str());
    std::fprintf(out, "  \"points\": %d,\n", run.points);
    std::fprintf(out, "  \"seconds\": %s,\n", json_number(run.seconds).c_str());
    std::fprintf(out, "  \"frames\": %s,\n", count(run.frames).c_str());
    std::fprintf(out, "  \"WZ_PDK\": %s,\n", json_number(run.pdk).c_str());
    std::fprintf(out, "  \"WZ_pSurface\": %s,\n", json_number(run.surface).c_str());
    std::fprintf(out, "  \"cycles\": %s,\n", count(s.cycles).c_str());
    std::fprintf(out, "  \"cycles_paused\": %s,\n", count(s.pausedCycles).c_str());
    std::fprintf(out, "  \"samples\": %s,\n", count(s.samples).c_str());
    std::fprintf(out, "  \"samples_paused\": %s,\n", count(s.pausedSamples).c_str());
    std::fprintf(out, "  \"samples_off_terrain\": %s,\n", count(run.samplesOff).c_str());
    std::fprintf(out, "  \"samples_outside_terrain\": %s,\n", count(run.samplesOutside).c_str());
    std::fprintf(out, "  \"update_interval_ms\": %s,\n", json_number(s.intervalMs).c_str());
    std::fprintf(out, "  \"cycle_period_ms\": {\"mean\": %s, \"min\": %s, \"max\": %s, \"measured\": %s},\n",
                 json_number(s.meanPeriodMs).c_str(), json_number(s.minPeriodMs).c_str(),
                 json_number(s.maxPeriodMs).c_str(), count(s.periods).c_str());
    std::fprintf(out, "  \"sampling_ms\": %s,\n", json_number(s.meanWorkMs).c_str());
    std::fprintf(out, "  \"stop_latency_ms\": %s,\n",
                 run.stopLatencyMs ? json_number(*run.stopLatencyMs).c_str() : "null");
    if (!run.stopLatencyMs) std::fprintf(out, "  \"stop_note\": %s,\n", json_string(run.stopNote).c_str());
    std::fprintf(out, "  \"messages\": [%s],\n", messages.c_str());
    std::fprintf(out, "  \"display\": [%s],\n", texts.c_str());
    std::fprintf(out, "  \"host_problems\": %s,\n", json_string(run.hostProblems).c_str());
    std::fprintf(out, "  \"csv\": %s,\n", options.csvFile.empty() ? "null" : json_string(options.csvFile).c_str());
    std::fprintf(out, "  \"render\": %s\n", options.renderFile.empty() ? "null" : json_string(options.renderFile).c_str());
    std::fprintf(out, "}\n");
    std::fflush(out);
}

}  // namespace probe
