// The host's PDK objects: the root, the services it hands out, the event
// service and the surface service. Each counts the references the module
// holds in the host's ledger; the objects themselves live as long as the
// host, so an over-release is reported rather than crashing.
#pragma once

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
        host_.log({"QueryInterface", name_, 0, 0, std::this_thread::get_id()});
        if (!object) return P3D::kNoInterface;
        *object = nullptr;
        if (iid != iid_ && iid != ids::kIUnknown) return P3D::kNoInterface;
        *object = static_cast<I*>(this);
        AddRef();
        return P3D::kOk;
    }
    uint32_t AddRef() override {
        host_.log({"AddRef", name_, 0, 0, std::this_thread::get_id()});
        host_.ledger().add(name_);
        return 2;
    }
    uint32_t Release() override {
        host_.log({"Release", name_, 0, 0, std::this_thread::get_id()});
        host_.ledger().release(name_);
        return 1;
    }
    const std::string& name() const { return name_; }

protected:
    Host& host_;
    std::string name_;
    P3D::Guid iid_;
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

// The argument object of one message delivery.
class MessageArgs : public P3D::IMessageArgs {
public:
    MessageArgs(uint64_t value, size_t recordBytes) : value_(value), recordBytes_(recordBytes) {}
    P3D::Status QueryInterface(const P3D::Guid&, void** object) override;
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    uint32_t GetCount() override { return 1; }
    P3D::ValueRecord* GetArg(P3D::ValueRecord* result, uint32_t index) override;

private:
    uint64_t value_;
    size_t recordBytes_;
};

}  // namespace hostsim
