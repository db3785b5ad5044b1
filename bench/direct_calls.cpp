// The direct point calls, built as a shared library of their own.
#include "direct_calls.h"

namespace bench {

void sample_directly(const DirectTarget& target, const PointIds* points, size_t count) {
    float slot = 0.0f;
    for (size_t k = 0; k < count; ++k) {
        const PointIds& point = points[k];
        P3D::GeoPosition position;
        position.longitude = target.getTyped(point.lon, target.radians);
        position.altitude = target.getTyped(point.alt, target.feet);
        position.latitude = target.getTyped(point.lat, target.radians);
        target.surface->QueryElevation(&slot, &position);
        target.setTyped(point.elevation, static_cast<double>(slot), target.feet);
    }
}

}  // namespace bench
