// NamedVar: one host named variable as the module holds it, and attaching a
// record to the variable of a name. Records are plain data; the module never
// unregisters a variable.
#pragma once

#include "host/abi.h"

constexpr int kNameCapacity = 260;

#pragma pack(push, 4)
struct NamedVar {
    int32_t id = -1;
    char name[kNameCapacity] = {};
    double value = 0.0;
};
#pragma pack(pop)
TP_PIN_SIZE(NamedVar, 272);
TP_PIN_OFFSET(NamedVar, name, 4);
TP_PIN_OFFSET(NamedVar, value, 264);

// Binds the record to the variable of that name, sharing one that another
// gauge registered already, and reads its current value.
void attach(NamedVar& var, const char* name);
// The same for a record whose name buffer already holds the name.
void attach_named(NamedVar& var);
