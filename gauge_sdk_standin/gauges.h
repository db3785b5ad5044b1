// A stand-in for the simulator's gauge SDK header (gauges.h), so that a C++
// gauge written for the simulator builds here into a gauge module of its
// own and runs in probe-host beside terrain_probe. Written from the SDK's
// published interface: its types, the gauge records at their published
// offsets, the panel-services table, the panel functions by name, the
// declaration macros and the service codes. It holds what a simple C++
// gauge needs, no more; a gauge that builds against it builds against the
// SDK's own header too.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#endif

#define FSAPI

// --- types ---
typedef int32_t SINT32;
typedef uint32_t UINT32;
typedef int32_t ID;
typedef uint32_t ID32;
typedef int32_t ENUM;
typedef uint32_t FLAGS32;
typedef float FLOAT32;
typedef double FLOAT64;
typedef uintptr_t UINT_PTR;
typedef const char* PCSTRINGZ;
typedef int32_t ERR;
#if !defined(_WIN32)
typedef void* PVOID;
typedef int32_t HRESULT;
struct GUID {
    uint32_t Data1;
    uint16_t Data2, Data3;
    uint8_t Data4[8];
};
typedef const GUID& REFIID;
#endif

#pragma pack(push, 4)

struct PIXPOINT {
    SINT32 x, y;
};
struct PIXBOX {
    SINT32 x, y, size_x, size_y;
};

struct GAUGEHDR;
typedef GAUGEHDR* PGAUGEHDR;
struct ELEMENT_HEADER;
typedef ELEMENT_HEADER* PELEMENT_HEADER;

typedef void FSAPI GAUGE_CALLBACK(PGAUGEHDR pgauge, SINT32 service_id, UINT_PTR extra_data);
typedef void FSAPI QUERY_ROUTINE(void);
typedef void FSAPI INSTALL_ROUTINE(PVOID resource_file_handle);
typedef void FSAPI INITIALIZE_ROUTINE(void);
typedef void FSAPI UPDATE_ROUTINE(void);
typedef void FSAPI GENERATE_ROUTINE(UINT32 phase);
typedef void FSAPI DRAW_ROUTINE(void);
typedef void FSAPI KILL_ROUTINE(void);
typedef void FSAPI MODULE_ROUTINE(void);

// --- service codes sent to a gauge callback ---
enum {
    PANEL_SERVICE_PRE_QUERY = 0,
    PANEL_SERVICE_POST_QUERY = 1,
    PANEL_SERVICE_PRE_INSTALL = 2,  // extra_data: the resource handle
    PANEL_SERVICE_POST_INSTALL = 3,
    PANEL_SERVICE_PRE_INITIALIZE = 4,
    PANEL_SERVICE_POST_INITIALIZE = 5,
    PANEL_SERVICE_PRE_UPDATE = 6,
    PANEL_SERVICE_POST_UPDATE = 7,
    PANEL_SERVICE_PRE_GENERATE = 8,  // extra_data: the phase
    PANEL_SERVICE_POST_GENERATE = 9,
    PANEL_SERVICE_PRE_DRAW = 10,
    PANEL_SERVICE_POST_DRAW = 11,
    PANEL_SERVICE_PRE_KILL = 12,
    PANEL_SERVICE_POST_KILL = 13,
    PANEL_SERVICE_CONNECT_TO_WINDOW = 14,
    PANEL_SERVICE_DISCONNECT = 15,
    PANEL_SERVICE_PANEL_OPEN = 16,
    PANEL_SERVICE_PANEL_CLOSE = 17,
};

enum { ELEMENT_TYPE_STATIC_IMAGE = 0 };
enum { IMAGE_USE_TRANSPARENCY = 0x1, IMAGE_USE_ERASE = 0x2, IMAGE_BILINEAR_COLOR = 0x80 };
enum { HELP_NONE = 0 };
enum { CURSOR_NONE = -1 };
enum { MOUSE_RECT_EOL = 0, MOUSE_RECT_PARENT = 1, MOUSE_RECT_CHILD = 2, MOUSE_RECT_END_PARENT = 3 };
enum { MOUSE_NONE = 0 };

