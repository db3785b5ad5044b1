// Sampling: the vorn gauge's callback, the point table and the worker, driven
// as a host drives them and watched through hostsim's call log. The Windows
// build runs the real kernel event and thread.
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/guids.h"
#include "module_memory.h"
#include "process_stats.h"
#include "scratch_files.h"
#include "sampling/interval.h"
#include "test_support.h"

namespace {

using hostsim::Call;
using hostsim::SurfaceMode;
using tp_test::eventually;
using tp_test::thread_count;
using Clock = std::chrono::steady_clock;

long long ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string point_var(const char* field, int k) { return std::string("WZPoint") + field + "_" + std::to_string(k); }

struct Position {
    double latDeg, lonDeg, altFt;
};

// A host with the module loaded and its vorn gauge, unloaded as a host does
// it (disconnect, kill, deinit) when it goes.
struct Sampler {
    Sampler() : module(std::make_unique<hostsim::Module>(host, hostsim::default_module_path())) {}
    ~Sampler() {
        close();
        tp_test::expect_no_faults(host);
    }

    void init() {
        module->init();
        static const bool helpersStarted = start_runtime_helpers();
        (void)helpersStarted;
        threadsBefore = thread_count();
    }
    // Runtimes start helper threads at first use: ThreadSanitizer at the
    // first thread started, GoogleTest on Windows at the first scoped trace.
    // Once they run, the thread count only moves with the module's workers.
    static bool start_runtime_helpers() {
        { SCOPED_TRACE("threads counted"); }
        return tp_test::thread_baseline() > 0;
    }
    void load_gauge(std::optional<std::string> parameters) {
        vorn = std::make_unique<hostsim::Gauge>(*module, "vorn", std::move(parameters));
    }
    // Init and the gauge's load, codes 0 to 5: the point count is read.
    void install(std::optional<std::string> parameters = "3", double active = 1.0) {
        init();
        load_gauge(std::move(parameters));
        vorn->install();
        host.set_value("WZ_Active", active);
    }
    void update() { vorn->send(kPreUpdate); }
    void stop() { vorn->send(kDisconnect); }

    void place(int k, Position p) {
        host.set_value_in(point_var("Lat", k), p.latDeg, "degrees");
        host.set_value_in(point_var("Lon", k), p.lonDeg, "degrees");
        host.set_value_in(point_var("Alt", k), p.altFt, "feet");
    }
    // What the terrain gives under point k, as the surface service answers.
    double ground(int k) const {
        float feet = static_cast<float>(
            host.terrain()->elevation_feet(host.value(point_var("Lat", k)), host.value(point_var("Lon", k))));
        return static_cast<double>(feet);
    }

    // Calls made on any thread but the test's: the worker's.
    std::vector<Call> worker_calls() const {
        std::vector<Call> calls;
        for (Call& call : host.calls())
            if (call.thread != self) calls.push_back(std::move(call));
        return calls;
    }
    // Cycles since the log was last cleared: each ends reading the interval.
    int cycles() const { return count(worker_calls(), "get", "WZ_UpdateInterval"); }
    // Clears the log once n more cycles have ended, so that what follows
    // belongs to cycles begun after the caller's change.
    bool settle(int n = 1) {
        host.clear_calls();
        bool ok = eventually([&] { return cycles() >= n; });
        host.clear_calls();
        return ok;
    }
    bool await_cycles(int n) { return eventually([&] { return cycles() >= n; }); }
    bool workers_gone() const {
        return eventually([&] { return thread_count() <= threadsBefore; });
    }

    static int count(const std::vector<Call>& calls, const std::string& op, const std::string& namePrefix = "") {
        int n = 0;
        for (const Call& call : calls) n += call.op == op && call.name.rfind(namePrefix, 0) == 0;
        return n;
    }

    // Never unloads a module that a worker still runs in.
    void close() {
        host.release_hang();
        if (vorn) vorn->unload();
        vorn.reset();
        if (module && module->initialised()) module->deinit();
        workers_gone();
        module.reset();
    }
    void close_cleanly() {
        close();
        EXPECT_EQ(host.ledger().report(), "");
        EXPECT_TRUE(host.traps().empty());
        EXPECT_EQ(thread_count(), threadsBefore);
    }

