// The host's PDK interfaces as the module calls them, and their ids.
// Interfaces are pure-virtual structs with no destructor and operations in
// table order, so g++ and MSVC lay out the same vtables. Results are 32-bit
// status codes, negative on failure.
#pragma once

#include <cstring>

#include "host/abi.h"

namespace P3D {

#pragma pack(push, 4)
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
// The host's message argument value. The host writes the whole record,
// which is larger than the first field, the only one the module reads: the
// rest is room for the host's own fields, so a record of up to 64 bytes
// never writes past the caller's.
struct ValueRecord {
    uint64_t value;
    uint8_t hostOwned[56];
};
// Position handed to the surface service: longitude and latitude in
// radians, altitude in feet, in this order.
struct GeoPosition {
    double longitude;
    double altitude;
    double latitude;
};
#pragma pack(pop)
TP_PIN_SIZE(Guid, 16);
TP_PIN_SIZE(ValueRecord, 64);
TP_PIN_SIZE(GeoPosition, 24);
TP_PIN_OFFSET(GeoPosition, altitude, 8);
TP_PIN_OFFSET(GeoPosition, latitude, 16);

inline bool operator==(const Guid& a, const Guid& b) { return std::memcmp(&a, &b, sizeof(Guid)) == 0; }
inline bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }

using Status = int32_t;
constexpr Status kOk = 0;
constexpr Status kNoInterface = static_cast<Status>(0x80004002u);
constexpr Status kFail = static_cast<Status>(0x80004005u);
constexpr Status kPointer = static_cast<Status>(0x80004003u);  // a null out-pointer

struct IUnknown {
    virtual Status QueryInterface(const Guid& iid, void** object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
};

struct IPdkRoot : IUnknown {
    virtual Status QueryService(const Guid& service, const Guid& iid, void** object) = 0;
};

// The object the host passes with a message. GetArg returns a record by
// value; an MSVC-built host passes the result pointer right after `this`,
// so it is spelt out here to match on every compiler.
struct IMessageArgs : IUnknown {
    virtual uint32_t GetCount() = 0;
    virtual ValueRecord* GetArg(ValueRecord* result, uint32_t index) = 0;
};

struct ICallbackV400 : IUnknown {
    virtual void HandleMessage(IMessageArgs* args) = 0;
};

struct IEventService : IUnknown {
    virtual Status Subscribe(const Guid& event, ICallbackV400* callback) = 0;
    virtual Status Unsubscribe(const Guid& event, ICallbackV400* callback) = 0;
};

struct ISurfaceService : IUnknown {
    virtual Status QuerySurfaceType(void* result, const GeoPosition* position) = 0;
    virtual Status QueryElevation(float* elevationFeet, const GeoPosition* position) = 0;
};

}  // namespace P3D
