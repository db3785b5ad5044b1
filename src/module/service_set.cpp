// Building and tearing down the service set.
#include "module/service_set.h"

#include <new>

namespace {

// Gives back what the set holds of the first `queried` services of the
// query order, the last obtained first, and then the set's own reference
// to the root, which it took before them.
void release_in_reverse(ServiceSet* set, int queried) {
    for (int i = queried - 1; i >= 0; --i) {
        P3D::IUnknown*& service = set->services[ids::kServiceQueryOrder[i]];
        if (service) service->Release();
        service = nullptr;
    }
    set->root->Release();
    set->root = nullptr;
}

}  // namespace

ServiceSet* build_service_set(P3D::IPdkRoot* root) {
    ServiceSet* set = new (std::nothrow) ServiceSet;
    if (!set) return nullptr;
    set->root = root;
    if (!root) return set;
    root->AddRef();
    int queried = 0;
    try {
        for (; queried < ids::kServiceCount; ++queried) {
            const ids::ServiceIds& wanted = ids::kServices[ids::kServiceQueryOrder[queried]];
            void* service = nullptr;
            root->QueryService(wanted.service, wanted.iid, &service);
            set->services[ids::kServiceQueryOrder[queried]] = static_cast<P3D::IUnknown*>(service);
        }
    } catch (...) {
        release_in_reverse(set, queried);
        delete set;
        throw;
    }
    return set;
}

void destroy_service_set(ServiceSet* set) {
    if (set->root) set->root->Release();
    set->root = nullptr;
    for (P3D::IUnknown*& service : set->services) {
        if (service) service->Release();
        service = nullptr;
    }
    delete set;
}
