// The module's calls into the host's panel-services table. The table's
// address is read from ImportTable afresh at every call, as the host may
// only fill it in just before init; with no table every call is a no-op
// returning zero rather than a jump through null. The wrappers are inline,
// so the worker's four calls a point cost no call of the module's own.
#pragma once

#include "host/gauge_records.h"
#include "host/panel_services.h"

extern "C" TP_EXPORT ImportTableRecord ImportTable;

namespace panel {
namespace detail {

template <typename Fn>
Fn entry(PanelEntry index) {
    void* const* table = static_cast<void* const*>(ImportTable.entries[0].table);
    return table ? reinterpret_cast<Fn>(table[index]) : nullptr;
}

}  // namespace detail

inline int32_t check_var(const char* name) {
    auto fn = detail::entry<CheckNamedVarFn>(kCheckNamedVar);
    return fn ? fn(name) : 0;
}

inline int32_t register_var(const char* name) {
    auto fn = detail::entry<RegisterNamedVarFn>(kRegisterNamedVar);
    return fn ? fn(name) : 0;
}

inline double get(int32_t id) {
    auto fn = detail::entry<GetNamedVarFn>(kGetNamedVar);
    return fn ? fn(id) : 0.0;
}

inline double get_typed(int32_t id, int32_t units) {
    auto fn = detail::entry<GetNamedVarTypedFn>(kGetNamedVarTyped);
    return fn ? fn(id, units) : 0.0;
}

inline void set(int32_t id, double value) {
    if (auto fn = detail::entry<SetNamedVarFn>(kSetNamedVar)) fn(id, value);
}

inline void set_typed(int32_t id, double value, int32_t units) {
    if (auto fn = detail::entry<SetNamedVarTypedFn>(kSetNamedVarTyped)) fn(id, value, units);
}

inline int32_t units_id(const char* unitName) {
    auto fn = detail::entry<GetUnitsEnumFn>(kGetUnitsEnum);
    return fn ? fn(unitName) : 0;
}

inline P3D::Status get_pdk(const P3D::Guid& iid, void** root) {
    auto fn = detail::entry<GetPdkFn>(kGetPdk);
    return fn ? fn(iid, root) : P3D::kFail;
}

inline uint64_t element_list(PanelEntry index, ElementBase* root) {
    auto fn = detail::entry<ElementListFn>(index);
    return fn ? fn(root) : 0;
}

inline uint64_t element_list_install(ElementBase* root, uint64_t resource) {
    auto fn = detail::entry<ElementListInstallFn>(kElementListInstall);
    return fn ? fn(root, resource) : 0;
}

inline uint64_t element_list_generate(ElementBase* root, uint32_t phase) {
    auto fn = detail::entry<ElementListGenerateFn>(kElementListGenerate);
    return fn ? fn(root, phase) : 0;
}

}  // namespace panel
