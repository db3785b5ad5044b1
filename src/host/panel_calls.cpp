// Calls through the host's panel-services table, one thin wrapper per entry.
#include "host/panel_calls.h"

namespace panel {
namespace {

template <typename Fn>
Fn entry(PanelEntry index) {
    void* const* table = static_cast<void* const*>(ImportTable.entries[0].table);
    return table ? reinterpret_cast<Fn>(table[index]) : nullptr;
}

}  // namespace

int32_t register_var(const char* name) {
    auto fn = entry<RegisterNamedVarFn>(kRegisterNamedVar);
    return fn ? fn(name) : 0;
}

int32_t check_var(const char* name) {
    auto fn = entry<CheckNamedVarFn>(kCheckNamedVar);
    return fn ? fn(name) : 0;
}

double get(int32_t id) {
    auto fn = entry<GetNamedVarFn>(kGetNamedVar);
    return fn ? fn(id) : 0.0;
}

double get_typed(int32_t id, int32_t units) {
    auto fn = entry<GetNamedVarTypedFn>(kGetNamedVarTyped);
    return fn ? fn(id, units) : 0.0;
}

void set(int32_t id, double value) {
    if (auto fn = entry<SetNamedVarFn>(kSetNamedVar)) fn(id, value);
}

void set_typed(int32_t id, double value, int32_t units) {
    if (auto fn = entry<SetNamedVarTypedFn>(kSetNamedVarTyped)) fn(id, value, units);
}

int32_t units_id(const char* unitName) {
    auto fn = entry<GetUnitsEnumFn>(kGetUnitsEnum);
    return fn ? fn(unitName) : 0;
}

P3D::Status get_pdk(const P3D::Guid& iid, void** root) {
    auto fn = entry<GetPdkFn>(kGetPdk);
    return fn ? fn(iid, root) : P3D::kFail;
}

uint64_t element_list(PanelEntry index, ElementBase* root) {
    auto fn = entry<ElementListFn>(index);
    return fn ? fn(root) : 0;
}

uint64_t element_list_install(ElementBase* root, uint64_t resource) {
    auto fn = entry<ElementListInstallFn>(kElementListInstall);
    return fn ? fn(root, resource) : 0;
}

uint64_t element_list_generate(ElementBase* root, uint32_t phase) {
    auto fn = entry<ElementListGenerateFn>(kElementListGenerate);
    return fn ? fn(root, phase) : 0;
}

}  // namespace panel
