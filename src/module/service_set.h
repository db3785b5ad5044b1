// ServiceSet: the PDK root and the eighteen host services the module holds
// from init to deinit. Field 1 is the event service, the only one used.
#pragma once

#include "host/guids.h"

struct ServiceSet {
    P3D::IPdkRoot* root = nullptr;
    P3D::IUnknown* services[ids::kServiceCount] = {};

    P3D::IEventService* events() const { return static_cast<P3D::IEventService*>(services[0]); }
};

// Takes a reference to the root and queries every service; a refused query
// leaves its field null. Null when the set cannot be allocated. A query
// that throws: every reference taken so far is released, last first, and
// the exception goes on to the caller.
ServiceSet* build_service_set(P3D::IPdkRoot* root);
// Releases every reference the set holds, the root first, and frees it.
void destroy_service_set(ServiceSet* set);
