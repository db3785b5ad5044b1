// Attaching NamedVar records to the host's variables, so that a variable
// another gauge made first is shared, never created twice.
#include "sampling/named_var.h"

#include <cstring>

#include "host/panel_calls.h"

void attach(NamedVar& var, const char* name) {
    std::strncpy(var.name, name, kNameCapacity - 1);
    var.name[kNameCapacity - 1] = '\0';
    attach_named(var);
}

// Entry 50 first, entry 49 only when it answered 0. On the host as its SDK
// publishes it, 50 registers and answers the id the name already has, so the
// first call attaches every variable, one of id 0 included: 49 then looks
// the name up and answers the same 0. On a host that numbers variables from
// 1, looks up at 50 (0 when absent) and registers at 49, the same two calls
// are look-up then register. Either way a shared variable keeps its id.
void attach_named(NamedVar& var) {
    int32_t id = panel::register_var(var.name);
    if (id == 0) id = panel::check_var(var.name);
    var.id = id;
    var.value = panel::get(id);
}
