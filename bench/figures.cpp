// The five figures: each runs the module as a host does and, interleaved
// with it, the host calls the module cannot avoid (or the bare OS and C
// library work), and publishes the ratio of the two.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>

#include "interpose.h"
#include "platform/os.h"
#include "report.h"
#include "rig.h"

namespace {

using bench::Comparison;
using bench::Rig;

// Every figure is one benchmark iteration holding all its interleaved
// rounds; its time is the measured cost per unit.
void report(benchmark::State& state, const char* name, const Comparison& c, double target) {
    state.SetIterationTime(c.measuredNs * 1e-9);
    state.counters["limit_ns"] = c.limitNs;
    state.counters["ratio"] = c.ratio;
    bench::publish_figure(name, c, target);
}

// --- worker_per_point: a sampling cycle against its point calls ---

constexpr int kCyclePoints = 2000;
constexpr int kCyclesPerRound = 20;
constexpr int kCycleRounds = 41;

void worker_per_point(benchmark::State& state) {
    for (auto _ : state) {
        bench::PinnedToOneCore pinned;
        Rig rig(kCyclePoints);
        rig.host().set_value("WZ_UpdateInterval", 0.0);
        rig.host().set_value("WZ_Active", 1.0);
        // The first run builds the table and warms both sides up.
        bench::worker_ns_per_point(rig, kCyclePoints, 1, 2);
        std::vector<bench::PointIds> ids = rig.point_ids(kCyclePoints);
        bench::direct_ns_per_point(rig, ids, 1, 2);
        Comparison c = bench::interleave(
            kCycleRounds, [&] { return bench::worker_ns_per_point(rig, kCyclePoints, 1, kCyclesPerRound); },
            [&] { return bench::direct_ns_per_point(rig, ids, 1, kCyclesPerRound); });
        report(state, "worker_per_point", c, 1.05);
    }
}

// --- update_steady: code 6 while the worker runs, against one get ---

constexpr int kCallsPerBatch = 20000;
constexpr int kBatchRounds = 201;

void update_steady(benchmark::State& state) {
    for (auto _ : state) {
        bench::PinnedToOneCore pinned;
        Rig rig(100);
        rig.host().set_value("WZ_Active", 1.0);
        rig.start_worker();
        bench::PanelCalls panel(rig.host());
        int32_t active = rig.host().check_var("WZ_Active");
        Comparison c = bench::interleave(
            kBatchRounds,
            [&] {
                return bench::cpu_ns_per(kCallsPerBatch, [&] {
                    for (int i = 0; i < kCallsPerBatch; ++i) rig.vorn().send(kPreUpdate);
                });
            },
            [&] {
                return bench::cpu_ns_per(kCallsPerBatch, [&] {
                    double sink = 0;
                    for (int i = 0; i < kCallsPerBatch; ++i) sink += panel.get(active);
                    benchmark::DoNotOptimize(sink);
                });
            });
        report(state, "update_steady", c, 2.0);
    }
}

// --- table_build: the first code 6 for 100000 points, against its attach calls ---

constexpr int kTablePoints = 100000;
constexpr int kTableRounds = 11;
const char* const kControls[] = {"FSSimIsPaused", "WZ_Active",   "WZ_UpdateInterval",
                                 "WZ_PointCount", "WZ_pSurface", "WZ_PDK"};
const char* const kPrefixes[] = {"WZPointLat_", "WZPointLon_", "WZPointAlt_", "WZPointElevation_"};

// CPU time per variable attached, and the page faults taken meanwhile.
struct BuildCost {
    double nsPerVariable;
    long faults;
};

long page_faults() {
    rusage usage;
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

template <typename Build>
BuildCost cost_of(Build build, double variables) {
    long faults = page_faults();
    double ns = bench::cpu_ns_per(variables, build);
    return {ns, page_faults() - faults};
}

// The first code 6; the worker it starts idles ("WZ_Active" 0), so the
// build alone is measured.
BuildCost build_table_once() {
    Rig rig(kTablePoints);
    rig.host().set_value("WZ_Active", 0.0);
    return cost_of([&] { rig.start_worker(); }, 4.0 * kTablePoints);
}

// The same look-ups, registrations and reads on a fresh host that already
// knows the control variables, as the module's host does.
BuildCost attach_directly_once(const std::vector<std::string>& names) {
    hostsim::Host host;
    host.set_logging(false);
    bench::PanelCalls panel(host);
    for (const char* control : kControls) host.register_var(control);
    double sink = 0;
    BuildCost cost = cost_of(
        [&] {
            for (const std::string& name : names) {
                int32_t id = panel.registerVar(name.c_str());
                if (id == 0) id = panel.check(name.c_str());
                sink += panel.get(id);
            }
        },
        static_cast<double>(names.size()));
    benchmark::DoNotOptimize(sink);
    return cost;
}

// While it lives, memory the process frees stays mapped for its next
// allocation, as in a host that has been running a while. The first touch
// of fresh pages is the kernel's cost, and in a virtual machine it can
// outweigh the whole build (tens of microseconds a page against well under
// one on bare metal), so the figure leaves it out and shows the cold build apart.
struct KeepFreedMemory {
    KeepFreedMemory() {
        mallopt(M_MMAP_MAX, 0);
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
    }
    ~KeepFreedMemory() {
        mallopt(M_MMAP_MAX, 65536);
        mallopt(M_TRIM_THRESHOLD, 128 * 1024);
        malloc_trim(0);
    }
};

void table_build(benchmark::State& state) {
    for (auto _ : state) {
        bench::PinnedToOneCore pinned;
        std::vector<std::string> names;
        for (int k = 0; k < kTablePoints; ++k)
            for (const char* prefix : kPrefixes) names.push_back(prefix + std::to_string(k));
        BuildCost coldDirect = attach_directly_once(names);
        BuildCost coldModule = build_table_once();

        KeepFreedMemory keep;
        build_table_once();
        Comparison c = bench::interleave(
            kTableRounds, [] { return build_table_once().nsPerVariable; },
            [&] { return attach_directly_once(names).nsPerVariable; });
        report(state, "table_build", c, 1.15);

        char line[240];
        std::snprintf(line, sizeof line,
                      "table_build in fresh memory (not in the figure): module %.1f ns per variable with %ld page "
                      "faults, direct calls %.1f ns with %ld, ratio %.3f",
                      coldModule.nsPerVariable, coldModule.faults, coldDirect.nsPerVariable, coldDirect.faults,
                      coldModule.nsPerVariable / coldDirect.nsPerVariable);
        bench::publish_note(line);
    }
}

// --- stop_latency: disconnect to the worker's end, against a bare signal and wake ---

constexpr int kStopRounds = 61;
// The worker's interval, and so its wait's time-out; the sleeper waits alike.
constexpr uint32_t kStopIntervalMs = 60000;

// A thread of the bench's own copy of the OS layer that falls asleep on an
// event and notes when the signal wakes it. Like each worker it is a new
// thread, so the scheduler treats the two alike.
struct Sleeper {
    os::Handle event;
    std::atomic<pid_t> tid{0};
    int64_t wokeNs = 0;
};

unsigned sleep_on_event(void* raw) {
    auto* sleeper = static_cast<Sleeper*>(raw);
    sleeper->tid.store(static_cast<pid_t>(syscall(SYS_gettid)));
    if (os::wait_event(sleeper->event, kStopIntervalMs) == os::kWaitSignalled)
        sleeper->wokeNs = bench::monotonic_ns();
    return 0;
}

// From the signal to the sleeper's wake, in ns.
double signal_and_wake(os::Handle event) {
    Sleeper sleeper{event};
    os::Handle thread = os::start_thread(sleep_on_event, &sleeper);
    if (!thread) throw std::runtime_error("the sleeper's thread did not start");
    while (sleeper.tid.load() == 0) bench::sleep_us(50);
    bench::settle_asleep(sleeper.tid.load());
    int64_t sent = bench::monotonic_ns();
    os::signal_event(event);
    if (os::wait_thread(thread, kStopIntervalMs) != os::kWaitSignalled)
        throw std::runtime_error("the sleeper did not end");
    os::close_handle(thread);
    return static_cast<double>(sleeper.wokeNs - sent);
}

void stop_latency(benchmark::State& state) {
    for (auto _ : state) {
        Rig rig(1);
        rig.host().set_value("WZ_Active", 1.0);
        rig.host().set_value("WZ_UpdateInterval", kStopIntervalMs);
        os::Handle event = os::create_event("BenchStopEvent");
        Comparison c = bench::interleave(
            kStopRounds,
            [&] {
                rig.clock().arm(1, 1);
                rig.start_worker();
                rig.clock().wait_for_marks(1);
                bench::settle_asleep(rig.clock().last_thread());
                return static_cast<double>(rig.stop_worker());
            },
            [&] { return signal_and_wake(event); });
        os::close_handle(event);
        report(state, "stop_latency", c, 2.0);
    }
}

// --- text_update: the display's three texts against three snprintf calls ---

constexpr int kTextsPerBatch = 2000;
constexpr int kTextRounds = 101;

struct PointValues {
    double latDeg, lonDeg, altFt, elevationFt, latRad, lonRad;
};

// The display's texts as printf writes them.
void print_texts(char (&index)[15], char (&position)[130], char (&elevation)[100], int selected,
                 const PointValues& v) {
    std::snprintf(index, sizeof index, "ID=%d", selected);
    std::snprintf(position, sizeof position, "Lat: %5.2f; Lon: %3.4f\xB0; Alt: %3.4f\xB0", v.latDeg, v.lonDeg,
                  v.altFt);
    std::snprintf(elevation, sizeof elevation, "Elevtion = %5.2f; Lat:%2.5f; Lon:%2.5f", v.elevationFt, v.latRad,
                  v.lonRad);
}

void text_update(benchmark::State& state) {
    for (auto _ : state) {
        bench::PinnedToOneCore pinned;
        Rig rig(1);
        hostsim::Gauge display(rig.module(), "display");
        display.install();
        rig.start_worker();  // builds the table
        rig.stop_worker();
        hostsim::Host& host = rig.host();
        host.set_value_in("WZPointLat_0", 47.4647, "degrees");
        host.set_value_in("WZPointLon_0", 8.5492, "degrees");
        host.set_value_in("WZPointAlt_0", 1416.0, "feet");
        host.set_value_in("WZPointElevation_0", 1386.25, "feet");
        PointValues v{host.value_in("WZPointLat_0", "degrees"), host.value_in("WZPointLon_0", "degrees"),
                      host.value_in("WZPointAlt_0", "feet"),    host.value_in("WZPointElevation_0", "feet"),
                      host.value_in("WZPointLat_0", "radians"), host.value_in("WZPointLon_0", "radians")};
        volatile int selected = 0;

        std::vector<TextElement*> texts;
        std::vector<std::string> shown;
        for (const hostsim::TextView& view : display.update_texts()) {
            texts.push_back(const_cast<TextElement*>(view.element));
            shown.push_back(view.text);
        }
        char index[15], position[130], elevation[100];
        print_texts(index, position, elevation, selected, v);
        bool same = shown == std::vector<std::string>{index, position, elevation};
        bench::publish_note(std::string("text_update: the module's texts equal printf's: ") + (same ? "yes" : "NO"));

        Comparison c = bench::interleave(
            kTextRounds,
            [&] {
                return bench::cpu_ns_per(kTextsPerBatch, [&] {
                    for (int i = 0; i < kTextsPerBatch; ++i)
                        for (TextElement* text : texts) text->update(text);
                });
            },
            [&] {
                return bench::cpu_ns_per(kTextsPerBatch, [&] {
                    for (int i = 0; i < kTextsPerBatch; ++i) {
                        print_texts(index, position, elevation, selected, v);
                        benchmark::DoNotOptimize(index);
                        benchmark::DoNotOptimize(position);
                        benchmark::DoNotOptimize(elevation);
                    }
                });
            });
        report(state, "text_update", c, 1.5);
    }
}

}  // namespace

#define TP_FIGURE(fn) BENCHMARK(fn)->Iterations(1)->UseManualTime()->Unit(benchmark::kNanosecond)
TP_FIGURE(worker_per_point);
TP_FIGURE(update_steady);
TP_FIGURE(table_build);
TP_FIGURE(stop_latency);
TP_FIGURE(text_update);
