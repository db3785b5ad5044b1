// One probe-host run: the simulated host, the module and its two gauges,
// the probe points moved every frame around the flying aircraft, the
// scripted messages, switches and clicks, then the stop and what it all
// measured.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "message_thread.h"
#include "options.h"
#include "points_csv.h"
#include "render.h"
#include "sample_recorder.h"
#include "timeline.h"
#include "watch.h"

namespace probe {

struct LiveStatus;

// A frame run late makes the next one missed; more than this share of
// the frames missed is warned about (and fails a --strict run).
constexpr double kMissedFramesShare = 0.1;

// A point at the end of the run.
struct PointResult {
    Position position;  // as last written
    std::string name;   // the points file's, "" where none
    int line = 0;       // in the points file, 0 for a layout's
    std::optional<double> expectedFt;  // the points file's
    double elevationFt = 0;  // as last published
    uint64_t samples = 0;    // elevations written for it
};

struct RunResult {
    std::string module;
    std::string terrain;
    std::string probes;
    std::string flight;
    std::string parameters;  // the vorn gauge's parameter string
    int points = 0;
    double seconds = 0;
    uint64_t frames = 0, missedFrames = 0;
    bool interrupted = false;
    double pdk = 0, surface = 0;  // "WZ_PDK", "WZ_pSurface" as the module set them
    double pointCount = 0;        // "WZ_PointCount" as the vorn gauge set it
    CycleStats stats;
    AgeFigures age;  // how old the published elevations were
    std::vector<Message> messages;  // delivered, with their times
    std::optional<double> stopLatencyMs;
    std::string stopNote;  // why the latency was not measured
    DisplayPicture picture;  // its texts in code page 1252, as the gauge wrote them
    std::vector<PointResult> pointResults;
    Profile profile;
    PlanView plan;
    uint64_t samplesChecked = 0, samplesOff = 0;
    uint64_t samplesOutside = 0;  // taken where the terrain model has no data
    double largestDifferenceFt = 0;
    std::string hostProblems;  // references kept or over-released, forbidden calls, faults; "" when none
    std::string referenceProblems;            // references kept or over-released; "" when none
    std::vector<std::string> forbiddenCalls;  // the forbidden functions the module called
    std::vector<std::string> hostFaults;      // hostsim's fault record
    bool stopTooSlow = false;                 // the worker outlived the stop latency's bound
    double stopBoundMs = 0;
    uint64_t csvRows = 0;      // rows the CSV holds
    uint64_t csvLeftOut = 0;   // samples left out of the CSV: its queue was full
    bool csvStopped = false;   // its finish was stopped by a signal
    bool csvFailed = false;    // a write failed: it holds csvRows rows, its last line whole
    int signalStatus = 0;      // 128 plus the first signal's number, 0 when none came
    int selectClicks = 0;      // Next clicks made once the display was installed
    std::vector<std::string> userGauges;  // --gauge, as FILE!NAME
    std::vector<WatchedValue> watched;     // --watch
    std::vector<std::string> warnings;
    std::vector<std::string> outputErrors;  // outputs that could not be written
    // Gates (options): with strict, the warnings below fail the run too.
    bool strict = false;
    std::string csvFile;  // "" when none was asked for
    std::optional<double> maxAgeMs, toleranceFt;
    std::vector<std::string> implausible;  // positions that cannot be meant, also warnings
    std::string routeShort;                // the route ends before the run or starts after it; "" when not
};

// What the run shows while it goes; each may be empty.
struct LiveView {
    std::function<void(const RunResult&)> started;
    std::function<void(const LiveStatus&)> second;
    std::function<void(const Message&)> message;
    std::function<void(const FrameEvent&, double seconds)> event;
    // The module is unloaded and every figure final; the CSV may still be
    // being finished.
    std::function<void(RunResult&)> ended;
};

// Throws FileError (or hostsim's LoadError and TerrainFileError) before the
// module runs.
RunResult run_session(const Options& options, const LiveView& live);

}  // namespace probe
