// Stress: the whole life of the module over and over on one host — load,
// init, install the sampler gauge, sample with the interval at 0,
// disconnect, deinit, unload — while a third thread keeps delivering pause
// and resume messages. Every cycle must give every reference back and end
// with no fault in hostsim's record (messages keep coming between
// sessions, and after deinit no thread of the module may call the host);
// at the end no thread may be left and the heap must be where it was after
// the first cycles, apart from what the system's loader keeps of each load.
// TP_STRESS_CYCLES sets the number of cycles (valgrind runs a few dozen).
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "process_stats.h"
#include "test_support.h"

namespace {

using tp_test::eventually;

constexpr double kGround = 1234.0;
constexpr int kPoints = 16;
constexpr int kWarmUpCycles = 20;

// 1000 cycles take about 7 s natively and 20 s under a sanitizer; Wine
// takes about 0.1 s a cycle, so it runs 300 to stay within a minute.
int cycles() {
    if (const char* wanted = std::getenv("TP_STRESS_CYCLES")) return std::atoi(wanted);
#if defined(_WIN32)
    return 300;
#else
    return 1000;
#endif
}

// How much the heap may grow a cycle beyond what loading alone costs: far
// less than one point table (16 points, 17 KB) left behind a cycle.
constexpr double kHeapSlackPerCycle = 1024;

// Heap growth a cycle of loading and unloading alone: what the system's
// loader keeps of every load of a fresh copy (Wine keeps about 73 KB,
// Linux nothing), which no module can give back.
double bare_load_growth(hostsim::Host& host, int cycles) {
    auto before = static_cast<double>(tp_test::heap_in_use());
    for (int cycle = 0; cycle < cycles; ++cycle) hostsim::Module module(host, hostsim::default_module_path());
    return (static_cast<double>(tp_test::heap_in_use()) - before) / cycles;
}

std::string point_var(const char* prefix, int point) { return prefix + std::to_string(point); }

// Delivers pause and resume in turn from its own thread until stopped.
class PauseMessenger {
public:
    explicit PauseMessenger(hostsim::Host& host)
        : thread_([this, &host] {
              for (bool pause = true; !stop_; pause = !pause) {
                  host.deliver_message(pause ? ids::kMessagePaused : ids::kMessageResumed);
                  std::this_thread::sleep_for(std::chrono::microseconds(200));
              }
          }) {}
    ~PauseMessenger() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// One life of the module; false once something went wrong. The module is
// unloaded only once the worker's thread has ended: a thread that ends
// after the unload drops the module's last reference itself (the sampling
// tests cover that), and ThreadSanitizer cannot see that the loader orders
// that unmap before the next load that reuses its addresses.
bool run_cycle(hostsim::Host& host, int cycle, int threadsBefore) {
    for (int k = 0; k < kPoints; ++k) host.set_value(point_var("WZPointElevation_", k), 0.0);
    hostsim::Module module(host, hostsim::default_module_path());
    module.init();
    {
        hostsim::Gauge vorn(module, "vorn", std::to_string(kPoints));
        vorn.install();
        host.set_value("WZ_UpdateInterval", 0.0);
        host.set_value("WZ_Active", 1.0);
        vorn.frame();
        bool sampled = eventually([&] {
            return host.value("WZPointElevation_0") == kGround &&
                   host.value(point_var("WZPointElevation_", kPoints - 1)) == kGround;
        });
        EXPECT_TRUE(sampled) << "cycle " << cycle << ": the points were not sampled";
        vorn.unload();
        if (!sampled) return false;
    }
    module.deinit();
    EXPECT_EQ(host.ledger().outstanding(), 0) << "cycle " << cycle << ": " << host.ledger().report();
    EXPECT_EQ(host.subscriber_count(), 0u) << "cycle " << cycle;
    // The pause messenger's thread is the one beyond the count before.
    bool ended = eventually([&] { return tp_test::thread_count() <= threadsBefore + 1; });
    EXPECT_TRUE(ended) << "cycle " << cycle << ": the worker's thread did not end";
    std::string faults = tp_test::fault_report(host);
    EXPECT_EQ(faults, "") << "cycle " << cycle;
    return ended && faults.empty() && host.ledger().outstanding() == 0 && host.subscriber_count() == 0;
}

TEST(Stress, LoadSampleUnloadCyclesLeaveNothingBehind) {
    const int total = cycles();
    const int threadsBefore = tp_test::thread_baseline();
    hostsim::Host host;
    host.set_logging(false);
    host.set_terrain(hostsim::flat_terrain(kGround));
    size_t heapWarm = 0;
    {
        PauseMessenger messenger(host);
        for (int cycle = 0; cycle < total; ++cycle) {
            if (!run_cycle(host, cycle, threadsBefore)) break;
            if (cycle + 1 == kWarmUpCycles) heapWarm = tp_test::heap_in_use();
        }
    }
    EXPECT_EQ(host.ledger().report(), "");
    EXPECT_TRUE(host.traps().empty());
    EXPECT_TRUE(eventually([&] { return tp_test::thread_count() <= threadsBefore; }))
        << tp_test::thread_count() - threadsBefore << " thread(s) left";
    if (total > kWarmUpCycles) {
        double growth = (static_cast<double>(tp_test::heap_in_use()) - static_cast<double>(heapWarm)) /
                        (total - kWarmUpCycles);
        double loading = bare_load_growth(host, kWarmUpCycles);
        EXPECT_LE(growth, loading + kHeapSlackPerCycle) << "the heap grew by " << growth << " bytes a cycle";
        std::printf("%d cycles; heap growth a cycle once warm: %.0f bytes, of loading alone: %.0f bytes\n", total,
                    growth, loading);
    }
}

}  // namespace
