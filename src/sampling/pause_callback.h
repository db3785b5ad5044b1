// MessageHandlerCallback: the module's one reference-counted object. It
// follows the host's message event and keeps PauseFlag and "FSSimIsPaused"
// up to date with the simulation's pause state.
#pragma once

#include <atomic>

#include "host/pdk.h"

class MessageHandlerCallback final : public P3D::ICallbackV400 {
public:
    P3D::Status QueryInterface(const P3D::Guid& iid, void** object) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    void HandleMessage(P3D::IMessageArgs* args) override;

private:
    std::atomic<int32_t> references_{1};  // 1: the module's own reference
};

// Creates the callback and subscribes it to the message event; skipped
// without an event service. Runs last in module init.
void start_pause_tracking();
// Unsubscribes the callback and destroys it whatever its count.
void stop_pause_tracking();
