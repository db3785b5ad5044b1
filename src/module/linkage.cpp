// The module's two exports: the record that receives the host's
// panel-services table, and Linkage, through which the host finds init,
// deinit and the gauges.
#include "gauges/declarations.h"
#include "host/panel_calls.h"
#include "module/linkage.h"
#include "module/module_init.h"

extern "C" {

TP_EXPORT ImportTableRecord ImportTable = {{{kPanelServicesImportId, nullptr}, {0, nullptr}}};

TP_EXPORT LinkageRecord Linkage = {
    kLinkageId, module_init, module_deinit, {0, 0}, kLinkageVersion, {&g_vornHeader, &g_displayHeader, nullptr},
};
}