    hostsim::Host host;
    std::unique_ptr<hostsim::Module> module;
    std::unique_ptr<hostsim::Gauge> vorn;
    std::thread::id self = std::this_thread::get_id();
    int threadsBefore = 0;
};

// A copy of the module in a directory of its own, loaded as the file
// itself: a load while the instance is still mapped (a second handle, a
// worker holding it) gets that instance back, globals as they were.
struct ModuleFile {
    explicit ModuleFile(const std::string& name)
        : dir(tp_test::scratch_directory(name)),
          path((dir / std::filesystem::path(hostsim::default_module_path()).filename()).string()) {
        std::filesystem::copy_file(hostsim::default_module_path(), path);
    }
    ~ModuleFile() {
        std::error_code error;
        std::filesystem::remove_all(dir, error);
    }
    std::unique_ptr<hostsim::Module> load(hostsim::Host& host) const {
        return std::make_unique<hostsim::Module>(host, path, hostsim::LoadMode::SameFile);
    }

    std::filesystem::path dir;
    std::string path;
};

// --- the worker's cycle ---

TEST(Sampling, OneCycleCallsTheHostInOrderOnTheWorkersThread) {
    Sampler s;
    s.install("3");
    for (int k = 0; k < 3; ++k) s.place(k, {47.0 + k, 8.0 - k, 1000.0 * k});
    s.update();
    s.host.clear_calls();
    ASSERT_TRUE(s.await_cycles(2));

    std::vector<Call> calls = s.worker_calls();
    size_t first = 0;
    while (first < calls.size() && !(calls[first].op == "get" && calls[first].name == "WZ_Active")) ++first;
    ASSERT_GE(calls.size(), first + 17);
    struct Expected {
        std::string op, name;
        int32_t units;
    };
    std::vector<Expected> expected = {{"get", "WZ_Active", 0}};
    for (int k = 0; k < 3; ++k) {
        expected.push_back({"get_typed", point_var("Lon", k), hostsim::kUnitsRadians});
        expected.push_back({"get_typed", point_var("Alt", k), hostsim::kUnitsFeet});
        expected.push_back({"get_typed", point_var("Lat", k), hostsim::kUnitsRadians});
        expected.push_back({"QueryElevation", "SurfaceService", 0});
        expected.push_back({"set_typed", point_var("Elevation", k), hostsim::kUnitsFeet});
    }
    expected.push_back({"get", "WZ_UpdateInterval", 0});
    for (size_t i = 0; i < expected.size(); ++i) {
        const Call& call = calls[first + i];
        SCOPED_TRACE("call " + std::to_string(i) + ": " + call.op + " " + call.name);
        EXPECT_EQ(call.op, expected[i].op);
        EXPECT_EQ(call.name, expected[i].name);
        EXPECT_EQ(call.units, expected[i].units);
        EXPECT_EQ(call.thread, calls[first].thread);
        if (call.op == "set_typed") {
            EXPECT_EQ(call.value, calls[first + i - 1].value);
        }
    }
    EXPECT_EQ(calls[first + 1].value, s.host.value("WZPointLon_0"));
    EXPECT_EQ(calls[first + 4].value, s.ground(0));
    s.close_cleanly();
}

// "WZ_Active" is compared with 0.0 as a float, and a pause skips the cycle;
// either way "WZ_Active" and the interval are still read every cycle, and a
// stop ends an idle worker too. The conditions run in order on one worker.
TEST(Sampling, ActiveAndPauseDecideWhetherACycleSamples) {
    struct Condition {
        const char* name;
        double active;
        int message;  // delivered first; 0 for none
        bool samples;
    };
    const Condition conditions[] = {
        {"active 0.5", 0.5, 0, true},
        {"active NaN", std::numeric_limits<double>::quiet_NaN(), 0, true},
        {"active -1", -1.0, 0, true},
        {"active 0", 0.0, 0, false},
        {"paused", 1.0, 56, false},
        {"resumed", 1.0, 57, true},
        {"active -0.0", -0.0, 0, false},
    };
    Sampler s;
    s.install("3");
    s.update();
    for (const Condition& c : conditions) {
        SCOPED_TRACE(c.name);
        if (c.message) s.host.deliver_message(static_cast<uint64_t>(c.message));
        s.host.set_value("WZ_Active", c.active);
        ASSERT_TRUE(s.settle());
        ASSERT_TRUE(s.await_cycles(2));
        std::vector<Call> calls = s.worker_calls();
        int cycles = Sampler::count(calls, "get", "WZ_UpdateInterval");
        EXPECT_GE(Sampler::count(calls, "get", "WZ_Active"), cycles - 1);
        EXPECT_EQ(Sampler::count(calls, "get_typed") > 0, c.samples);
        EXPECT_EQ(Sampler::count(calls, "QueryElevation") > 0, c.samples);
        EXPECT_EQ(Sampler::count(calls, "set_typed") > 0, c.samples);
    }
    s.stop();
    EXPECT_TRUE(s.workers_gone());
    s.close_cleanly();
}

// --- the interval ---

TEST(Sampling, IntervalBecomesTheWaitsTimeOut) {
    const double twoPow32 = 4294967296.0, belowTwoPow63 = 9223372036854774784.0;
    const struct {
        double interval;
        uint32_t timeout;
    } table[] = {
        {55.0, 55},
        {55.9, 55},
        {0.0, 0},
        {0.99, 0},
        {-0.5, 0},
        {-1.0, 0xFFFFFFFF},
        {-1.5, 0xFFFFFFFF},
        {-2.0, 0xFFFFFFFE},
        {twoPow32 - 1, 0xFFFFFFFF},
        {twoPow32, 0},
        {twoPow32 + 55, 55},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {1e300, 0},
        {-1e300, 0},
        {belowTwoPow63, 0xFFFFFC00},
        {-belowTwoPow63, 0x400},
        {9223372036854775808.0, 0},
        {-9223372036854775808.0, 0},
        {std::numeric_limits<double>::infinity(), 0},
    };
    for (const auto& row : table) EXPECT_EQ(interval_to_timeout(row.interval), row.timeout) << row.interval;
}

// 0 cycles again and again (back to back: its wait's time-out is 0), -1
// waits for the stop after one cycle, and so does an interval of days: a
// stop ends any wait, which the worker's end, long before the wait's, shows.
TEST(Sampling, IntervalPacesTheCyclesAndAStopEndsAnyWait) {
    const struct {
        double interval;
        int before, most;  // cycles awaited before the stop; cycles in all
    } table[] = {{0.0, 20, 1 << 30}, {-1.0, 1, 1}, {1e9, 1, 1}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.interval);
        Sampler s;
        s.install("3", 0.0);
        s.host.set_value("WZ_UpdateInterval", row.interval);
        s.update();
        ASSERT_TRUE(s.await_cycles(row.before));
        s.stop();
        EXPECT_TRUE(s.workers_gone());
        EXPECT_LE(s.cycles(), row.most);
        s.close_cleanly();
    }
}

