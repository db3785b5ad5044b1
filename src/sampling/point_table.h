// PointTable: the probe points, one heap block holding a signed 64-bit count
// followed by that many TerrainPoint records, and after them each point's
// four variable ids side by side. ModuleState points at the first record;
// the count sits just before it. Every reader keeps below the stored count,
// whatever the module's point count says later.
#pragma once

#include "module/module_state.h"
#include "sampling/named_var.h"

struct TerrainPoint {
    NamedVar lat;
    NamedVar lon;
    NamedVar alt;
    NamedVar elevation;
};
TP_PIN_SIZE(TerrainPoint, 1088);

// A point's ids as the worker reads them every cycle: one 16-byte entry
// where the records would cost a cache line each.
struct PointIds {
    int32_t lat;
    int32_t lon;
    int32_t alt;
    int32_t elevation;
};
TP_PIN_SIZE(PointIds, 16);

// Indices need at most five digits, so names stay within their buffers.
constexpr int32_t kMaxPoints = 100000;

// Builds the table for the module's point count and attaches every point's
// variables. 1 when built; 0 when the count is below 1 or the block cannot
// be allocated, in which case nothing changes.
int build_point_table();
void free_point_table();
// Frees a table that is no longer the module's (one left to a worker).
void free_table(TerrainPoint* points);

// The readers are inline: the worker asks for the usable count before
// every point, and a call per point is a measurable part of its cost.

// The count stored in the table's block; 0 without a table.
inline int64_t table_count(const TerrainPoint* points) {
    return points ? reinterpret_cast<const int64_t*>(points)[-1] : 0;
}
// Points that may be used now: the smaller of the two counts.
inline int32_t usable_points(const TerrainPoint* points) {
    int64_t stored = table_count(points);
    int32_t wanted = load(g_module.pointCount);
    return stored < wanted ? static_cast<int32_t>(stored) : wanted;
}
// The ids of the table's points, in point order; null without a table.
inline const PointIds* point_ids(const TerrainPoint* points) {
    return points ? reinterpret_cast<const PointIds*>(points + table_count(points)) : nullptr;
}
