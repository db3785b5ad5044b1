// Building and tearing down the service set.
#include "module/service_set.h"

#include <new>

ServiceSet* build_service_set(P3D::IPdkRoot* root) {
    ServiceSet* set = new (std::nothrow) ServiceSet;
    if (!set) return nullptr;
    set->root = root;
    if (root) {
        root->AddRef();
        for (int field : ids::kServiceQueryOrder) {
            const ids::ServiceIds& wanted = ids::kServices[field];
            void* service = nullptr;
            root->QueryService(wanted.service, wanted.iid, &service);
            set->services[field] = static_cast<P3D::IUnknown*>(service);
        }
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