// --- stopping and starting again ---

// After a stop the next update starts a worker on the same table. A stop
// with no worker running stays pending in the event: the next worker ends
// at its first wait, the one after it runs on.
TEST(Sampling, StoppedWorkersRestartAndAPendingStopEndsOneAfterOneCycle) {
    Sampler s;
    s.install("3");
    s.update();
    ASSERT_TRUE(s.await_cycles(1));
    s.stop();
    ASSERT_TRUE(s.workers_gone());
    s.stop();

    s.host.clear_calls();
    s.update();
    EXPECT_TRUE(s.await_cycles(1));
    EXPECT_TRUE(s.workers_gone());
    EXPECT_EQ(s.cycles(), 1);
    EXPECT_EQ(Sampler::count(s.worker_calls(), "QueryElevation"), 3);

    s.update();
    EXPECT_TRUE(s.await_cycles(4));
    EXPECT_EQ(thread_count(), s.threadsBefore + 1);
    EXPECT_EQ(Sampler::count(s.host.calls(), "register") + Sampler::count(s.host.calls(), "check"), 0);
    EXPECT_EQ(Sampler::count(s.host.calls(), "set", "WZ_PointCount"), 0);
    s.close_cleanly();
}

TEST(Sampling, WithoutSurfaceServiceTheWorkerEndsAtOnce) {
    Sampler s;
    s.host.refusals().surface = true;
    s.install("3");
    for (int i = 0; i < 3; ++i) {
        s.update();
        EXPECT_TRUE(s.workers_gone());
    }
    EXPECT_EQ(s.host.value("WZ_pSurface"), 0.0);
    EXPECT_EQ(s.host.value("WZ_PointCount"), 3.0);
    EXPECT_TRUE(s.worker_calls().empty());
    s.close_cleanly();
}