// --- gauge records ---
struct ELEMENT_HEADER {
    ENUM element_type;
    ID resource_id;
    PIXPOINT position;
    PIXPOINT previous_position;
    PIXPOINT ofs;
    PGAUGEHDR gauge_header;
    ELEMENT_HEADER* previous_element;
    ELEMENT_HEADER** next_element;
    PVOID failure_systems;
    FLAGS32 image_flags;
    FLAGS32 aircraft_special_instrumentation;
    FLAGS32 reserved;
};

struct ELEMENT_STATIC_IMAGE {
    ELEMENT_HEADER header;
    PVOID image_data[4];  // the host's images of the bitmap
    PVOID save_buffer;
    PVOID hdc;
    PVOID hbmp;
    PVOID reserved[2];
};

typedef SINT32 FSAPI MOUSE_FUNCTION(PIXPOINT* relative_point, FLAGS32 mouse_flags);
struct MOUSERECT {
    ENUM rect_flags;
    PIXBOX relative_box;
    ENUM cursor;
    ID help_id;
    FLAGS32 mouse_flags;
    ID event_id;
    MOUSE_FUNCTION* mouse_function;
    PVOID api_data;
};

struct GAUGEHDR {
    UINT32 gauge_header_version;
    char* gauge_name;
    PELEMENT_HEADER* elements_list;
    QUERY_ROUTINE* query_routine;
    INSTALL_ROUTINE* install_routine;
    INITIALIZE_ROUTINE* initialize_routine;
    UPDATE_ROUTINE* update_routine;
    GENERATE_ROUTINE* generate_routine;
    DRAW_ROUTINE* draw_routine;
    KILL_ROUTINE* kill_routine;
    PVOID reserved1;
    UINT32 size_x_mm;
    UINT32 size_y_mm;
    FLOAT32 x_adjust;
    FLOAT32 y_adjust;
    PVOID reserved2;
    PVOID reserved3;
    PIXPOINT position;
    PVOID reserved4;
    MOUSERECT* mouse_rect;
    GAUGE_CALLBACK* gauge_callback;
    UINT_PTR user_data;
    char* parameters;
    char* usage;
    SINT32 reserved5;
    PVOID reserved6;
    PIXPOINT size;
    FLOAT64 user_area[10];
    FLAGS32 flags;
    PVOID reserved7;
    GUID guid;
    UINT32 key_id;
    PVOID serialize_size_callback;
    PVOID serialize_callback;
    PVOID deserialize_callback;
    PVOID process_event_callback;
    PVOID process_key_callback;
    PIXPOINT original_position;
};

// --- the panel-services table the host writes into ImportTable ---
struct PANELS {
    ID ModuleID;
    MODULE_ROUTINE* ModuleInit;
    MODULE_ROUTINE* ModuleDeinit;
    FLAGS32 ModuleFlags;
    UINT32 ModulePriority;
    UINT32 ModuleVersion;
    PVOID entries_32_to_176[18];
    ERR(FSAPI* element_list_query)(PELEMENT_HEADER element);
    ERR(FSAPI* element_list_install)(PELEMENT_HEADER element, PVOID resource_file_handle);
    ERR(FSAPI* element_list_initialize)(PELEMENT_HEADER element);
    ERR(FSAPI* element_list_update)(PELEMENT_HEADER element);
    ERR(FSAPI* element_list_generate)(PELEMENT_HEADER element, UINT32 phase);
    ERR(FSAPI* element_list_plot)(PELEMENT_HEADER element);
    ERR(FSAPI* element_list_erase)(PELEMENT_HEADER element);
    ERR(FSAPI* element_list_kill)(PELEMENT_HEADER element);
    PVOID entries_240_to_392[19];
    ID(FSAPI* check_named_variable)(PCSTRINGZ name);
    ID(FSAPI* register_named_variable)(PCSTRINGZ name);
    FLOAT64(FSAPI* get_named_variable_value)(ID id);
    FLOAT64(FSAPI* get_named_variable_typed_value)(ID id, ENUM units);
    void(FSAPI* set_named_variable_value)(ID id, FLOAT64 value);
    void(FSAPI* set_named_variable_typed_value)(ID id, FLOAT64 value, ENUM units);
    PVOID entries_440_to_456[2];
    PCSTRINGZ(FSAPI* get_name_of_named_variable)(ID id);
    PVOID entries_464_to_568[13];
    ENUM(FSAPI* get_units_enum)(PCSTRINGZ unitname);
    ENUM(FSAPI* get_aircraft_var_enum)(PCSTRINGZ simvar);
    FLOAT64(FSAPI* aircraft_varget)(ENUM simvar, ENUM units, SINT32 index);
    PVOID entries_592_to_712[15];
    HRESULT(FSAPI* query_pdk)(REFIID riid, void** ppv);
};
typedef PANELS* PPANELS;

