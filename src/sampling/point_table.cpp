// Building, reading and freeing the point table.
#include "sampling/point_table.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "module/module_state.h"

namespace {

constexpr const char* kPrefixes[4] = {"WZPointLat_", "WZPointLon_", "WZPointAlt_", "WZPointElevation_"};

int64_t* count_slot(const TerrainPoint* points) {
    return reinterpret_cast<int64_t*>(const_cast<TerrainPoint*>(points)) - 1;
}

// Writes i in decimal, without sign or leading zeros; i has at most 5 digits.
void format_index(char (&digits)[6], int32_t i) {
    char reversed[6];
    int n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + i % 10);
        i /= 10;
    } while (i > 0);
    for (int k = 0; k < n; ++k) digits[k] = reversed[n - 1 - k];
    digits[n] = '\0';
}

// The point's records start zeroed, so each name is formed in place.
void attach_point(TerrainPoint& point, PointIds& ids, int32_t index) {
    char digits[6];
    format_index(digits, index);
    NamedVar* records[4] = {&point.lat, &point.lon, &point.alt, &point.elevation};
    for (int r = 0; r < 4; ++r) {
        std::strcat(std::strcpy(records[r]->name, kPrefixes[r]), digits);
        attach_named(*records[r]);
    }
    ids = {point.lat.id, point.lon.id, point.alt.id, point.elevation.id};
}

PointIds* ids_after(TerrainPoint* points, int64_t count) { return reinterpret_cast<PointIds*>(points + count); }

}  // namespace

int build_point_table() {
    int32_t n = load(g_module.pointCount);
    if (n < 1) return 0;
    if (n > kMaxPoints) n = kMaxPoints;
    void* block = std::malloc(sizeof(int64_t) + static_cast<size_t>(n) * (sizeof(TerrainPoint) + sizeof(PointIds)));
    if (!block) return 0;
    *static_cast<int64_t*>(block) = n;
    auto* points = reinterpret_cast<TerrainPoint*>(static_cast<int64_t*>(block) + 1);
    PointIds* ids = ids_after(points, n);
    // Each point is made and attached while its 1088 bytes are in cache:
    // one pass over the block instead of two, since the table's memory
    // traffic is a good part of its build. The table is published whole,
    // so no reader can meet a record not yet made.
    for (int32_t i = 0; i < n; ++i) attach_point(*new (&points[i]) TerrainPoint, ids[i], i);
    store(g_module.points, points);
    return 1;
}

void free_table(TerrainPoint* points) {
    if (points) std::free(count_slot(points));
}

void free_point_table() {
    free_table(load(g_module.points));
    store(g_module.points, static_cast<TerrainPoint*>(nullptr));
}