// --- the parameter string and the point table ---

// The count as atoi reads it, at least 1, saturating and at most 100000;
// the last builds the largest table.
TEST(Sampling, ParameterStringGivesThePointCount) {
    const struct {
        const char* parameters;
        int count;
    } table[] = {
        {"3", 3},
        {"", 1},
        {"0", 1},
        {"-5", 1},
        {"abc", 1},
        {"  7xyz", 7},
        {"12.9", 12},
        {"+4", 4},
        {"99999999999999999999", 100000},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(std::string("\"") + row.parameters + "\"");
        Sampler s;
        s.host.set_logging(row.count < 1000);
        s.install(row.parameters, 0.0);
        EXPECT_EQ(s.host.value("WZ_UpdateInterval"), 55.0);
        s.update();
        EXPECT_EQ(s.host.value("WZ_PointCount"), row.count);
        EXPECT_TRUE(s.host.has_var(point_var("Elevation", row.count - 1)));
        EXPECT_FALSE(s.host.has_var(point_var("Lat", row.count)));
        s.close_cleanly();
    }
}

// No parameter string: nothing is read, no table, no worker. An update
// with no initialise before it reads the string itself.
TEST(Sampling, ParameterStringIsReadWhenThereIsOne) {
    {
        Sampler s;
        s.host.set_value("WZ_UpdateInterval", 77.0);
        s.install(std::nullopt);
        s.update();
        EXPECT_EQ(s.host.value("WZ_UpdateInterval"), 77.0);
        EXPECT_EQ(s.host.value("WZ_PointCount"), 0.0);
        EXPECT_FALSE(s.host.has_var("WZPointLat_0"));
        EXPECT_EQ(thread_count(), s.threadsBefore);
        s.close_cleanly();
    }
    Sampler s;
    s.init();
    s.load_gauge("5");
    s.update();
    EXPECT_EQ(s.host.value("WZ_PointCount"), 5.0);
    EXPECT_EQ(s.host.value("WZ_UpdateInterval"), 55.0);
    EXPECT_TRUE(s.host.has_var("WZPointElevation_4"));
    s.close_cleanly();
}

TEST(Sampling, PointVariablesAreAttachedInPointAndFieldOrder) {
    for (int n : {1, 12}) {
        SCOPED_TRACE(n);
        Sampler s;
        s.install(std::to_string(n), 0.0);
        s.host.clear_calls();
        s.update();
        std::vector<std::string> expected, registered, attached;
        for (int k = 0; k < n; ++k)
            for (const char* field : {"Lat", "Lon", "Alt", "Elevation"}) expected.push_back(point_var(field, k));
        // Each variable's look-up and registration, in whichever order the
        // host's profile asks, come before the next variable's.
        for (const Call& call : s.host.calls()) {
            if (call.op == "register") registered.push_back(call.name);
            bool attaching = call.op == "register" || call.op == "check";
            if (attaching && (attached.empty() || attached.back() != call.name)) attached.push_back(call.name);
        }
        EXPECT_EQ(registered, expected);
        EXPECT_EQ(attached, expected);
        s.close_cleanly();
    }
}

