// The module's calls into the host's panel-services table. The table's
// address is read from ImportTable afresh at every call, as the host may
// only fill it in just before init; with no table every call is a no-op
// returning zero rather than a jump through null.
#pragma once

#include "host/gauge_records.h"
#include "host/panel_services.h"

extern "C" TP_EXPORT ImportTableRecord ImportTable;

namespace panel {

int32_t register_var(const char* name);
int32_t check_var(const char* name);
double get(int32_t id);
double get_typed(int32_t id, int32_t units);
void set(int32_t id, double value);
void set_typed(int32_t id, double value, int32_t units);
int32_t units_id(const char* unitName);
P3D::Status get_pdk(const P3D::Guid& iid, void** root);

uint64_t element_list(PanelEntry entry, ElementBase* root);
uint64_t element_list_install(ElementBase* root, uint64_t resource);
uint64_t element_list_generate(ElementBase* root, uint32_t phase);

}  // namespace panel
