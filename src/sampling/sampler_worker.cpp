// The sampling worker's loop. It allocates nothing and takes no lock; it
// shares ModuleState with the gauge thread through relaxed atomics, and the
// table it reads was complete before the thread was started.
//
// Stopping: the disconnect signals the stop event, which the worker sees
// only in its wait, so the cycle under way ends first. Deinit cannot wait
// for a cycle that may take seconds, so it also raises stopRequested, which
// the worker tests after every host call: deinit then waits for one call
// at most. If even that call does not return in time, deinit leaves the
// worker what it still uses (workerOwner, Leftovers).
#include "sampling/sampler_worker.h"

#include "host/panel_calls.h"
#include "module/module_state.h"
#include "sampling/interval.h"
#include "sampling/point_table.h"

namespace {

bool stop_requested() { return load(g_module.stopRequested) != 0; }

// One point: position in, elevation out, testing for a stop after every
// host call. A refused query leaves the point's elevation as it was rather
// than publish whatever the slot held. False when a stop was requested.
bool sample_point(P3D::ISurfaceService* surface, const PointIds& point, float& slot) {
    P3D::GeoPosition position;
    position.longitude = panel::get_typed(point.lon, g_module.unitsRadians);
    if (stop_requested()) return false;
    position.altitude = panel::get_typed(point.alt, g_module.unitsFeet);
    if (stop_requested()) return false;
    position.latitude = panel::get_typed(point.lat, g_module.unitsRadians);
    if (stop_requested()) return false;
    bool answered = surface->QueryElevation(&slot, &position) >= 0;
    if (stop_requested()) return false;
    if (answered) panel::set_typed(point.elevation, static_cast<double>(slot), g_module.unitsFeet);
    return !stop_requested();
}

// Reads a control into its record unless a stop was requested meanwhile:
// the records belong to the session, and a worker that deinit gave up on
// must not write into the ones a reload's init is filling in.
bool read_control(NamedVar& control) {
    double value = panel::get(control.id);
    if (stop_requested()) return false;
    control.value = value;
    return true;
}

// False when a stop was requested during the cycle.
bool run_cycle(P3D::ISurfaceService* surface, float& slot) {
    if (!surface) return true;
    NamedVar& active = g_module.controls.active;
    if (!read_control(active)) return false;
    if (active.value == 0.0 || load(g_module.PauseFlag) != 0) return true;
    const TerrainPoint* points = load(g_module.points);
    const PointIds* ids = point_ids(points);
    for (int32_t k = 0; k < usable_points(points); ++k)
        if (!sample_point(surface, ids[k], slot)) return false;
    return true;
}

// What deinit left to this worker: the host's surface reference goes back
// (a Release after deinit is allowed), the rest is freed and closed.
void release_leftovers() {
    Leftovers& left = g_module.leftovers;
    if (left.surface) left.surface->Release();
    free_table(left.points);
    if (left.quitEvent) os::close_handle(left.quitEvent);
    left = Leftovers{};
}

// The worker's last touch of ModuleState: lowering workerRunning lets the
// next update start another worker, so everything else comes first.
unsigned finish(unsigned exitCode) {
    if (g_module.workerOwner.exchange(kWorkerEnded, std::memory_order_acq_rel) == kWorkerAbandoned)
        release_leftovers();
    store(g_module.workerRunning, 0);
    return exitCode;
}

}  // namespace

unsigned
#if defined(_WIN32)
    __stdcall
#endif
    sampler_worker_main(void*) {
    float slot = 0.0f;
    P3D::ISurfaceService* surface = load(g_module.surface);
    if (!surface) return finish(kWorkerFailed);
    for (;;) {
        if (!run_cycle(surface, slot)) return finish(kWorkerStopped);
        NamedVar& interval = g_module.controls.updateInterval;
        if (!read_control(interval)) return finish(kWorkerStopped);
        uint32_t result = os::wait_event(load(g_module.quitEvent), interval_to_timeout(interval.value));
        if (result == os::kWaitSignalled || stop_requested()) return finish(kWorkerStopped);
        if (result == os::kWaitFailed) return finish(kWorkerFailed);
        surface = load(g_module.surface);
    }
}

void reap_worker() {
    os::Handle thread = g_module.workerThread;
    if (!thread || os::wait_thread(thread, 0) != os::kWaitSignalled) return;
    os::close_handle(thread);
    g_module.workerThread = nullptr;
}

void begin_worker_session() {
    reap_worker();
    if (g_module.workerThread) return;
    store(g_module.workerRunning, 0);
    store(g_module.stopRequested, 0);
    store(g_module.workerOwner, static_cast<int32_t>(kNoWorker));
}

void start_worker() {
    if (g_module.workerRunning.exchange(1, std::memory_order_relaxed) != 0) return;
    // A worker that has just lowered workerRunning may still be on its way
    // out of its thread; the next update starts the new one.
    reap_worker();
    if (g_module.workerThread) {
        store(g_module.workerRunning, 0);
        return;
    }
    store(g_module.stopRequested, 0);
    store(g_module.workerOwner, static_cast<int32_t>(kWorkerSampling));
    g_module.workerThread = os::start_thread(sampler_worker_main, nullptr);
    if (g_module.workerThread) return;
    store(g_module.workerOwner, static_cast<int32_t>(kNoWorker));
    store(g_module.workerRunning, 0);
}

namespace {

// Hands the worker what it uses, unless it ended meanwhile. The Leftovers
// are filled before the exchange that publishes them.
bool abandon_worker() {
    g_module.leftovers = {load(g_module.points), load(g_module.quitEvent), load(g_module.surface)};
    int32_t sampling = kWorkerSampling;
    if (!g_module.workerOwner.compare_exchange_strong(sampling, kWorkerAbandoned, std::memory_order_acq_rel)) {
        g_module.leftovers = Leftovers{};
        return false;
    }
    store(g_module.points, static_cast<TerrainPoint*>(nullptr));
    store(g_module.quitEvent, static_cast<os::Handle>(nullptr));
    store(g_module.surface, static_cast<P3D::ISurfaceService*>(nullptr));
    return true;
}

}  // namespace

bool stop_worker(uint32_t timeoutMs) {
    // A worker that has ended is on its way out of its thread, with no host
    // call left to make: once it is out, a reload of this instance starts
    // its worker at its first update, as a fresh load does.
    if (load(g_module.workerOwner) == kWorkerEnded) {
        if (g_module.workerThread) os::wait_thread(g_module.workerThread, timeoutMs);
        reap_worker();
        return true;
    }
    // An earlier session's abandoned worker owns nothing of this one.
    if (load(g_module.workerOwner) != kWorkerSampling) {
        reap_worker();
        return true;
    }
    store(g_module.stopRequested, 1);
    os::signal_event(load(g_module.quitEvent));
    if (os::wait_thread(g_module.workerThread, timeoutMs) == os::kWaitSignalled || !abandon_worker()) {
        reap_worker();
        return true;
    }
    return false;
}
