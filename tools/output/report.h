// What probe-host prints: the live view (a line a second, and a line for
// each host message and scripted action), the summary, and the summary as
// JSON.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "message_thread.h"
#include "options.h"
#include "session.h"
#include "verdict.h"

namespace probe {

struct LiveStatus {
    double seconds = 0;
    bool paused = false, active = true;
    uint64_t cycles = 0, newCycles = 0;
    uint64_t samples = 0, newSamples = 0;
    std::vector<double> elevationsFt;  // the first points' published elevations
    int points = 0;
    std::vector<WatchedValue> watched;  // --watch
};

void print_live_header(std::FILE* out, const RunResult& run);
void print_live(std::FILE* out, const LiveStatus& status);
void print_message(std::FILE* out, const Message& message);
void print_event(std::FILE* out, const FrameEvent& event, const Options& options, double seconds);
// The summary's figures, checks and warnings: printed as soon as the run
// has ended, before the CSV's rest is finished.
void print_summary(std::FILE* out, const RunResult& run);
// The files written, what could not be written, and the verdict.
void print_closing(std::FILE* out, const Options& options, const RunResult& run, const Verdict& verdict);
// Whether an output's write failed, by its path.
bool failed(const RunResult& run, const std::string& path);
// Why the CSV holds fewer rows than the samples checked.
const char* csv_incomplete_because(const RunResult& run);
void print_json(std::FILE* out, const Options& options, const RunResult& run, const Verdict& verdict);

}  // namespace probe
