// The fault-injection matrix: every refusal the simulated host can answer
// with and the OS faults that can be brought about from outside the module,
// each in a full run (init, both gauges installed, frames, sampling, pause
// messages, unload, deinit). Each row must end without a crash or a hang
// (deinit gives a hung worker 5 s), with every host reference
// back, no thread left and no fault in hostsim's record, and with the
// control variables telling the truth. The matrix is printed as a table;
// faults that cannot be injected in this build say so in it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "process_stats.h"
#include "test_support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// An allocation the address-space limit refuses must come back null, as it
// does from the plain C library, rather than end the process.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
extern "C" const char* __tsan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

using namespace std::chrono;
using tp_test::eventually;

constexpr double kGround = 1234.0;
constexpr int kHungDeinitMinMs = 4000;    // deinit gives a hung worker 5 s
constexpr int kRowBoundSeconds = 60;      // a forked row that runs longer hangs
constexpr int kFramesWithoutWorker = 5;   // frames a row that starts no worker runs

// What a row must show. Every row must also end with no reference held
// after unload, no thread left and no trapped entry called.
struct Expect {
    double pdk = 1.0;
    double surface = 1.0;
    bool subscribed = true;
    bool samples = true;       // point 0's elevation becomes the ground's
    bool cycles = true;        // a worker completes sampling cycles
    double pointCount = 3.0;   // "WZ_PointCount" after the frames
    bool hangs = false;        // the worker is stuck in the surface service
};

// What a row showed. Plain data, so a forked row can send it whole.
struct Observed {
    bool ran = false;
    bool injected = false;  // the fault was seen to take effect
    double pdk = -1, surface = -1, pointCount = -1, pausedOn56 = -1;
    int subscribers = -1;
    bool sampled = false;
    int cycles = -1;
    bool textsFit = false;
    long deinitMs = -1;
    int refsAfterDeinit = -1;
    int refsAfterUnload = -1;
    int overReleases = -1;
    int threadsLeft = -1;
    int traps = -1;
    char faults[512] = "not seen";  // hostsim's fault record, cut short to fit
};

// How the fault is brought about.
enum class Injection { Host, Mutex, ThreadStart, TableAllocation };

struct Fault {
    std::string name;
    Injection injection;
    std::function<void(hostsim::Host&)> inject;  // before the module is loaded
    Expect expect;
    const char* parameters = "3";
};

std::vector<Fault> faults() {
    std::vector<Fault> rows;
    auto host_fault = [&rows](std::string name, std::function<void(hostsim::Host&)> inject, Expect expect) {
        rows.push_back({std::move(name), Injection::Host, std::move(inject), expect});
    };
    host_fault("none", [](hostsim::Host&) {}, {});
    host_fault("root, preferred id refused", [](hostsim::Host& h) { h.refusals().rootPreferred = true; }, {});
    host_fault("root, fallback id refused", [](hostsim::Host& h) { h.refusals().rootFallback = true; }, {});
    host_fault("root, both ids refused",
               [](hostsim::Host& h) { h.refusals().rootPreferred = h.refusals().rootFallback = true; },
               {0.0, 0.0, false, false, false});
    for (int field = 0; field < ids::kServiceCount; ++field) {
        Expect expect;
        expect.subscribed = field != 0;  // field 1 is the event service
        host_fault("service " + std::to_string(field + 1) + (field == 0 ? " (event service)" : "") + " refused",
                   [field](hostsim::Host& h) { h.refusals().services[static_cast<size_t>(field)] = true; }, expect);
    }
    host_fault("surface service refused", [](hostsim::Host& h) { h.refusals().surface = true; },
               {1.0, 0.0, false, false, false});
    host_fault("subscription refused", [](hostsim::Host& h) { h.refusals().subscription = true; },
               {1.0, 1.0, false, true});
    host_fault("elevation query failing", [](hostsim::Host& h) { h.set_surface_mode(hostsim::SurfaceMode::Failing); },
               {1.0, 1.0, true, false});
    host_fault("elevation query hanging", [](hostsim::Host& h) { h.set_terrain(std::make_shared<tp_test::HeldTerrain>()); },
               {1.0, 1.0, true, false, false, 3.0, true});
    rows.push_back({"event creation failing", Injection::Mutex, nullptr, {}});
    rows.push_back({"thread start failing", Injection::ThreadStart, nullptr, {1.0, 1.0, true, false, false}});
    rows.push_back({"table allocation failing", Injection::TableAllocation, nullptr,
                    {1.0, 1.0, true, false, false, 0.0}, "100000"});
    return rows;
}

// Why a fault cannot be brought about in this build; "" when it can.
std::string not_injectable(Injection injection) {
#if defined(_WIN32)
    if (injection == Injection::ThreadStart || injection == Injection::TableAllocation)
        return "no per-process address-space limit on Windows";
#else
    if (injection == Injection::Mutex) return "no kernel object namespace in the native build";
#endif
    return "";
}

