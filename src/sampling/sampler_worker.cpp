// The sampling worker's loop. It allocates nothing and takes no lock; it
// shares ModuleState with the gauge thread through relaxed atomics, and the
// table it reads was complete before the thread was started.
#include "sampling/sampler_worker.h"

#include "host/panel_calls.h"
#include "module/module_state.h"
#include "sampling/interval.h"
#include "sampling/point_table.h"

namespace {

// One point: position in, elevation out. A refused query leaves the
// point's elevation as it was rather than publish whatever the slot held.
void sample_point(P3D::ISurfaceService* surface, const TerrainPoint& point, float& slot) {
    P3D::GeoPosition position;
    position.longitude = panel::get_typed(point.lon.id, g_module.unitsRadians);
    position.altitude = panel::get_typed(point.alt.id, g_module.unitsFeet);
    position.latitude = panel::get_typed(point.lat.id, g_module.unitsRadians);
    if (surface->QueryElevation(&slot, &position) < 0) return;
    panel::set_typed(point.elevation.id, static_cast<double>(slot), g_module.unitsFeet);
}

bool sampling_enabled() {
    NamedVar& active = g_module.controls.active;
    active.value = panel::get(active.id);
    return active.value != 0.0 && load(g_module.PauseFlag) == 0;
}

void run_cycle(P3D::ISurfaceService* surface, float& slot) {
    if (!surface || !sampling_enabled()) return;
    const TerrainPoint* points = load(g_module.points);
    for (int32_t k = 0; k < usable_points(points); ++k) sample_point(surface, points[k], slot);
}

uint32_t next_timeout() {
    NamedVar& interval = g_module.controls.updateInterval;
    interval.value = panel::get(interval.id);
    return interval_to_timeout(interval.value);
}

unsigned finish(unsigned exitCode) {
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
    store(g_module.workerRunning, 1);
    P3D::ISurfaceService* surface = load(g_module.surface);
    if (!surface) return finish(kWorkerFailed);
    for (;;) {
        run_cycle(surface, slot);
        uint32_t result = os::wait_event(load(g_module.quitEvent), next_timeout());
        if (result == os::kWaitSignalled) return finish(kWorkerStopped);
        if (result == os::kWaitFailed) return finish(kWorkerFailed);
        surface = load(g_module.surface);
    }
}

void start_worker() {
    if (g_module.workerRunning.exchange(1, std::memory_order_relaxed) != 0) return;
    if (g_module.workerThread) os::close_handle(g_module.workerThread);
    g_module.workerThread = os::start_thread(sampler_worker_main, nullptr);
    if (!g_module.workerThread) store(g_module.workerRunning, 0);
}

bool stop_worker(uint32_t timeoutMs) {
    os::Handle thread = g_module.workerThread;
    if (!thread) return load(g_module.workerRunning) == 0;
    if (load(g_module.workerRunning)) os::signal_event(load(g_module.quitEvent));
    if (os::wait_thread(thread, timeoutMs) != os::kWaitSignalled) return false;
    os::close_handle(thread);
    g_module.workerThread = nullptr;
    return true;
}

void abandon_worker() {
    if (!g_module.workerThread) return;
    os::close_handle(g_module.workerThread);
    g_module.workerThread = nullptr;
}