struct GAUGESIMPORT {
    struct {
        ID fnID;
        PPANELS fnptr;
    } PANELSentry, nullentry;
};

// Room for the gauges of one module; the list ends at the first null.
#define GAUGE_TABLE_CAPACITY 32
struct GAUGESLINKAGE {
    ID ModuleID;
    MODULE_ROUTINE* ModuleInit;
    MODULE_ROUTINE* ModuleDeinit;
    FLAGS32 ModuleFlags;
    UINT32 ModulePriority;
    UINT32 ModuleVersion;
    PGAUGEHDR gauge_header_ptr[GAUGE_TABLE_CAPACITY];
};

#pragma pack(pop)

static_assert(sizeof(PIXPOINT) == 8, "PIXPOINT");
static_assert(sizeof(ELEMENT_HEADER) == 76, "ELEMENT_HEADER must be 76 bytes");
static_assert(offsetof(ELEMENT_HEADER, resource_id) == 4, "ELEMENT_HEADER.resource_id");
static_assert(offsetof(ELEMENT_HEADER, position) == 8, "ELEMENT_HEADER.position");
static_assert(offsetof(ELEMENT_HEADER, gauge_header) == 32, "ELEMENT_HEADER.gauge_header");
static_assert(offsetof(ELEMENT_HEADER, next_element) == 48, "ELEMENT_HEADER.next_element");
static_assert(offsetof(ELEMENT_HEADER, failure_systems) == 56, "ELEMENT_HEADER.failure_systems");
static_assert(offsetof(ELEMENT_HEADER, image_flags) == 64, "ELEMENT_HEADER.image_flags");
static_assert(sizeof(ELEMENT_STATIC_IMAGE) == 148, "ELEMENT_STATIC_IMAGE must be 148 bytes");
static_assert(sizeof(MOUSERECT) == 52, "MOUSERECT must be 52 bytes");
static_assert(offsetof(MOUSERECT, relative_box) == 4, "MOUSERECT.relative_box");
static_assert(offsetof(MOUSERECT, cursor) == 20, "MOUSERECT.cursor");
static_assert(offsetof(MOUSERECT, help_id) == 24, "MOUSERECT.help_id");
static_assert(offsetof(MOUSERECT, mouse_function) == 36, "MOUSERECT.mouse_function");
static_assert(offsetof(MOUSERECT, api_data) == 44, "MOUSERECT.api_data");
static_assert(sizeof(GAUGEHDR) == 352, "GAUGEHDR must be 352 bytes");
static_assert(offsetof(GAUGEHDR, gauge_name) == 4, "GAUGEHDR.gauge_name");
static_assert(offsetof(GAUGEHDR, elements_list) == 12, "GAUGEHDR.elements_list");
static_assert(offsetof(GAUGEHDR, query_routine) == 20, "GAUGEHDR.query_routine");
static_assert(offsetof(GAUGEHDR, kill_routine) == 68, "GAUGEHDR.kill_routine");
static_assert(offsetof(GAUGEHDR, reserved1) == 76, "GAUGEHDR.reserved1");
static_assert(offsetof(GAUGEHDR, size_x_mm) == 84, "GAUGEHDR.size_x_mm");
static_assert(offsetof(GAUGEHDR, x_adjust) == 92, "GAUGEHDR.x_adjust");
static_assert(offsetof(GAUGEHDR, position) == 116, "GAUGEHDR.position");
static_assert(offsetof(GAUGEHDR, mouse_rect) == 132, "GAUGEHDR.mouse_rect");
static_assert(offsetof(GAUGEHDR, gauge_callback) == 140, "GAUGEHDR.gauge_callback");
static_assert(offsetof(GAUGEHDR, user_data) == 148, "GAUGEHDR.user_data");
static_assert(offsetof(GAUGEHDR, parameters) == 156, "GAUGEHDR.parameters");
static_assert(offsetof(GAUGEHDR, usage) == 164, "GAUGEHDR.usage");
static_assert(offsetof(GAUGEHDR, reserved5) == 172, "GAUGEHDR.reserved5");
static_assert(offsetof(GAUGEHDR, size) == 184, "GAUGEHDR.size");
static_assert(offsetof(GAUGEHDR, user_area) == 192, "GAUGEHDR.user_area");
static_assert(offsetof(GAUGEHDR, flags) == 272, "GAUGEHDR.flags");
static_assert(offsetof(GAUGEHDR, guid) == 284, "GAUGEHDR.guid");
static_assert(offsetof(GAUGEHDR, key_id) == 300, "GAUGEHDR.key_id");
static_assert(offsetof(GAUGEHDR, serialize_size_callback) == 304, "GAUGEHDR.serialize_size_callback");
static_assert(offsetof(GAUGEHDR, original_position) == 344, "GAUGEHDR.original_position");
static_assert(offsetof(PANELS, ModuleInit) == 4, "PANELS.ModuleInit");
static_assert(offsetof(PANELS, ModuleFlags) == 20, "PANELS.ModuleFlags");
static_assert(offsetof(PANELS, ModuleVersion) == 28, "PANELS.ModuleVersion");
static_assert(offsetof(PANELS, element_list_query) == 176, "PANELS.element_list_query");
static_assert(offsetof(PANELS, element_list_plot) == 216, "PANELS.element_list_plot");
static_assert(offsetof(PANELS, element_list_kill) == 232, "PANELS.element_list_kill");
static_assert(offsetof(PANELS, check_named_variable) == 392, "PANELS.check_named_variable");
static_assert(offsetof(PANELS, register_named_variable) == 400, "PANELS.register_named_variable");
static_assert(offsetof(PANELS, set_named_variable_typed_value) == 432, "PANELS.set_named_variable_typed_value");
static_assert(offsetof(PANELS, get_name_of_named_variable) == 456, "PANELS.get_name_of_named_variable");
static_assert(offsetof(PANELS, get_units_enum) == 568, "PANELS.get_units_enum");
static_assert(offsetof(PANELS, get_aircraft_var_enum) == 576, "PANELS.get_aircraft_var_enum");
static_assert(offsetof(PANELS, aircraft_varget) == 584, "PANELS.aircraft_varget");
static_assert(offsetof(PANELS, query_pdk) == 712, "PANELS.query_pdk");
static_assert(sizeof(GAUGESIMPORT) == 24, "GAUGESIMPORT must be 24 bytes");
static_assert(offsetof(GAUGESLINKAGE, ModuleVersion) == 28, "GAUGESLINKAGE.ModuleVersion");
static_assert(offsetof(GAUGESLINKAGE, gauge_header_ptr) == 32, "GAUGESLINKAGE.gauge_header_ptr");