#if defined(_WIN32)
// Another object of the event's name makes CreateEventA fail, as it would
// if another program of the session held a mutex called "QuitEvent".
struct NameTaken {
    NameTaken() : mutex(CreateMutexA(nullptr, FALSE, "QuitEvent")) {}
    ~NameTaken() { CloseHandle(mutex); }
    HANDLE mutex;
};
#else
// Caps the address space a little above what the process maps now, so
// the large mappings fail (a thread's stack, a table of 100000 points)
// while small allocations still come from memory already mapped.
void limit_address_space(size_t headroom) {
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + headroom;
    rlimit cap{limit, limit};
    setrlimit(RLIMIT_AS, &cap);
}

// New threads ask for a stack larger than any the C library keeps for
// reuse, so a start needs a fresh mapping that the limit refuses.
void ask_for_large_stacks() {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256u << 20);
    pthread_setattr_default_np(&attributes);
    pthread_attr_destroy(&attributes);
}
#endif

// Applies an OS fault once the module is loaded and initialised, before
// the first frame, and tells whether it took effect: the same request the
// module makes fails when the test makes it.
bool inject_os_fault(Injection injection) {
#if defined(_WIN32)
    if (injection != Injection::Mutex) return true;
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, "QuitEvent");
    if (event) CloseHandle(event);
    return event == nullptr;
#else
    if (injection == Injection::ThreadStart) {
        ask_for_large_stacks();
        limit_address_space(64u << 20);
        pthread_t thread;
        bool started = pthread_create(&thread, nullptr, [](void*) -> void* { return nullptr; }, nullptr) == 0;
        if (started) pthread_join(thread, nullptr);
        return !started;
    }
    if (injection == Injection::TableAllocation) {
        limit_address_space(64u << 20);
        void* table = std::malloc(8 + 1088 * size_t{100000});
        std::free(table);
        return table == nullptr;
    }
    return true;
#endif
}

// Cycles the workers completed: each ends with a read of the interval
// from the worker's own thread.
int worker_cycles(const hostsim::Host& host) {
    int cycles = 0;
    for (const hostsim::Call& call : host.calls())
        if (call.op == "get" && call.name == "WZ_UpdateInterval" && call.thread != std::this_thread::get_id()) ++cycles;
    return cycles;
}

// One full run, as a host runs a session.
Observed run_session(const Fault& fault) {
    Observed seen;
    int threadsBefore = tp_test::thread_baseline();
    hostsim::Host host;
    host.set_terrain(hostsim::flat_terrain(kGround));
    if (fault.inject) fault.inject(host);
    auto held = std::dynamic_pointer_cast<const tp_test::HeldTerrain>(host.terrain());
#if defined(_WIN32)
    std::unique_ptr<NameTaken> nameTaken;
    if (fault.injection == Injection::Mutex) nameTaken = std::make_unique<NameTaken>();
#endif
    auto module = std::make_unique<hostsim::Module>(host, hostsim::default_module_path());
    module->init();
    seen.pdk = host.value("WZ_PDK");
    seen.surface = host.value("WZ_pSurface");
    seen.subscribers = static_cast<int>(host.subscriber_count());
    {
        hostsim::Gauge vorn(*module, "vorn", std::string(fault.parameters));
        hostsim::Gauge display(*module, "display");
        vorn.install();
        display.install();
        host.set_value("WZ_Active", 1.0);
        host.set_value("WZ_UpdateInterval", 5.0);
        seen.injected = inject_os_fault(fault.injection);
        // Frames as a host draws them, until the run has got as far as the
        // row lets it, however slowly: a worker's first cycle has ended, a
        // hanging worker is inside its query, or (no worker expected) a few
        // frames have passed.
        int frames = 0;
        seen.textsFit = true;
        auto frame = [&] {
            vorn.frame();
            display.frame();
            for (const hostsim::TextView& text : display.update_texts())
                seen.textsFit = seen.textsFit && text.text.size() < text.element->maxLength;
            std::this_thread::sleep_for(milliseconds(10));
            ++frames;
            if (fault.expect.cycles) return worker_cycles(host) > 0;
            if (fault.expect.hangs) return held && held->held();
            return frames >= kFramesWithoutWorker;
        };
        eventually(frame);
        seen.sampled = host.value("WZPointElevation_0") == kGround;
        seen.pointCount = host.value("WZ_PointCount");
        host.deliver_message(ids::kMessagePaused);
        seen.pausedOn56 = host.value("FSSimIsPaused");
        host.deliver_message(ids::kMessageResumed);
        vorn.unload();
        display.unload();
    }
    auto started = steady_clock::now();
    module->deinit();
    seen.deinitMs = static_cast<long>(duration_cast<milliseconds>(steady_clock::now() - started).count());
    seen.refsAfterDeinit = host.ledger().outstanding();
    seen.cycles = worker_cycles(host);
    // A worker stuck in the host may end once the host lets it go.
    if (held) held->release();
    eventually([&] { return tp_test::thread_count() <= threadsBefore; });
    module.reset();
    seen.refsAfterUnload = host.ledger().outstanding();
    seen.overReleases = host.ledger().over_releases();
    seen.threadsLeft = tp_test::thread_count() - threadsBefore;
    seen.traps = static_cast<int>(host.traps().size());
    std::snprintf(seen.faults, sizeof seen.faults, "%s", tp_test::fault_report(host).c_str());
    seen.ran = true;
    return seen;
}

