// Module init and deinit: what the host calls through Linkage to start the
// module and to take it down again, and the last-chance release at unload.
#include "module/module_init.h"

#include "host/guids.h"
#include "host/panel_calls.h"
#include "module/module_state.h"
#include "module/service_set.h"
#include "sampling/pause_callback.h"
#include "sampling/point_table.h"
#include "sampling/sampler_worker.h"

ModuleState g_module;

namespace {

// How long deinit waits for the worker to end (it ends after the host call
// in flight) before it gives up on it.
constexpr uint32_t kWorkerStopTimeoutMs = 5000;

void attach_controls() {
    ControlVars& c = g_module.controls;
    attach(c.paused, "FSSimIsPaused");
    attach(c.active, "WZ_Active");
    attach(c.updateInterval, "WZ_UpdateInterval");
    attach(c.pointCount, "WZ_PointCount");
    attach(c.surface, "WZ_pSurface");
    attach(c.pdk, "WZ_PDK");
}

bool acquire_pdk() {
    void* root = nullptr;
    P3D::Status status = panel::get_pdk(ids::kPdkRootPreferred, &root);
    if (status < 0) status = panel::get_pdk(ids::kPdkRootFallback, &root);
    g_module.pdk = status < 0 ? nullptr : static_cast<P3D::IPdkRoot*>(root);
    return g_module.pdk != nullptr;
}

bool acquire_surface() {
    void* surface = nullptr;
    P3D::Status status = g_module.pdk->QueryService(ids::kSurfaceService, ids::kSurfaceInterface, &surface);
    if (status < 0) return false;
    store(g_module.surface, static_cast<P3D::ISurfaceService*>(surface));
    return surface != nullptr;
}

void release_surface() {
    P3D::ISurfaceService* surface = g_module.surface.exchange(nullptr, std::memory_order_relaxed);
    if (surface) surface->Release();
}

// Without deinit the host still expects the surface service back when the
// module is unloaded, and the table, the event and the thread handle go
// too. A worker keeps the module mapped while it runs, so this runs with a
// worker still there only when the process ends under it: then nothing is
// taken from it.
struct UnloadRelease {
    ~UnloadRelease() {
        if (load(g_module.workerRunning)) return;
        release_surface();
        free_point_table();
        os::close_at_unload(load(g_module.quitEvent));
        os::close_at_unload(g_module.workerThread);
    }
} g_unloadRelease;

// A host that still holds the module (a second handle, a worker that deinit
// gave up on) gets the same instance back when it loads it again, with the
// globals as the last session left them. So every session starts from what
// a fresh load gives: the gauges' state goes back to zero here, deinit has
// already released and cleared every object the module held, init itself
// sets the radians and feet ids and attaches the control records afresh,
// and the worker's fields follow begin_worker_session.
void begin_session() {
    store(g_module.pointCount, 0);
    g_module.SelectedPoint = 0;
    store(g_module.PauseFlag, 0);
    g_module.unitsDegrees = 0;
    begin_worker_session();
}

}  // namespace

void module_init() {
    begin_session();
    attach_controls();
    g_module.unitsRadians = panel::units_id("radians");
    g_module.unitsFeet = panel::units_id("feet");
    bool haveRoot = acquire_pdk();
    panel::set(g_module.controls.pdk.id, haveRoot ? 1.0 : 0.0);
    if (!haveRoot) return;
    g_module.services = build_service_set(g_module.pdk);
    bool haveSurface = acquire_surface();
    panel::set(g_module.controls.surface.id, haveSurface ? 1.0 : 0.0);
    if (haveSurface) start_pause_tracking();
}

// A worker that deinit gave up on has been handed the table, the event and
// the surface service (stop_worker), so the steps below find their fields
// clear and leave them to it.
void module_deinit() {
    stop_worker(kWorkerStopTimeoutMs);
    stop_pause_tracking();
    release_surface();
    if (g_module.pdk) g_module.pdk->Release();
    g_module.pdk = nullptr;
    if (g_module.services) destroy_service_set(g_module.services);
    g_module.services = nullptr;
    if (os::Handle event = load(g_module.quitEvent)) os::close_handle(event);
    store(g_module.quitEvent, static_cast<os::Handle>(nullptr));
    free_point_table();
}