// --- the module's two exports ---
#if defined(_WIN32)
#define GAUGE_SDK_EXPORT __declspec(dllexport)
#else
#define GAUGE_SDK_EXPORT __attribute__((visibility("default")))
#endif
extern "C" GAUGE_SDK_EXPORT GAUGESIMPORT ImportTable;
extern "C" GAUGE_SDK_EXPORT GAUGESLINKAGE Linkage;

// --- the panel functions, called through the table the host wrote ---
#define element_list_query (ImportTable.PANELSentry.fnptr->element_list_query)
#define element_list_install (ImportTable.PANELSentry.fnptr->element_list_install)
#define element_list_initialize (ImportTable.PANELSentry.fnptr->element_list_initialize)
#define element_list_update (ImportTable.PANELSentry.fnptr->element_list_update)
#define element_list_generate (ImportTable.PANELSentry.fnptr->element_list_generate)
#define element_list_plot (ImportTable.PANELSentry.fnptr->element_list_plot)
#define element_list_erase (ImportTable.PANELSentry.fnptr->element_list_erase)
#define element_list_kill (ImportTable.PANELSentry.fnptr->element_list_kill)
#define check_named_variable (ImportTable.PANELSentry.fnptr->check_named_variable)
#define register_named_variable (ImportTable.PANELSentry.fnptr->register_named_variable)
#define get_named_variable_value (ImportTable.PANELSentry.fnptr->get_named_variable_value)
#define get_named_variable_typed_value (ImportTable.PANELSentry.fnptr->get_named_variable_typed_value)
#define set_named_variable_value (ImportTable.PANELSentry.fnptr->set_named_variable_value)
#define set_named_variable_typed_value (ImportTable.PANELSentry.fnptr->set_named_variable_typed_value)
#define get_name_of_named_variable (ImportTable.PANELSentry.fnptr->get_name_of_named_variable)
#define get_units_enum (ImportTable.PANELSentry.fnptr->get_units_enum)
#define get_aircraft_var_enum (ImportTable.PANELSentry.fnptr->get_aircraft_var_enum)
#define aircraft_varget (ImportTable.PANELSentry.fnptr->aircraft_varget)
#define query_pdk (ImportTable.PANELSentry.fnptr->query_pdk)

