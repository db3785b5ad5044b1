// ModuleState: the one module-wide state every part of the module shares.
// Fields touched by more than one thread (the host's gauge thread, the
// sampling worker, the thread that delivers messages) are atomics with
// relaxed access: whole-word loads and stores, no ordering beyond what the
// thread start and the stop event give.
#pragma once

#include <atomic>

#include "host/pdk.h"
#include "platform/os.h"
#include "sampling/named_var.h"

struct TerrainPoint;
struct ServiceSet;
class MessageHandlerCallback;

struct ControlVars {
    NamedVar paused;          // "FSSimIsPaused"
    NamedVar active;          // "WZ_Active"
    NamedVar updateInterval;  // "WZ_UpdateInterval"
    NamedVar pointCount;      // "WZ_PointCount"
    NamedVar surface;         // "WZ_pSurface"
    NamedVar pdk;             // "WZ_PDK"
};

// Whose a worker's resources are. A worker that deinit stopped in time
// leaves them to deinit; one that deinit gave up on (stuck in a host call)
// is handed them and frees them itself when the call returns. The worker's
// end and deinit's giving up race for the word, so exactly one side wins.
enum WorkerOwner : int32_t { kNoWorker = 0, kWorkerSampling = 1, kWorkerEnded = 2, kWorkerAbandoned = 3 };

// What deinit hands to a worker it gave up on: no longer the module's, so
// that a reload starts a clean session while the old worker still runs.
struct Leftovers {
    TerrainPoint* points = nullptr;
    os::Handle quitEvent = nullptr;
    P3D::ISurfaceService* surface = nullptr;
};

struct ModuleState {
    std::atomic<int32_t> pointCount{0};
    std::atomic<TerrainPoint*> points{nullptr};
    int32_t SelectedPoint = 0;
    std::atomic<int32_t> workerRunning{0};
    std::atomic<int32_t> PauseFlag{0};
    std::atomic<os::Handle> quitEvent{nullptr};
    os::Handle workerThread = nullptr;  // kept until that worker has ended
    std::atomic<int32_t> stopRequested{0};  // deinit's: end after the host call in flight
    std::atomic<int32_t> workerOwner{kNoWorker};
    Leftovers leftovers;  // the abandoned worker's, once workerOwner says so
    P3D::IPdkRoot* pdk = nullptr;
    ServiceSet* services = nullptr;
    std::atomic<P3D::ISurfaceService*> surface{nullptr};
    MessageHandlerCallback* pauseCallback = nullptr;
    int32_t unitsRadians = 0;
    int32_t unitsFeet = 0;
    int32_t unitsDegrees = 0;
    ControlVars controls;
};

extern ModuleState g_module;

// Relaxed access, the plain whole-word load and store of x64.
template <typename T>
T load(const std::atomic<T>& field) {
    return field.load(std::memory_order_relaxed);
}
template <typename T>
void store(std::atomic<T>& field, T value) {
    field.store(value, std::memory_order_relaxed);
}
