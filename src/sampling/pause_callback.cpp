// Pause tracking: the message callback and its subscription.
#include "sampling/pause_callback.h"

#include <new>

#include "host/guids.h"
#include "host/panel_calls.h"
#include "module/module_state.h"
#include "module/service_set.h"

P3D::Status MessageHandlerCallback::QueryInterface(const P3D::Guid& iid, void** object) {
    if (!object) return P3D::kPointer;
    *object = nullptr;
    if (iid != ids::kCallbackV400 && iid != ids::kIUnknown) return P3D::kNoInterface;
    *object = static_cast<P3D::ICallbackV400*>(this);
    AddRef();
    return P3D::kOk;
}

uint32_t MessageHandlerCallback::AddRef() { return static_cast<uint32_t>(references_.fetch_add(1) + 1); }

// The count runs down to 0 as a host expects (a host may loop until Release
// answers 0), but never below, and reaching 0 frees nothing: the module
// still holds the object in pauseCallback and destroys it itself at deinit,
// so a host that releases more than it added cannot make the module use,
// or delete, freed memory.
uint32_t MessageHandlerCallback::Release() {
    int32_t count = references_.load();
    do {
        if (count <= 0) return 0;
    } while (!references_.compare_exchange_weak(count, count - 1));
    return static_cast<uint32_t>(count - 1);
}

void MessageHandlerCallback::HandleMessage(P3D::IMessageArgs* args) {
    if (!args) return;
    alignas(16) P3D::ValueRecord record{};
    args->GetArg(&record, 0);
    uint64_t message = record.value;
    if (message == ids::kMessagePaused)
        store(g_module.PauseFlag, 1);
    else if (message == ids::kMessageResumed)
        store(g_module.PauseFlag, 0);
    panel::set(g_module.controls.paused.id, load(g_module.PauseFlag) ? 1.0 : 0.0);
}

namespace {

P3D::IEventService* event_service() {
    return g_module.services ? g_module.services->events() : nullptr;
}

}  // namespace

void start_pause_tracking() {
    MessageHandlerCallback* callback = new (std::nothrow) MessageHandlerCallback;
    if (!callback) return;
    g_module.pauseCallback = callback;
    if (P3D::IEventService* events = event_service()) events->Subscribe(ids::kMessageEvent, callback);
}

void stop_pause_tracking() {
    MessageHandlerCallback* callback = g_module.pauseCallback;
    if (!callback) return;
    if (P3D::IEventService* events = event_service()) events->Unsubscribe(ids::kMessageEvent, callback);
    delete callback;
    g_module.pauseCallback = nullptr;
}