// --- declaration macros ---
#define GAUGE_HEADER_VERSION_FS700 800

// The header's seven routines forward to the element-list entries with
// the root element of the module's first gauge, read through Linkage.
#define GAUGE_SDK_PASTE2(a, b) a##b
#define GAUGE_SDK_PASTE(a, b) GAUGE_SDK_PASTE2(a, b)
#define GAUGE_SDK_ROOT (*Linkage.gauge_header_ptr[0]->elements_list)
#define GAUGE_SDK_ROUTINES(hdr)                                                                                    \
    static void FSAPI GAUGE_SDK_PASTE(hdr, _query)(void) { element_list_query(GAUGE_SDK_ROOT); }                   \
    static void FSAPI GAUGE_SDK_PASTE(hdr, _install)(PVOID resources) {                                            \
        element_list_install(GAUGE_SDK_ROOT, resources);                                                           \
    }                                                                                                              \
    static void FSAPI GAUGE_SDK_PASTE(hdr, _initialize)(void) { element_list_initialize(GAUGE_SDK_ROOT); }         \
    static void FSAPI GAUGE_SDK_PASTE(hdr, _update)(void) { element_list_update(GAUGE_SDK_ROOT); }                 \
    static void FSAPI GAUGE_SDK_PASTE(hdr, _generate)(UINT32 phase) { element_list_generate(GAUGE_SDK_ROOT, phase); } \
    static void FSAPI GAUGE_SDK_PASTE(hdr, _draw)(void) { element_list_plot(GAUGE_SDK_ROOT); }                     \
    static void FSAPI GAUGE_SDK_PASTE(hdr, _kill)(void) { element_list_kill(GAUGE_SDK_ROOT); }

