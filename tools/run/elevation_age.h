// How old the elevation a gauge reads is. For each position a gauge writes
// for a point, the time until the module publishes an elevation read from
// that position or a later one, and whether that came within the bound:
// the rest of the cycle under way, plus the interval in force, plus one
// cycle. The bound is counted in the run's own cycles, so that a busy
// machine (or a longer interval) moves it with the cycles instead of
// breaking it: a position must be answered by the end of the first cycle
// that begins after it was written. Positions written while the worker did
// not sample (paused, WZ_Active 0, no table yet) are not measured.
//
// Fed by the sample recorder's observer, which serialises every call; so
// it takes no lock of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace probe {

// The bound, as the summary, the JSON and the check's message state it.
constexpr const char* kAgeBound = "the rest of the cycle under way, plus the interval in force, plus one cycle";

struct AgeFigures {
    uint64_t answered = 0;     // positions whose answer was seen
    uint64_t beyond = 0;       // of the measured, answered after the bound or never
    uint64_t unanswered = 0;   // of those beyond, never answered
    uint64_t notMeasured = 0;  // written while sampling was off, or still within their bound at the end
    double medianMs = 0, p99Ms = 0, maxMs = 0;  // of the answered
};

// The run's verdict on the age: a plain pass or fail and what it says.
struct AgeCheck {
    bool passed = true;
    std::string message;
};

AgeCheck age_check(const AgeFigures& figures);

// Ages to about a thousandth of their value, in constant memory however
// many positions a run writes.
class AgeHistogram {
public:
    void add(uint64_t microseconds);
    uint64_t count() const { return count_; }
    // The age below which the given share of the ages lie, in ms.
    double percentile_ms(double share) const;
    double max_ms() const { return static_cast<double>(max_) / 1000.0; }

private:
    std::vector<uint64_t> buckets_;
    uint64_t count_ = 0, max_ = 0;
};

class ElevationAge {
public:
    // A gauge wrote a part of point's position (latitude, longitude or
    // altitude). The parts of one point written one after another are one
    // position, timed at its first part.
    void written(int point, double seconds);
    // Anything else the gauge thread did: the next part written starts a
    // new position.
    void gauge_call() { lastWritten_ = -1; }
    // The vorn gauge built a table of this many points: points beyond it
    // are never sampled, by design.
    void table_built(int points);

    void cycle_begins();
    // The worker began reading point's position: what was written before
    // is what this read answers.
    void reading(int point);
    // The worker published point's elevation from the position it read.
    void published(int point, double seconds);
    void cycle_ends();

    // The figures at the end of the run.
    AgeFigures figures() const;

private:
    struct Entry {
        double seconds;
        uint64_t cycle;  // the first cycle to begin after the write
    };
    struct Ring {
        uint32_t head = 0, size = 0;
    };

    void grow_to(size_t points);
    void widen();
    Entry& at(size_t point, uint32_t i) { return entries_[point * capacity_ + (rings_[point].head + i) % capacity_]; }
    const Entry& at(size_t point, uint32_t i) const {
        return entries_[point * capacity_ + (rings_[point].head + i) % capacity_];
    }
    bool idle_since(const Entry& e) const { return lastIdle_ >= 0 && static_cast<uint64_t>(lastIdle_) >= e.cycle; }
    bool past_bound(const Entry& e) const { return cyclesEnded_ > e.cycle; }
    // Makes room for one more entry of a full ring: the oldest goes when its
    // fate is already known (written while idle, or past its bound), else
    // every ring grows.
    void make_room(size_t point);
    void answer(const Entry& e, double seconds);

    uint32_t capacity_ = 4;
    std::vector<Ring> rings_;
    std::vector<Entry> entries_;  // capacity_ per point
    int lastWritten_ = -1;
    int table_ = -1;  // points in the module's table; -1 until built
    uint64_t cyclesBegun_ = 0, cyclesEnded_ = 0;
    int64_t lastIdle_ = -1;  // the last cycle that sampled nothing
    bool cycleSampled_ = false;
    int readingPoint_ = -1;
    uint32_t covered_ = 0;  // entries the read under way answers
    uint64_t beyond_ = 0, unanswered_ = 0, notMeasured_ = 0;
    AgeHistogram ages_;
};

}  // namespace probe