#if defined(_WIN32)
Observed run_row(const Fault& fault) { return run_session(fault); }
#else
// A row that limits the address space runs in a child process, which
// sends back what it saw; a child that outlives the bound is a hang.
Observed run_forked(const Fault& fault) {
    int channel[2];
    if (pipe(channel) != 0) return {};
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        Observed seen = run_session(fault);
        ssize_t sent = write(channel[1], &seen, sizeof seen);
        _exit(sent == static_cast<ssize_t>(sizeof seen) ? 0 : 1);
    }
    close(channel[1]);
    Observed seen;
    pollfd ready{channel[0], POLLIN, 0};
    if (poll(&ready, 1, kRowBoundSeconds * 1000) == 1 && read(channel[0], &seen, sizeof seen) != sizeof seen)
        seen = Observed{};
    close(channel[0]);
    int status = 0;
    if (!seen.ran) kill(child, SIGKILL);
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) seen.ran = false;
    return seen;
}

Observed run_row(const Fault& fault) {
    bool limitsMemory = fault.injection == Injection::ThreadStart || fault.injection == Injection::TableAllocation;
    return limitsMemory ? run_forked(fault) : run_session(fault);
}
#endif

// The ways a row can fail, "" when it holds.
std::string check_row(const Fault& fault, const Observed& seen) {
    const Expect& want = fault.expect;
    std::vector<std::string> wrong;
    auto require = [&wrong](bool holds, const char* what) {
        if (!holds) wrong.push_back(what);
    };
    if (!seen.ran) return "crashed or hung";
    require(seen.injected, "fault not injected");
    require(seen.pdk == want.pdk, "WZ_PDK");
    require(seen.surface == want.surface, "WZ_pSurface");
    require(seen.pointCount == want.pointCount, "WZ_PointCount");
    require((seen.subscribers == 1) == want.subscribed, "subscription");
    require(seen.pausedOn56 == (want.subscribed ? 1.0 : 0.0), "FSSimIsPaused");
    require(seen.sampled == want.samples, "sampling");
    require((seen.cycles > 0) == want.cycles, "worker cycles");
    require(seen.textsFit, "texts");
    // Deinit waited out its bound for a hung worker, and gave up on it; a
    // worker that stops was waited for, not given up on. How long deinit
    // took otherwise is the machine's speed, shown in the table only.
    if (want.hangs) {
        require(seen.deinitMs >= kHungDeinitMinMs, "deinit time");
        require(seen.refsAfterDeinit == 1, "surface kept for the hung worker");
    } else {
        require(seen.refsAfterDeinit == 0, "references after deinit");
    }
    require(seen.refsAfterUnload == 0 && seen.overReleases == 0, "reference ledger");
    require(seen.threadsLeft <= 0, "threads left");
    require(seen.traps == 0, "trapped entries");
    if (seen.faults[0]) wrong.push_back(std::string("hostsim faults: ") + seen.faults);
    std::string joined;
    for (const std::string& what : wrong) joined += (joined.empty() ? "" : ", ") + what;
    return joined;
}

std::string yes_no(bool value) { return value ? "yes" : "no"; }

std::string table_line(const Fault& fault, const Observed& seen, const std::string& verdict) {
    char line[256];
    std::snprintf(line, sizeof line, "%-34s %4.0f %5.0f %6.0f %4s %6d %6s %5.0f %7ld %5d %5d %4d  %s",
                  fault.name.c_str(), seen.pdk, seen.surface, seen.pointCount, yes_no(seen.subscribers == 1).c_str(),
                  seen.cycles, yes_no(seen.sampled).c_str(), seen.pausedOn56, seen.deinitMs, seen.refsAfterDeinit,
                  seen.refsAfterUnload, seen.threadsLeft, verdict.c_str());
    return line;
}

TEST(FaultMatrix, EveryFaultEndsCleanAndTheControlsTellTheTruth) {
    std::ostringstream table;
    table << "\nfault                               PDK pSurf points sub. cycles sample paused deinit  refs  refs thr.  result\n"
          << "                                                                   on 56   (ms) deinit unload left\n";
    for (const Fault& fault : faults()) {
        std::string reason = not_injectable(fault.injection);
        if (!reason.empty()) {
            char line[256];
            std::snprintf(line, sizeof line, "%-34s %s", fault.name.c_str(), ("not injectable here: " + reason).c_str());
            table << line << "\n";
            continue;
        }
        Observed seen = run_row(fault);
        std::string wrong = check_row(fault, seen);
        EXPECT_EQ(wrong, "") << fault.name;
        table << table_line(fault, seen, wrong.empty() ? "ok" : "FAILED: " + wrong) << "\n";
    }
    std::printf("%s\n", table.str().c_str());
}

}  // namespace
