// The host's panel-services table as a module sees it: the exported
// ImportTable record that receives it, the entries by index and the function
// types behind them. Shared by the module and by every host we build.
#pragma once

#include "host/abi.h"
#include "host/pdk.h"

struct ElementBase;

#pragma pack(push, 4)
struct ImportEntry {
    uint32_t id;
    void* table;
};
struct ImportTableRecord {
    ImportEntry entries[2];
};
#pragma pack(pop)
TP_PIN_SIZE(ImportEntry, 12);
TP_PIN_OFFSET(ImportEntry, table, 4);
TP_PIN_SIZE(ImportTableRecord, 24);

constexpr uint32_t kPanelServicesImportId = 0x0000000F;

// Entries of the panel-services table; byte offset = index * 8. Named as
// the host's published gauge SDK names them.
enum PanelEntry : uint32_t {
    kElementListQuery = 22,
    kElementListInstall = 23,
    kElementListInitialise = 24,
    kElementListUpdate = 25,
    kElementListGenerate = 26,
    kElementListPlot = 27,   // what the module's draw routine forwards to
    kElementListErase = 28,  // never called by the module
    kElementListKill = 29,
    kCheckNamedVar = 49,     // the id of a name; -1 when absent
    kRegisterNamedVar = 50,  // the id a name has, or a new variable's
    kGetNamedVar = 51,
    kGetNamedVarTyped = 52,
    kSetNamedVar = 53,
    kSetNamedVarTyped = 54,
    kGetUnitsEnum = 71,
    kGetPdk = 89,
};
constexpr uint32_t kPanelEntryCount = 128;

using CheckNamedVarFn = int32_t (*)(const char* name);
using RegisterNamedVarFn = int32_t (*)(const char* name);
using GetNamedVarFn = double (*)(int32_t id);
using GetNamedVarTypedFn = double (*)(int32_t id, int32_t units);
using SetNamedVarFn = void (*)(int32_t id, double value);
using SetNamedVarTypedFn = void (*)(int32_t id, double value, int32_t units);
using GetUnitsEnumFn = int32_t (*)(const char* unitName);
using GetPdkFn = int32_t (*)(const P3D::Guid& iid, void** root);

using ElementListFn = uint64_t (*)(ElementBase* root);
using ElementListInstallFn = uint64_t (*)(ElementBase* root, uint64_t resource);
using ElementListGenerateFn = uint64_t (*)(ElementBase* root, uint32_t phase);
