// Clocks, medians, keeping threads on one core or letting them settle, the
// interleaving of a measured run with its limit, and a clock for cycles.
#pragma once

#include <sched.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "hostsim/terrain.h"

namespace bench {

// CPU time of the calling thread: what a run costs, whatever else the
// shared machine is doing meanwhile.
int64_t thread_cpu_ns();
// The calling thread's CPU time for body, per unit of the work it does.
template <typename Body>
double cpu_ns_per(double units, Body body) {
    int64_t start = thread_cpu_ns();
    body();
    return static_cast<double>(thread_cpu_ns() - start) / units;
}
int64_t monotonic_ns();
double median(std::vector<double> values);
void sleep_us(int microseconds);

// Keeps the calling thread, and the threads it starts, on the processor it
// runs on now, so that a run and its limit share one core and its caches
// whatever the other processes of a shared machine do.
class PinnedToOneCore {
public:
    PinnedToOneCore();
    ~PinnedToOneCore();
    PinnedToOneCore(const PinnedToOneCore&) = delete;
    PinnedToOneCore& operator=(const PinnedToOneCore&) = delete;

private:
    cpu_set_t previous_;
};

// Lets the thread rest a while, then waits until it is asleep in the kernel
// (blocked on its event). Both sides of a wake-up measurement settle alike,
// since the time the machine has been idle before a wake-up changes what
// the wake-up costs. Throws std::runtime_error when the thread has ended.
void settle_asleep(pid_t tid);

// A measured run and its limit, the run of the host calls it cannot avoid:
// each a cost per unit in nanoseconds.
struct Comparison {
    double measuredNs = 0;
    double limitNs = 0;
    double ratio = 0;  // the median of the rounds' ratios
};

// Alternates measured and limit runs for the given number of rounds (the
// order swapped every round, so a drifting machine favours neither).
Comparison interleave(int rounds, const std::function<double()>& measured, const std::function<double()>& limit);

// Flat ground that also keeps time: at every period-th elevation query it
// marks the querying thread's CPU clock and allocation count. Only one
// thread queries at a time.
class CycleClock final : public hostsim::Terrain {
public:
    explicit CycleClock(double feet) : feet_(feet) {}
    double elevation_feet(double latitudeRad, double longitudeRad) const override;

    // Marks the next query and then every period-th one, up to `marks` marks.
    void arm(uint64_t period, size_t marks);
    size_t marks_taken() const { return taken_.load(std::memory_order_acquire); }
    // Throws std::runtime_error when the marks have not come within timeoutMs.
    void wait_for_marks(size_t count, int timeoutMs = 30000) const;
    // CPU time between consecutive marks, divided by `per`.
    std::vector<double> intervals(double per) const;
    // The marking thread's allocations between the first and the last mark.
    uint64_t allocations_between_marks() const;
    pid_t last_thread() const { return thread_.load(std::memory_order_relaxed); }

private:
    struct Mark {
        int64_t cpuNs;
        uint64_t allocations;
    };
    void mark() const;

    double feet_;
    uint64_t period_ = 0;
    mutable uint64_t countdown_ = 0;
    mutable std::vector<Mark> marks_;
    mutable std::atomic<size_t> taken_{0};
    mutable std::atomic<pid_t> thread_{0};
};

}  // namespace bench
