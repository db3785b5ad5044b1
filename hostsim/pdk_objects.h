// The host's PDK objects: the root, the services it hands out, the event
// service and the surface service. Each counts its real references, the
// host's own and the module's (the module's also in the host's ledger).
// The objects' memory lives as long as the host, so a call on an object
// whose last reference has gone, or a release beyond the references held,
// is recorded as a fault rather than crashing.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "hostsim/host.h"

namespace hostsim {

// IUnknown for a host object whose interface is I.
template <typename I>
class HostObject : public I {
public:
    HostObject(Host& host, std::string name, const P3D::Guid& iid) : host_(host), name_(std::move(name)), iid_(iid) {}

    P3D::Status QueryInterface(const P3D::Guid& iid, void** object) override {
        ModuleCall call = enter("QueryInterface");
        host_.log({"QueryInterface", name_, 0, 0, std::this_thread::get_id()});
        if (!object) return P3D::kNoInterface;
        *object = nullptr;
        if (iid != iid_ && iid != ids::kIUnknown) return P3D::kNoInterface;
        *object = static_cast<I*>(this);
        AddRef();
        return P3D::kOk;
    }
    uint32_t AddRef() override {
        ModuleCall call = enter("AddRef");
        host_.log({"AddRef", name_, 0, 0, std::this_thread::get_id()});
        host_.ledger().add(name_);
        return static_cast<uint32_t>(references_.fetch_add(1) + 1);
    }
    // Release is the one call allowed after deinit: a worker deinit gave
    // up on gives back what it was handed.
    uint32_t Release() override {
        host_.log({"Release", name_, 0, 0, std::this_thread::get_id()});
        if (!check_alive("Release")) return 0;
        // The count drops before the ledger's locked update, so that whoever
        // reads the ledger afterwards (a test about to destroy the host) is
        // ordered after this thread's last touch of the object.
        uint32_t left = drop_reference();
        if (!host_.ledger().release(name_)) host_.record_fault("Release on " + name_ + " beyond the references held");
        return left;
    }
    // A reference handed out without a call on the object (the PDK root).
    void hand_out() {
        check_alive("a new reference");
        host_.ledger().add(name_);
        references_.fetch_add(1);
    }
    int32_t references() const { return references_.load(); }
    const std::string& name() const { return name_; }

protected:
    // Every method but Release opens its call here: a call after deinit and
    // a call on a dead object are each a fault.
    ModuleCall enter(const char* op) {
        check_alive(op);
        return ModuleCall(host_, op, name_);
    }
    // Records a call on an object whose last reference has gone.
    bool check_alive(const char* op) {
        if (references_.load() > 0) return true;
        host_.record_fault(std::string(op) + " on " + name_ + " after its last reference was released");
        return false;
    }
    uint32_t drop_reference() {
        int32_t count = references_.load();
        do {
            if (count <= 0) return 0;
        } while (!references_.compare_exchange_weak(count, count - 1));
        return static_cast<uint32_t>(count - 1);
    }

    Host& host_;
    std::string name_;
    P3D::Guid iid_;
    std::atomic<int32_t> references_{1};  // 1: the host's own
};

class ServiceObject final : public HostObject<P3D::IUnknown> {
public:
    using HostObject::HostObject;
};

class PdkRoot final : public HostObject<P3D::IPdkRoot> {
public:
    explicit PdkRoot(Host& host) : HostObject(host, "PdkRoot", ids::kPdkRootPreferred) {}
    P3D::Status QueryInterface(const P3D::Guid& iid, void** object) override;
    P3D::Status QueryService(const P3D::Guid& service, const P3D::Guid& iid, void** object) override;
};

class EventService final : public HostObject<P3D::IEventService> {
public:
    explicit EventService(Host& host) : HostObject(host, "EventService", ids::kEventService) {}
    P3D::Status Subscribe(const P3D::Guid& event, P3D::ICallbackV400* callback) override;
    P3D::Status Unsubscribe(const P3D::Guid& event, P3D::ICallbackV400* callback) override;

    // Calls every subscriber of the message event; Unsubscribe waits for a
    // delivery in progress, so none runs after it has returned.
    void deliver(P3D::IMessageArgs* args);
    size_t subscriber_count() const;
    // The subscriber at index, or null; tests reach the module's callback
    // object through it and call it as the host does.
    P3D::ICallbackV400* subscriber(size_t index) const;

private:
    mutable std::recursive_mutex lock_;
    std::vector<P3D::ICallbackV400*> subscribers_;
};

class SurfaceService final : public HostObject<P3D::ISurfaceService> {
public:
    explicit SurfaceService(Host& host) : HostObject(host, "SurfaceService", ids::kSurfaceInterface) {}
    P3D::Status QuerySurfaceType(void* result, const P3D::GeoPosition* position) override;
    P3D::Status QueryElevation(float* elevationFeet, const P3D::GeoPosition* position) override;
};

// The argument object of one message delivery. It lives for the delivery
// only, so a reference the module still holds when the delivery ends is a
// fault, as is a release of the host's own.
class MessageArgs final : public HostObject<P3D::IMessageArgs> {
public:
    MessageArgs(Host& host, uint64_t value, size_t recordBytes)
        : HostObject(host, "MessageArgs", ids::kIUnknown), value_(value), recordBytes_(recordBytes) {}
    // The host lets the object go: the module must hold nothing of it.
    ~MessageArgs();
    P3D::Status QueryInterface(const P3D::Guid&, void** object) override;
    uint32_t GetCount() override;
    P3D::ValueRecord* GetArg(P3D::ValueRecord* result, uint32_t index) override;

private:
    uint64_t value_;
    size_t recordBytes_;
};

}  // namespace hostsim
