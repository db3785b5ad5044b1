// Attaching NamedVar records: look up before register, so a variable that
// another gauge made first is shared, never created twice.
#include "sampling/named_var.h"

#include <cstring>

#include "host/panel_calls.h"

void attach(NamedVar& var, const char* name) {
    std::strncpy(var.name, name, kNameCapacity - 1);
    var.name[kNameCapacity - 1] = '\0';
    attach_named(var);
}

void attach_named(NamedVar& var) {
    int32_t id = panel::check_var(var.name);
    if (id == 0) id = panel::register_var(var.name);
    var.id = id;
    var.value = panel::get(id);
}