// Another gauge made "wzpointlat_1" first, in its own case (id 0 on the
// published host), and two more: the module shares all three, and the
// worker reads and writes through their ids.
TEST(Sampling, PointVariablesOfOtherGaugesAreReusedWithTheirValues) {
    Sampler s;
    s.host.set_value_in("wzpointlat_1", 47.25, "degrees");
    s.host.set_value("WZPointLon_1", 0.25);
    s.host.set_value("WZPointElevation_2", 999.0);
    EXPECT_EQ(s.host.check_var("WZPointLat_1"), s.host.named_var_profile() == hostsim::NamedVarProfile::Published ? 0 : 1);
    s.install("3", 0.0);
    size_t varsBefore = s.host.var_count();
    s.update();
    EXPECT_EQ(s.host.var_count(), varsBefore + 9);
    EXPECT_EQ(s.host.value_in("WZPointLat_1", "degrees"), 47.25);
    EXPECT_EQ(s.host.value("WZPointLon_1"), 0.25);
    EXPECT_EQ(s.host.value("WZPointElevation_2"), 999.0);
    s.host.set_value("WZ_Active", 1.0);
    s.host.clear_calls();
    ASSERT_TRUE(s.await_cycles(2));
    EXPECT_GE(Sampler::count(s.worker_calls(), "get_typed", "wzpointlat_1"), 1);
    EXPECT_EQ(s.host.value("WZPointElevation_1"), s.ground(1));
    s.close_cleanly();
}

// --- faults the module guards against ---

TEST(Sampling, UpdatesInQuickSuccessionStartOneWorker) {
    Sampler s;
    s.install("3");
    for (int i = 0; i < 5; ++i) s.update();
    ASSERT_TRUE(s.await_cycles(3));
    std::set<std::thread::id> workers;
    for (const Call& call : s.worker_calls()) workers.insert(call.thread);
    EXPECT_EQ(workers.size(), 1u);
    EXPECT_EQ(thread_count(), s.threadsBefore + 1);
    s.close_cleanly();
}

// Deinit without a disconnect first: it asks the worker to stop after the
// host call in flight, not at the end of its cycle, and releases what the
// worker uses only once it has ended. The cycle has many slow queries, so
// the worker is still in it however late the test's thread gets to deinit.
TEST(Sampling, DeinitWaitsForTheHostCallInFlightOnly) {
    constexpr int kQueryMs = 300, kPoints = 100;
    Sampler s;
    s.host.set_surface_mode(SurfaceMode::Slow, kQueryMs);
    s.install(std::to_string(kPoints));
    s.update();
    ASSERT_TRUE(eventually([&] { return Sampler::count(s.worker_calls(), "get_typed", "WZPointLat_0") > 0; }));
    Clock::time_point start = Clock::now();
    s.module->deinit();
    long long deinitMs = ms_since(start);
    RecordProperty("deinit_ms", std::to_string(deinitMs));
    EXPECT_TRUE(s.workers_gone());
    std::vector<Call> calls = s.host.calls();
    size_t released = 0, lastWorkerCall = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].op == "Release" && calls[i].name == "SurfaceService") released = i;
        if (calls[i].thread != s.self) lastWorkerCall = i;
    }
    EXPECT_GT(released, lastWorkerCall);
    EXPECT_LT(Sampler::count(s.worker_calls(), "QueryElevation"), kPoints);
    EXPECT_EQ(Sampler::count(s.worker_calls(), "get", "WZ_UpdateInterval"), 0);
    s.close_cleanly();
}

// A worker stuck in a host call: deinit gives up after its bounded wait and
// hands the worker the table, the event and the surface service, and the
// host unloads the module. Once the call returns the worker, whose
// reference alone keeps the module mapped, gives the surface back, frees
// the rest and ends; its thread's exit unmaps it. Any other host call it
// made after deinit would be a fault of hostsim's record.
TEST(Sampling, DeinitHandsAHangingWorkerWhatItUses) {
    Sampler s;
    auto ground = std::make_shared<tp_test::HeldTerrain>();
    s.host.set_terrain(ground);
    s.install("3");
    s.place(2, {46.5, 7.5, 0.0});
    s.update();
    ASSERT_TRUE(eventually([&] { return ground->held(); }));
    Clock::time_point start = Clock::now();
    s.module->deinit();
    EXPECT_GE(ms_since(start), 4500);  // deinit's bounded wait ran out
    EXPECT_EQ(s.host.ledger().outstanding(), 1);
    EXPECT_NE(s.host.ledger().report().find("SurfaceService holds 1"), std::string::npos);
    s.vorn.reset();
    s.module.reset();

    s.host.clear_calls();
    ground->release();
    EXPECT_TRUE(s.workers_gone());
    std::vector<Call> late = s.worker_calls();
    EXPECT_EQ(Sampler::count(late, "QueryElevation"), 1);  // the call in flight, logged as it returns
    EXPECT_EQ(Sampler::count(late, "Release", "SurfaceService"), 1);
    tp_test::expect_no_faults(s.host);
    EXPECT_EQ(s.host.value("WZPointElevation_0"), 0.0);
    EXPECT_EQ(s.host.ledger().outstanding(), 0);
    s.close_cleanly();
}

