// The host's PDK objects.
#include "hostsim/pdk_objects.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace hostsim {

namespace {
std::thread::id self() { return std::this_thread::get_id(); }
}  // namespace

P3D::Status PdkRoot::QueryInterface(const P3D::Guid& iid, void** object) {
    if (iid == ids::kPdkRootFallback) return HostObject::QueryInterface(ids::kPdkRootPreferred, object);
    return HostObject::QueryInterface(iid, object);
}

P3D::Status PdkRoot::QueryService(const P3D::Guid& service, const P3D::Guid& iid, void** object) {
    ModuleCall call = enter("QueryService");
    if (!object) return P3D::kFail;
    *object = nullptr;
    const Refusals& refused = host_.refusals();
    if (service == ids::kSurfaceService) {
        host_.log({"QueryService", "SurfaceService", 0, 0, self()});
        if (refused.surface || iid != ids::kSurfaceInterface) return P3D::kNoInterface;
        return host_.surface().QueryInterface(iid, object);
    }
    for (int field = 0; field < ids::kServiceCount; ++field) {
        if (service != ids::kServices[field].service) continue;
        host_.log({"QueryService", "Service" + std::to_string(field + 1), 0, 0, self()});
        if (refused.throwingServices[static_cast<size_t>(field)])
            throw std::runtime_error("QueryService of Service" + std::to_string(field + 1) + " threw");
        if (refused.services[static_cast<size_t>(field)] || iid != ids::kServices[field].iid) return P3D::kNoInterface;
        return host_.service(field)->QueryInterface(iid, object);
    }
    host_.log({"QueryService", "unknown", 0, 0, self()});
    return P3D::kNoInterface;
}

P3D::Status EventService::Subscribe(const P3D::Guid& event, P3D::ICallbackV400* callback) {
    ModuleCall call = enter("Subscribe");
    host_.log({"Subscribe", name_, 0, 0, self()});
    if (event != ids::kMessageEvent || !callback || host_.refusals().subscription) return P3D::kFail;
    if (host_.subscription_mode() == SubscriptionMode::Counted) callback->AddRef();
    std::lock_guard<std::recursive_mutex> hold(lock_);
    subscribers_.push_back(callback);
    return P3D::kOk;
}

P3D::Status EventService::Unsubscribe(const P3D::Guid& event, P3D::ICallbackV400* callback) {
    ModuleCall call = enter("Unsubscribe");
    host_.log({"Unsubscribe", name_, 0, 0, self()});
    if (event != ids::kMessageEvent) return P3D::kFail;
    std::lock_guard<std::recursive_mutex> hold(lock_);
    auto it = std::find(subscribers_.begin(), subscribers_.end(), callback);
    if (it == subscribers_.end()) return P3D::kFail;
    subscribers_.erase(it);
    if (host_.subscription_mode() != SubscriptionMode::Unreferenced) callback->Release();
    return P3D::kOk;
}

// The delivering thread joins the session under the lock that Subscribe
// and Unsubscribe take, so it sees the session of the subscribers it calls.
void EventService::deliver(P3D::IMessageArgs* args) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    host_.enter_module();
    for (P3D::ICallbackV400* callback : subscribers_) callback->HandleMessage(args);
}

size_t EventService::subscriber_count() const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return subscribers_.size();
}

P3D::ICallbackV400* EventService::subscriber(size_t index) const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return index < subscribers_.size() ? subscribers_[index] : nullptr;
}

P3D::Status SurfaceService::QuerySurfaceType(void*, const P3D::GeoPosition*) {
    ModuleCall call = enter("QuerySurfaceType");
    host_.log({"QuerySurfaceType", name_, 0, 0, self()});
    return P3D::kNoInterface;
}

P3D::Status SurfaceService::QueryElevation(float* elevationFeet, const P3D::GeoPosition* position) {
    ModuleCall call = enter("QueryElevation");
    switch (host_.surface_mode()) {
    case SurfaceMode::Failing:
        // A real service may leave anything in the slot when it fails.
        if (elevationFeet) *elevationFeet = kFailedQueryJunkFeet;
        host_.log({"QueryElevation", name_, 0, 0, self()});
        return P3D::kFail;
    case SurfaceMode::Slow:
        std::this_thread::sleep_for(std::chrono::milliseconds(host_.surface_delay_ms()));
        break;
    case SurfaceMode::Hanging:
        host_.wait_while_hanging();
        break;
    case SurfaceMode::Normal:
        break;
    }
    if (!elevationFeet || !position) return P3D::kFail;
    *elevationFeet = static_cast<float>(host_.terrain()->elevation_feet(position->latitude, position->longitude));
    host_.log({"QueryElevation", name_, *elevationFeet, 0, self()});
    return P3D::kOk;
}

// References kept past the delivery leave the ledger with the object, so
// that they are not taken for those of a later delivery: the fault stands
// for them.
MessageArgs::~MessageArgs() {
    if (references() <= 1) return;
    host_.record_fault("MessageArgs still referenced by the module after its delivery");
    while (drop_reference() > 0) host_.ledger().release(name_);
}

P3D::Status MessageArgs::QueryInterface(const P3D::Guid&, void** object) {
    ModuleCall call = enter("QueryInterface");
    if (object) *object = nullptr;
    return P3D::kNoInterface;
}

uint32_t MessageArgs::GetCount() {
    ModuleCall call = enter("GetCount");
    return 1;
}

// The host writes its whole record, the fields after the first included,
// as an MSVC-built host does through the result pointer.
P3D::ValueRecord* MessageArgs::GetArg(P3D::ValueRecord* result, uint32_t index) {
    ModuleCall call = enter("GetArg");
    uint64_t value = index == 0 ? value_ : 0;
    std::memset(result, 0xA5, recordBytes_);
    std::memcpy(result, &value, sizeof value);
    return result;
}

}  // namespace hostsim
