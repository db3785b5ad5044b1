// Gauges that misbehave as a user's gauge may, built against the SDK
// stand-in into a module of their own: one crashes at its first frame, one
// throws at its installation, and one asks for what the host does not
// provide (an aircraft variable, a unit, a panel entry) and goes on.
#include <gauges.h>

#include <stdexcept>

namespace {

ID seen = -1;

// Keeps the compiler from proving the write faults and dropping it.
volatile int* volatile g_nowhere = nullptr;

void FSAPI crash_callback(PGAUGEHDR, SINT32 service, UINT_PTR) {
    if (service == PANEL_SERVICE_PRE_UPDATE) *g_nowhere = 1;
}

void FSAPI throw_callback(PGAUGEHDR, SINT32 service, UINT_PTR) {
    if (service == PANEL_SERVICE_PRE_INSTALL) throw std::runtime_error("no such panel");
}

void FSAPI asking_callback(PGAUGEHDR, SINT32 service, UINT_PTR) {
    if (service != PANEL_SERVICE_PRE_UPDATE) return;
    ENUM speed = get_aircraft_var_enum("AIRSPEED INDICATED");
    ENUM furlongs = get_units_enum("furlongs");
    if (seen < 0) seen = register_named_variable("Asking_Value");
    set_named_variable_value(seen, aircraft_varget(speed, furlongs, 0) + 1.0);
    get_name_of_named_variable(seen);
}

}  // namespace

// One image for the three: the header routines forward the first gauge's.
extern PELEMENT_HEADER faulty_list;
MOUSE_BEGIN(faulty_mouse, HELP_NONE, 0, 0)
MOUSE_END

#define GAUGEHDR_VAR_NAME gaugehdr_crash
char crash_name[] = "crash";
GAUGE_HEADER_FS700(1, crash_name, &faulty_list, faulty_mouse, crash_callback, 0, 0, 0);
MAKE_STATIC(faulty_image, 0x100, NULL, NULL, IMAGE_USE_TRANSPARENCY, 0, 0, 0)
PELEMENT_HEADER faulty_list = &faulty_image.header;
#undef GAUGEHDR_VAR_NAME

#define GAUGEHDR_VAR_NAME gaugehdr_throw
char throw_name[] = "throw";
GAUGE_HEADER_FS700(1, throw_name, &faulty_list, faulty_mouse, throw_callback, 0, 0, 0);
#undef GAUGEHDR_VAR_NAME

#define GAUGEHDR_VAR_NAME gaugehdr_asking
char asking_name[] = "asking";
GAUGE_HEADER_FS700(1, asking_name, &faulty_list, faulty_mouse, asking_callback, 0, 0, 0);
#undef GAUGEHDR_VAR_NAME

GAUGE_TABLE_BEGIN()
GAUGE_TABLE_ENTRY(&gaugehdr_crash)
GAUGE_TABLE_ENTRY(&gaugehdr_throw)
GAUGE_TABLE_ENTRY(&gaugehdr_asking)
GAUGE_TABLE_END()
