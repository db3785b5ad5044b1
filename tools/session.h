// One probe-host run: the simulated host, the module and its two gauges,
// the probe points moved every frame, the scripted pause, then the stop
// and what it all measured.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "message_thread.h"
#include "options.h"
#include "render.h"
#include "sample_recorder.h"

namespace probe {

struct LiveStatus;

struct RunResult {
    std::string module;
    std::string terrain;
    std::string probes;
    int points = 0;
    double seconds = 0;
    uint64_t frames = 0;
    double pdk = 0, surface = 0;  // "WZ_PDK", "WZ_pSurface" as the module set them
    CycleStats stats;
    std::vector<Message> messages;  // delivered, with their times
    std::optional<double> stopLatencyMs;
    std::string stopNote;  // why the latency was not measured
    DisplayPicture picture;  // its texts in code page 1252, as the gauge wrote them
    uint64_t samplesChecked = 0, samplesOff = 0;
    uint64_t samplesOutside = 0;  // taken where the terrain model has no data
    double largestDifferenceFt = 0;
    std::string hostProblems;  // references kept or over-released, forbidden calls; "" when none
    std::vector<std::string> warnings;
};

// What the run shows while it goes; each may be empty.
struct LiveView {
    std::function<void(const RunResult&)> started;
    std::function<void(const LiveStatus&)> second;
    std::function<void(const Message&)> message;
};

// Throws FileError (or hostsim's LoadError and TerrainFileError) before the
// module runs.
RunResult run_session(const Options& options, const LiveView& live);

}  // namespace probe
