// A stand-in for the few declarations of the simulator SDK's gauges.h that
// examples/gauges/lookahead_gauge.cpp uses, written here from the SDK's
// documented interface (types, service codes, the gauge declaration
// macros, the panel functions), so the packaging test can compile the
// example. Declarations only: nothing here runs or is linked.
#pragma once

#include <cstddef>
#include <cstdint>

#define FSAPI

typedef int32_t SINT32;
typedef uint32_t UINT32;
typedef double FLOAT64;
typedef uint32_t ID;
typedef int32_t ENUM;
typedef uintptr_t UINT_PTR;
typedef const char* PCSTRINGZ;

struct GAUGEHDR;
typedef GAUGEHDR* PGAUGEHDR;
typedef void FSAPI GAUGE_CALLBACK(PGAUGEHDR pgauge, SINT32 service_id, UINT_PTR extra_data);

enum { PANEL_SERVICE_PRE_INSTALL = 2, PANEL_SERVICE_PRE_UPDATE = 6, PANEL_SERVICE_PRE_KILL = 12 };
enum { IMAGE_USE_TRANSPARENCY = 0x1, HELP_NONE = 0 };

struct ELEMENT_HEADER {
    UINT32 resource_id;
    ELEMENT_HEADER** next_element;
};
typedef ELEMENT_HEADER* PELEMENT_HEADER;
struct ELEMENT_STATIC_IMAGE {
    ELEMENT_HEADER header;
    void* failure;
    UINT32 draw_flags, asi_flags;
    SINT32 x, y;
};
struct MOUSERECT {
    UINT32 type, help_id;
    SINT32 x, y;
};
struct GAUGEHDR {
    UINT32 size_mm;
    char* name;
    PELEMENT_HEADER* elements;
    MOUSERECT* mouse_rect;
    GAUGE_CALLBACK* callback;
    UINT32 user_data;
    const char* parameters;
    const char* usage;
};

#define GAUGE_HEADER_FS700(size_mm, name, list, mouse, callback, user, parameters, usage) \
    GAUGEHDR GAUGEHDR_VAR_NAME = {size_mm, name, list, mouse, callback, user, parameters, usage}
#define MAKE_STATIC(NAME, RES_ID, NEXT_LIST, FAILURE, DRAW_FLAGS, ASI_FLAGS, X, Y) \
    ELEMENT_STATIC_IMAGE NAME = {{RES_ID, NEXT_LIST}, FAILURE, DRAW_FLAGS, ASI_FLAGS, X, Y};
#define MOUSE_BEGIN(NAME, HELP_ID, X, Y) MOUSERECT NAME[] = {{1, HELP_ID, X, Y},
#define MOUSE_END {0, 0, 0, 0}};
#define GAUGE_TABLE_BEGIN() extern "C" { GAUGEHDR* gauge_table[] = {
#define GAUGE_TABLE_ENTRY(GAUGEHDR_POINTER) GAUGEHDR_POINTER,
#define GAUGE_TABLE_END() nullptr}; }

ID check_named_variable(PCSTRINGZ name);
ID register_named_variable(PCSTRINGZ name);
ENUM get_units_enum(PCSTRINGZ unitname);
ENUM get_aircraft_var_enum(PCSTRINGZ simvar);
FLOAT64 aircraft_varget(ENUM simvar, ENUM units, SINT32 index);
void set_named_variable_value(ID id, FLOAT64 value);
void set_named_variable_typed_value(ID id, FLOAT64 value, ENUM units);
FLOAT64 get_named_variable_typed_value(ID id, ENUM units);
