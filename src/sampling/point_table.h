// PointTable: the probe points, one heap block holding a signed 64-bit count
// followed by that many TerrainPoint records. ModuleState points at the
// first record; the count sits just before it. Every reader keeps below the
// stored count, whatever the module's point count says later.
#pragma once

#include "sampling/named_var.h"

struct TerrainPoint {
    NamedVar lat;
    NamedVar lon;
    NamedVar alt;
    NamedVar elevation;
};
TP_PIN_SIZE(TerrainPoint, 1088);

// Indices need at most five digits, so names stay within their buffers.
constexpr int32_t kMaxPoints = 100000;

// Builds the table for the module's point count and attaches every point's
// variables. 1 when built; 0 when the count is below 1 or the block cannot
// be allocated, in which case nothing changes.
int build_point_table();
void free_point_table();

// The count stored in the table's block; 0 without a table.
int64_t table_count(const TerrainPoint* points);
// Points that may be used now: the smaller of the two counts.
int32_t usable_points(const TerrainPoint* points);