#define GAUGE_HEADER_FS700(default_size_mm, gauge_name, element_list, mouse_rect, gauge_callback, user_data,        \
                           parameters, usage)                                                                      \
    GAUGE_SDK_ROUTINES(GAUGEHDR_VAR_NAME)                                                                          \
    GAUGEHDR GAUGEHDR_VAR_NAME = {GAUGE_HEADER_VERSION_FS700,                                                      \
                                  gauge_name,                                                                      \
                                  element_list,                                                                    \
                                  GAUGE_SDK_PASTE(GAUGEHDR_VAR_NAME, _query),                                      \
                                  GAUGE_SDK_PASTE(GAUGEHDR_VAR_NAME, _install),                                    \
                                  GAUGE_SDK_PASTE(GAUGEHDR_VAR_NAME, _initialize),                                 \
                                  GAUGE_SDK_PASTE(GAUGEHDR_VAR_NAME, _update),                                     \
                                  GAUGE_SDK_PASTE(GAUGEHDR_VAR_NAME, _generate),                                   \
                                  GAUGE_SDK_PASTE(GAUGEHDR_VAR_NAME, _draw),                                       \
                                  GAUGE_SDK_PASTE(GAUGEHDR_VAR_NAME, _kill),                                       \
                                  NULL,                                                                            \
                                  default_size_mm,                                                                 \
                                  0,                                                                               \
                                  0.0f,                                                                            \
                                  0.0f,                                                                            \
                                  NULL,                                                                            \
                                  NULL,                                                                            \
                                  {0, 0},                                                                          \
                                  NULL,                                                                            \
                                  mouse_rect,                                                                      \
                                  gauge_callback,                                                                  \
                                  user_data,                                                                       \
                                  NULL,                                                                            \
                                  usage,                                                                           \
                                  0,                                                                               \
                                  NULL,                                                                            \
                                  {0, 0},                                                                          \
                                  {0},                                                                             \
                                  0,                                                                               \
                                  NULL,                                                                            \
                                  {0, 0, 0, {0}},                                                                  \
                                  0,                                                                               \
                                  NULL,                                                                            \
                                  NULL,                                                                            \
                                  NULL,                                                                            \
                                  NULL,                                                                            \
                                  NULL,                                                                            \
                                  {0, 0}}

#define MAKE_STATIC(name, resource_id, next_list, failure, draw_flags, asi_flags, x, y)                            \
    ELEMENT_STATIC_IMAGE name = {{ELEMENT_TYPE_STATIC_IMAGE,                                                       \
                                  resource_id,                                                                     \
                                  {x, y},                                                                          \
                                  {0, 0},                                                                          \
                                  {0, 0},                                                                          \
                                  &GAUGEHDR_VAR_NAME,                                                              \
                                  NULL,                                                                            \
                                  (PELEMENT_HEADER*)(next_list),                                                   \
                                  (PVOID)(failure),                                                                \
                                  draw_flags,                                                                      \
                                  asi_flags,                                                                       \
                                  0},                                                                              \
                                 {NULL, NULL, NULL, NULL},                                                         \
                                 NULL,                                                                             \
                                 NULL,                                                                             \
                                 NULL,                                                                             \
                                 {NULL, NULL}};

// A parent rectangle over the whole gauge (size 0 x 0), its end, and the
// end of the list.
#define MOUSE_BEGIN(name, help_id, x, y) \
    MOUSERECT name[] = {{MOUSE_RECT_PARENT, {x, y, 0, 0}, CURSOR_NONE, help_id, MOUSE_NONE, 0, NULL, NULL},
#define MOUSE_END                                                                    \
    {MOUSE_RECT_END_PARENT, {0, 0, 0, 0}, CURSOR_NONE, HELP_NONE, MOUSE_NONE, 0, NULL, NULL}, \
        {MOUSE_RECT_EOL, {0, 0, 0, 0}, CURSOR_NONE, HELP_NONE, MOUSE_NONE, 0, NULL, NULL}};

#if defined(_WIN32)
#define GAUGE_SDK_DLLMAIN \
    extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#else
#define GAUGE_SDK_DLLMAIN
#endif

#define GAUGE_TABLE_BEGIN()                                                                           \
    static void FSAPI module_init(void) {}                                                            \
    static void FSAPI module_deinit(void) {}                                                          \
    GAUGE_SDK_DLLMAIN                                                                                 \
    GAUGESIMPORT ImportTable = {{0x0000000F, NULL}, {0x00000000, NULL}};                            \
    GAUGESLINKAGE Linkage = {0x00000013, module_init, module_deinit, 0, 0, 0x0900, {
#define GAUGE_TABLE_ENTRY(gaugehdr) (gaugehdr),
#define GAUGE_TABLE_END() NULL}};
