// The elevation's age as probe-host measures it, fed with the calls a gauge
// and the worker make, in an order chosen here: ages, the bound counted in
// cycles, what is left out, and the verdict. Times are given, not taken, so
// nothing here depends on the machine's speed.
#include <gtest/gtest.h>

#include <thread>

#include "elevation_age.h"
#include "sample_recorder.h"

namespace {

using probe::AgeFigures;
using probe::ElevationAge;

// One cycle of a worker that samples the given points at the given time.
void cycle(ElevationAge& age, std::initializer_list<int> points, double seconds) {
    age.cycle_begins();
    for (int p : points) {
        age.reading(p);
        age.published(p, seconds);
    }
    age.cycle_ends();
}

void write(ElevationAge& age, std::initializer_list<int> points, double seconds) {
    for (int p : points) {
        age.written(p, seconds);  // latitude, longitude and altitude: one position
        age.written(p, seconds + 1e-6);
        age.written(p, seconds + 2e-6);
    }
    age.gauge_call();
}

TEST(ElevationAge, PositionsAnsweredByTheNextCycleAreWithinTheBound) {
    ElevationAge age;
    write(age, {0, 1}, 0.000);
    age.table_built(2);
    cycle(age, {0, 1}, 0.010);  // 10 ms
    write(age, {0, 1}, 0.050);
    write(age, {0, 1}, 0.100);  // two positions before the next read: both answered by it
    cycle(age, {0, 1}, 0.130);  // 80 and 30 ms
    AgeFigures f = age.figures();
    EXPECT_EQ(f.answered, 6u);
    EXPECT_EQ(f.beyond, 0u);
    EXPECT_NEAR(f.maxMs, 80, 0.1);
    EXPECT_NEAR(f.medianMs, 30, 0.1);  // of 10, 10, 30, 30, 80, 80
    EXPECT_TRUE(probe::age_check(f).passed);
}

TEST(ElevationAge, APointSkippedForACycleBreaksTheBoundAndFailsTheCheck) {
    ElevationAge age;
    age.table_built(3);
    write(age, {0, 1, 2}, 0.0);
    cycle(age, {0, 1, 2}, 0.01);
    write(age, {0, 1, 2}, 0.02);
    cycle(age, {0, 1}, 0.08);  // point 2 skipped
    cycle(age, {0, 1, 2}, 0.14);
    write(age, {0, 1, 2}, 0.15);
    cycle(age, {0, 1}, 0.20);  // skipped again, and never read after
    cycle(age, {0, 1}, 0.26);
    AgeFigures f = age.figures();
    EXPECT_EQ(f.beyond, 2u);
    EXPECT_EQ(f.unanswered, 1u);
    EXPECT_NEAR(f.maxMs, 120, 0.1);
    probe::AgeCheck check = probe::age_check(f);
    EXPECT_FALSE(check.passed);
    EXPECT_EQ(check.message, "2 of 9 positions answered later than the rest of the cycle under way, plus the interval in force, "
                             "plus one cycle (1 never answered)");
}

TEST(ElevationAge, PositionsWrittenWhileSamplingIsOffAreNotMeasured) {
    ElevationAge age;
    age.table_built(1);
    cycle(age, {0}, 0.0);
    write(age, {0}, 0.02);
    cycle(age, {}, 0.06);  // paused, or WZ_Active 0: nothing read
    cycle(age, {}, 0.12);
    cycle(age, {0}, 0.18);
    write(age, {0}, 0.20);  // the run ends before its bound
    cycle(age, {}, 0.24);
    AgeFigures f = age.figures();
    EXPECT_EQ(f.answered, 0u);
    EXPECT_EQ(f.beyond, 0u);
    EXPECT_EQ(f.notMeasured, 2u);
    EXPECT_TRUE(probe::age_check(f).passed);
}

TEST(ElevationAge, PointsBeyondTheTableAreNotHeldAgainstIt) {
    ElevationAge age;
    write(age, {0, 1, 2}, 0.0);
    age.table_built(1);
    for (int i = 1; i <= 3; ++i) {
        write(age, {0, 1, 2}, 0.05 * i);
        cycle(age, {0}, 0.05 * i + 0.01);
    }
    AgeFigures f = age.figures();
    EXPECT_EQ(f.answered, 4u);
    EXPECT_EQ(f.beyond, 0u);
}

TEST(ElevationAge, ALongCycleKeepsEveryPositionWrittenMeanwhile) {
    // Forty frames written while one long cycle runs, for many points: each
    // position is answered by the next cycle.
    ElevationAge age;
    age.table_built(500);
    age.cycle_begins();
    for (int frame = 0; frame < 40; ++frame)
        for (int p = 0; p < 500; ++p) age.written(p, frame * 0.05), age.gauge_call();
    age.cycle_ends();
    age.cycle_begins();
    for (int p = 0; p < 500; ++p) age.reading(p), age.published(p, 2.0);
    age.cycle_ends();
    AgeFigures f = age.figures();
    EXPECT_EQ(f.answered, 20000u);
    EXPECT_EQ(f.beyond, 0u);
    EXPECT_NEAR(f.maxMs, 2000, 2);
    EXPECT_NEAR(f.medianMs, 1000, 2);
}

TEST(ElevationAge, PercentilesHoldToAThousandthOfTheAge) {
    probe::AgeHistogram ages;
    for (uint64_t ms = 1; ms <= 1000; ++ms) ages.add(ms * 1000);
    EXPECT_NEAR(ages.percentile_ms(0.5), 500, 0.5);
    EXPECT_NEAR(ages.percentile_ms(0.99), 990, 1);
    EXPECT_EQ(ages.max_ms(), 1000);
    probe::AgeHistogram small;
    small.add(7);
    EXPECT_NEAR(small.percentile_ms(0.5), 0.007, 1e-9);
}

// The recorder turns the host's calls into the same: a gauge's writes on
// its thread, the worker's reads and writes on another.
TEST(ElevationAge, TheRecorderReadsItFromTheHostsCalls) {
    std::thread::id gauge = std::this_thread::get_id(), worker;
    std::thread([&] { worker = std::this_thread::get_id(); }).join();
    probe::SampleRecorder recorder(gauge, probe::Clock::now());
    auto call = [&](const char* op, const std::string& name, double value, std::thread::id thread) {
        recorder.observe({op, name, value, hostsim::kUnitsDegrees, thread});
    };
    call("set", "WZ_PointCount", 2, gauge);
    for (int frame = 0; frame < 3; ++frame) {
        for (const char* p : {"0", "1"})
            for (const char* part : {"WZPointLat_", "WZPointLon_", "WZPointAlt_"}) call("set_typed", part + std::string(p), 1, gauge);
        call("get", "WZ_Active", 1, worker);
        for (const char* p : {"0", "1"}) {
            for (const char* part : {"WZPointLon_", "WZPointAlt_", "WZPointLat_"}) call("get_typed", part + std::string(p), 1, worker);
            call("set_typed", std::string("WZPointElevation_") + p, 100, worker);
        }
        call("get", "WZ_UpdateInterval", 55, worker);
    }
    AgeFigures f = recorder.elevation_age();
    EXPECT_EQ(f.answered, 6u);
    EXPECT_EQ(f.beyond, 0u);
}

}  // namespace
