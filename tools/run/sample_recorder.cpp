// The worker's cycle as its host calls show it: reading "WZ_Active" begins
// a sampling cycle, each point is read (longitude, altitude, latitude) and
// its elevation written, and reading "WZ_UpdateInterval" comes right before
// the wait that ends the cycle.
#include "sample_recorder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "thread_watch.h"

namespace probe {
namespace {

// The point index of a variable named prefix + digits, or -1.
int point_index(const std::string& name, const char* prefix) {
    size_t length = std::strlen(prefix);
    if (name.size() <= length || name.compare(0, length, prefix) != 0) return -1;
    return std::atoi(name.c_str() + length);
}

// The host's own conversions, so a sample reads as the host stored it.
double feet(double value, int32_t units) { return value * hostsim::to_canonical(units); }
double degrees(double value, int32_t units) {
    return value * hostsim::to_canonical(units) / hostsim::to_canonical(hostsim::kUnitsDegrees);
}

double milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

SampleRecorder::SampleRecorder(std::thread::id gaugeThread, Clock::time_point start)
    : gaugeThread_(gaugeThread), start_(start) {}

void SampleRecorder::observe(const hostsim::Call& call) {
    Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> hold(lock_);
    // The pause message publishes the pause after the module has taken it
    // in, so cycles begun from here on must not sample.
    if (call.op == "set" && call.name == "FSSimIsPaused" && call.value != 0.0) paused_ = true;
    if (call.thread != gaugeThread_) worker_call(call, now);
    else gauge_call(call, std::chrono::duration<double>(now - start_).count());
}

void SampleRecorder::written_before_start(int count, Clock::time_point when) {
    std::lock_guard<std::mutex> hold(lock_);
    double seconds = std::chrono::duration<double>(when - start_).count();
    for (int k = 0; k < count; ++k) {
        age_.written(k, seconds);
        age_.gauge_call();
    }
}

// A point's position written by a gauge (any unit), or the table built.
void SampleRecorder::gauge_call(const hostsim::Call& call, double seconds) {
    if (call.op == "set_typed" || call.op == "set") {
        for (const char* part : {"WZPointLat_", "WZPointLon_", "WZPointAlt_"})
            if (int k = point_index(call.name, part); k >= 0) return age_.written(k, seconds);
        if (call.name == "WZ_PointCount") age_.table_built(static_cast<int>(call.value));
    }
    age_.gauge_call();
}

void SampleRecorder::resuming() {
    std::lock_guard<std::mutex> hold(lock_);
    paused_ = false;
}

void SampleRecorder::worker_call(const hostsim::Call& call, Clock::time_point now) {
    if (call.op == "get" && call.name == "WZ_Active") {
        cycleStart_ = now;
        haveCycleStart_ = true;
        cyclePaused_ = paused_;
        age_.cycle_begins();
    } else if (call.op == "get" && call.name == "WZ_UpdateInterval") {
        workerOsId_ = current_thread_os_id();
        cycle_ends(call.value, now);
    } else if (call.op == "get_typed") {
        if (int k = point_index(call.name, "WZPointLon_"); k >= 0) {
            pending_ = {k, degrees(call.value, call.units), 0, 0};
            age_.reading(k);
        } else if (int a = point_index(call.name, "WZPointAlt_"); a >= 0 && a == pending_.point) {
            pending_.altitudeFt = feet(call.value, call.units);
        } else if (int l = point_index(call.name, "WZPointLat_"); l >= 0 && l == pending_.point) {
            pending_.latitudeDeg = degrees(call.value, call.units);
        }
    } else if (call.op == "set_typed") {
        int k = point_index(call.name, "WZPointElevation_");
        if (k < 0) return;
        ++stats_.samples;
        if (cyclePaused_) ++stats_.pausedSamples;
        if (static_cast<size_t>(k) >= perPoint_.size()) perPoint_.resize(static_cast<size_t>(k) + 1);
        ++perPoint_[static_cast<size_t>(k)];
        double seconds = std::chrono::duration<double>(now - start_).count();
        const Pending& p = pending_;
        if (p.point == k) {
            samples_.push_back({seconds, k, p.latitudeDeg, p.longitudeDeg, p.altitudeFt, feet(call.value, call.units)});
            age_.published(k, seconds);
        }
    }
}

void SampleRecorder::cycle_ends(double intervalMs, Clock::time_point now) {
    ++stats_.cycles;
    if (cyclePaused_) ++stats_.pausedCycles;
    note_interval(intervalMs, now);
    if (haveCycleStart_) {
        workSumMs_ += milliseconds(now - cycleStart_);
        ++workCount_;
    }
    if (haveLastEnd_) {
        double period = milliseconds(now - lastEnd_);
        stats_.minPeriodMs = stats_.periods ? std::min(stats_.minPeriodMs, period) : period;
        stats_.maxPeriodMs = std::max(stats_.maxPeriodMs, period);
        periodSumMs_ += period;
        ++stats_.periods;
    }
    lastEnd_ = now;
    haveLastEnd_ = true;
    haveCycleStart_ = false;
    cyclePaused_ = paused_;
    pending_ = Pending{};
    age_.cycle_ends();
}

void SampleRecorder::note_interval(double intervalMs, Clock::time_point now) {
    stats_.intervalMs = intervalMs;
    std::vector<IntervalInForce>& kept = stats_.intervals;
    if (!kept.empty() && kept.back().ms == intervalMs) return;
    if (kept.size() == kMaxIntervalsKept) stats_.moreIntervals = true;
    else kept.push_back({std::chrono::duration<double>(now - start_).count(), intervalMs});
}

CycleStats SampleRecorder::stats() const {
    std::lock_guard<std::mutex> hold(lock_);
    CycleStats s = stats_;
    if (s.periods) s.meanPeriodMs = periodSumMs_ / static_cast<double>(s.periods);
    if (workCount_) s.meanWorkMs = workSumMs_ / static_cast<double>(workCount_);
    s.worksMeasured = workCount_;
    return s;
}

uint64_t SampleRecorder::worker_os_id() const {
    std::lock_guard<std::mutex> hold(lock_);
    return workerOsId_;
}

std::vector<Sample> SampleRecorder::take_samples() {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<Sample> taken;
    taken.swap(samples_);
    return taken;
}

uint64_t SampleRecorder::pending() const {
    std::lock_guard<std::mutex> hold(lock_);
    return samples_.size();
}

std::vector<uint64_t> SampleRecorder::samples_per_point() const {
    std::lock_guard<std::mutex> hold(lock_);
    return perPoint_;
}

AgeFigures SampleRecorder::elevation_age() const {
    std::lock_guard<std::mutex> hold(lock_);
    return age_.figures();
}

}  // namespace probe
