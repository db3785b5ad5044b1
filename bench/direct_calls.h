// The point calls the worker cannot avoid, made directly, from a shared
// library of their own. A module calls its host from another image, and on
// this machine a call across images costs some 8% more than the same call
// within the host's executable: the same loop compiled into the bench read
// 1.085 against the module, the same loop loaded as a library 1.005. So the
// limit is measured from where the module's calls come from.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/panel_services.h"
#include "host/pdk.h"

namespace bench {

// The ids of one point's variables in the order the worker uses them.
struct PointIds {
    int32_t lon;
    int32_t alt;
    int32_t lat;
    int32_t elevation;
};

// The host's entries and units the calls go to.
struct DirectTarget {
    GetNamedVarTypedFn getTyped;
    SetNamedVarTypedFn setTyped;
    P3D::ISurfaceService* surface;
    int32_t radians;
    int32_t feet;
};

// One worker cycle's point calls: three typed reads, the elevation query
// and the typed write, for every point.
void sample_directly(const DirectTarget& target, const PointIds* points, size_t count);

}  // namespace bench