// A host unloads the module while the worker is inside a host call that
// outlasts deinit's wait, without letting the call return first, and loads
// the same file again: the real loader hands back the still-mapped
// instance, globals as they were. The old worker's code stays mapped, it
// makes no host call after deinit but its surface Release (hostsim records
// any other as a fault, the new session open or not), the new session
// owns a table, event and surface of its own and samples again once the
// old call has returned, and every reference comes back.
TEST(Sampling, UnloadAndReloadWhileTheWorkerIsInsideAHostCall) {
    ModuleFile file("reload");
    Sampler s;
    s.module = file.load(s.host);
    std::shared_ptr<const hostsim::Terrain> relief = s.host.terrain();
    auto held = std::make_shared<tp_test::HeldTerrain>();
    s.host.set_terrain(held);
    s.install("3");
    s.update();
    ASSERT_TRUE(eventually([&] { return held->held(); }));
    s.vorn->unload();
    s.vorn.reset();
    s.module->deinit();
    size_t afterDeinit = s.host.calls().size();
    s.module.reset();

    s.module = file.load(s.host);
    s.module->init();
    EXPECT_EQ(s.host.value("WZ_pSurface"), 1.0);
    s.load_gauge("3");
    s.vorn->install();
    for (int k = 0; k < 3; ++k) s.place(k, {47.0 + k, 11.0, 0.0});
    s.update();
    s.host.set_terrain(relief);
    held->release();
    EXPECT_TRUE(eventually([&] {
        s.update();
        return s.host.value("WZPointElevation_2") == s.ground(2);
    }));

    // No new worker starts before the old one has ended, so the first
    // calls off the test's thread are the old worker's last.
    std::vector<std::string> late;
    std::vector<Call> calls = s.host.calls();
    for (size_t i = afterDeinit; i < calls.size(); ++i)
        if (calls[i].thread != s.self) late.push_back(calls[i].op + " " + calls[i].name);
    ASSERT_GE(late.size(), 2u);
    EXPECT_EQ(late[0], "QueryElevation SurfaceService");
    EXPECT_EQ(late[1], "Release SurfaceService");
    tp_test::expect_no_faults(s.host);
    s.close_cleanly();
}

// --- a reload of the instance still mapped ---

