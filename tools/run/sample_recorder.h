// Watches the module's calls into the host (the host's call observer) and
// turns the sampling worker's into figures: cycles, samples with the
// positions they were taken at, the cycle period, what happened while
// the simulation was paused, and (with the gauges' writes of positions)
// how old each published elevation was. Keeps counts, not the calls, so a run may be
// long.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "elevation_age.h"
#include "hostsim/host.h"

namespace probe {

using Clock = std::chrono::steady_clock;

// One elevation the worker published, with the position it had read for it.
struct Sample {
    double seconds;  // since the start of the run
    int point;
    double latitudeDeg, longitudeDeg, altitudeFt, elevationFt;
};

// WZ_UpdateInterval as the worker read it, from the end of a cycle on.
struct IntervalInForce {
    double fromSeconds;
    double ms;
};
// The changes of interval kept, at most: a gauge that writes a new one
// every frame is told of by its first ones.
constexpr size_t kMaxIntervalsKept = 16;

struct CycleStats {
    uint64_t cycles = 0;         // waits the worker began
    uint64_t pausedCycles = 0;   // of them, cycles begun while paused
    uint64_t samples = 0;        // elevations written
    uint64_t pausedSamples = 0;  // of them, written in cycles begun while paused
    uint64_t periods = 0;        // cycle periods measured
    double meanPeriodMs = 0, minPeriodMs = 0, maxPeriodMs = 0;
    double meanWorkMs = 0;       // the sampling part of a cycle, before its wait
    double intervalMs = 0;       // WZ_UpdateInterval as the worker last read it
    uint64_t worksMeasured = 0;  // cycles whose sampling part was timed
    std::vector<IntervalInForce> intervals;  // in the order read, each differing from the last
    bool moreIntervals = false;              // more changes came than are kept
};

class SampleRecorder {
public:
    // Calls on the gauge thread are the gauges' own, not the worker's.
    SampleRecorder(std::thread::id gaugeThread, Clock::time_point start);

    // The host's call observer.
    void observe(const hostsim::Call& call);
    // A gauge wrote the positions of points 0 to count - 1 at that time,
    // before the observer was set.
    void written_before_start(int count, Clock::time_point when);
    // The resume message is about to be delivered: from here on a cycle
    // may sample again.
    void resuming();

    CycleStats stats() const;
    // The system's id of the thread that last ran a cycle; 0 before any.
    uint64_t worker_os_id() const;
    // The samples recorded since the last call.
    std::vector<Sample> take_samples();
    // Samples recorded and not yet taken.
    uint64_t pending() const;
    // How many elevations were written for each point index.
    std::vector<uint64_t> samples_per_point() const;
    // How old the published elevations were when they came.
    AgeFigures elevation_age() const;

private:
    struct Pending {
        int point = -1;
        double longitudeDeg = 0, altitudeFt = 0, latitudeDeg = 0;
    };

    void gauge_call(const hostsim::Call& call, double seconds);
    void worker_call(const hostsim::Call& call, Clock::time_point now);
    void cycle_ends(double intervalMs, Clock::time_point now);
    void note_interval(double intervalMs, Clock::time_point now);

    const std::thread::id gaugeThread_;
    const Clock::time_point start_;
    mutable std::mutex lock_;
    CycleStats stats_;
    double periodSumMs_ = 0, workSumMs_ = 0;
    uint64_t workCount_ = 0;
    uint64_t workerOsId_ = 0;
    bool paused_ = false, cyclePaused_ = false, haveCycleStart_ = false, haveLastEnd_ = false;
    Clock::time_point cycleStart_, lastEnd_;
    Pending pending_;
    std::vector<Sample> samples_;
    std::vector<uint64_t> perPoint_;
    ElevationAge age_;
};

}  // namespace probe