// An aircraft change with a host that keeps its add-on modules loaded: the
// first session ends with twelve points, the selection on the last and the
// simulation paused; the host's second handle keeps the instance mapped
// through the unload, so the next load gets it back, globals as they were.
// The new session must be what a fresh load gives: its own count, read
// by its first update before any initialise, a sample at once, point 0
// shown.
TEST(Sampling, AReloadOfTheSameInstanceStartsAFreshSession) {
    ModuleFile file("second-handle");
    Sampler s;
    s.module = file.load(s.host);
    hostsim::ModuleHold secondHandle(*s.module);
    const LinkageRecord* firstInstance = &s.module->linkage();
    s.install("12");
    s.update();
    auto display = std::make_unique<hostsim::Gauge>(*s.module, "display");
    display->install();
    for (int click = 0; click < 11; ++click) ASSERT_TRUE(display->click(200, 10));
    EXPECT_EQ(display->update_texts()[0].text, "ID=11");
    s.host.deliver_message(ids::kMessagePaused);
    ASSERT_TRUE(s.settle());
    ASSERT_TRUE(s.await_cycles(1));
    ASSERT_EQ(Sampler::count(s.worker_calls(), "QueryElevation"), 0);
    s.vorn->unload();
    display->unload();
    s.vorn.reset();
    display.reset();
    s.module->deinit();
    s.module.reset();

    s.module = file.load(s.host);
    ASSERT_EQ(&s.module->linkage(), firstInstance);
    s.module->init();
    for (int k = 0; k < 3; ++k) s.place(k, {46.0 + k, 7.5, 0.0});
    s.host.clear_calls();
    s.load_gauge("3");
    s.update();
    EXPECT_EQ(s.host.value("WZ_PointCount"), 3.0);
    ASSERT_TRUE(s.await_cycles(1));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s.host.value(point_var("Elevation", k)), s.ground(k)) << k;
    std::vector<Call> calls = s.worker_calls();
    EXPECT_EQ(Sampler::count(calls, "QueryElevation"), 3 * Sampler::count(calls, "get", "WZ_UpdateInterval"));
    display = std::make_unique<hostsim::Gauge>(*s.module, "display");
    display->install();
    std::vector<hostsim::TextView> texts = display->update_texts();
    EXPECT_EQ(texts[0].text, "ID=0");
    EXPECT_EQ(texts[1].text.rfind("Lat: 46.00;", 0), 0u) << texts[1].text;
    display->unload();
    display.reset();
    s.close_cleanly();
}

// A worker stuck in one of its panel reads outlasts deinit's wait; the
// host unloads the module and loads it again (the worker's own reference
// keeps the instance mapped), and the new session attaches its records
// before the old read returns. Returning, the old worker must keep its
// value out of the new session's records, which show what the new session
// read, and leave without another host call but its release of the
// surface service. The new session then samples as usual.
TEST(Sampling, AWorkerGivenUpInAPanelReadKeepsOutOfTheNextSession) {
    struct HungRead {
        const char* variable;
        const char* op;
        bool controlRecord;  // the module keeps what it reads in a record of ModuleState
    };
    const HungRead reads[] = {
        {"WZ_UpdateInterval", "get", true},
        {"WZ_Active", "get", true},
        {"WZPointAlt_1", "get_typed", false},
    };
    for (const HungRead& read : reads) {
        SCOPED_TRACE(read.variable);
        ModuleFile file("hung-read");
        Sampler s;
        s.module = file.load(s.host);
        const LinkageRecord* firstInstance = &s.module->linkage();
        s.install("3");
        s.update();
        ASSERT_TRUE(s.await_cycles(1));  // the table, whose build reads every point, is there
        s.host.set_read_mode(read.variable, hostsim::ReadMode::Hanging);
        ASSERT_TRUE(eventually([&] { return s.host.hanging_calls() == 1; }));
        s.vorn->unload();
        s.vorn.reset();
        s.module->deinit();
        EXPECT_NE(s.host.ledger().report().find("SurfaceService holds 1"), std::string::npos);
        size_t afterDeinit = s.host.calls().size();
        s.module.reset();

        s.host.set_read_mode(read.variable, hostsim::ReadMode::Normal);
        s.host.set_value(read.variable, 40.0);
        s.module = file.load(s.host);
        ASSERT_EQ(&s.module->linkage(), firstInstance);
        s.module->init();
        std::vector<double> attached = tp_test::record_values(*s.module, read.variable);
        EXPECT_EQ(attached, read.controlRecord ? std::vector<double>{40.0} : std::vector<double>{});
        s.host.set_value(read.variable, 777.0);
        s.host.release_hang();
        ASSERT_TRUE(s.workers_gone());
        EXPECT_EQ(tp_test::record_values(*s.module, read.variable), attached);
        std::vector<std::string> late;
        std::vector<Call> calls = s.host.calls();
        for (size_t i = afterDeinit; i < calls.size(); ++i)
            if (calls[i].thread != s.self) late.push_back(calls[i].op + " " + calls[i].name);
        EXPECT_EQ(late, (std::vector<std::string>{read.op + std::string(" ") + read.variable, "Release SurfaceService"}));
        tp_test::expect_no_faults(s.host);

        s.host.set_value("WZ_Active", 1.0);
        s.load_gauge("3");
        s.vorn->install();
        for (int k = 0; k < 3; ++k) s.place(k, {47.0 + k, 11.0, 0.0});
        EXPECT_TRUE(eventually([&] {
            s.update();
            return s.host.value("WZPointElevation_2") == s.ground(2);
        }));
        s.close_cleanly();
    }
}

// A later initialise may raise the count past the table: the table stays,
// only its own points are sampled, and the interval is back at 55.
TEST(Sampling, CountBeyondTheTableSamplesOnlyTheTable) {
    Sampler s;
    s.install("3");
    s.update();
    ASSERT_TRUE(s.await_cycles(1));
    s.host.set_value("WZ_UpdateInterval", 500.0);
    s.vorn->header().parameters = "5";
    s.vorn->send(kPreInitialise);
    EXPECT_EQ(s.host.value("WZ_UpdateInterval"), 55.0);
    ASSERT_TRUE(s.settle());
    ASSERT_TRUE(s.await_cycles(2));
    std::vector<Call> calls = s.worker_calls();
    std::set<std::string> table;
    for (int k = 0; k < 3; ++k)
        for (const char* field : {"Lat", "Lon", "Alt", "Elevation"}) table.insert(point_var(field, k));
    for (const Call& call : calls)
        if (call.op == "get_typed" || call.op == "set_typed") {
            EXPECT_EQ(table.count(call.name), 1u) << call.name;
        }
    EXPECT_EQ(Sampler::count(calls, "QueryElevation"), 3 * Sampler::count(calls, "get", "WZ_UpdateInterval"));
    EXPECT_FALSE(s.host.has_var("WZPointLat_3"));
    s.close_cleanly();
}

// A refused query must not publish what the result slot still holds from
// the point before.
TEST(Sampling, FailedQueryLeavesTheElevationAsItWas) {
    Sampler s;
    s.host.set_terrain(hostsim::flat_terrain(1234.0));
    s.install("3");
    s.update();
    ASSERT_TRUE(eventually([&] { return s.host.value("WZPointElevation_2") == 1234.0; }));
    s.host.set_surface_mode(SurfaceMode::Failing);
    ASSERT_TRUE(s.settle());
    for (int k = 0; k < 3; ++k) s.host.set_value(point_var("Elevation", k), -1.0 - k);
    ASSERT_TRUE(s.await_cycles(2));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s.host.value(point_var("Elevation", k)), -1.0 - k);
    EXPECT_GE(Sampler::count(s.worker_calls(), "QueryElevation"), 3);
    EXPECT_EQ(Sampler::count(s.worker_calls(), "set_typed"), 0);
    s.close_cleanly();
}

// --- the whole road ---

TEST(Sampling, ElevationsFollowTheTerrainAsPointsMove) {
    Sampler s;
    s.install("3");
    s.update();
    const Position routes[2][3] = {
        {{47.0, 8.0, 5000.0}, {47.02, 8.03, 6000.0}, {46.5, 7.9, 0.0}},
        {{47.05, 8.05, 5000.0}, {46.98, 8.01, 6000.0}, {46.53, 7.95, 0.0}},
    };
    double before[3] = {};
    for (const auto& route : routes) {
        for (int k = 0; k < 3; ++k) s.place(k, route[k]);
        EXPECT_TRUE(eventually(
            [&] {
                for (int k = 0; k < 3; ++k)
                    if (s.host.value(point_var("Elevation", k)) != s.ground(k)) return false;
                return true;
            },
            2000));
        for (int k = 0; k < 3; ++k) {
            EXPECT_NE(s.ground(k), before[k]);
            before[k] = s.ground(k);
        }
    }
    s.close_cleanly();
}

TEST(Sampling, LoadSampleUnloadOverAndOver) {
#if defined(_WIN32)
    constexpr int kRounds = 100;
#else
    constexpr int kRounds = 400;
#endif
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        Sampler s;
        s.install("3");
        s.update();
        ASSERT_TRUE(eventually([&] { return Sampler::count(s.worker_calls(), "set_typed") > 0; }));
        s.close_cleanly();
        if (HasFailure()) break;
    }
}

}  // namespace
