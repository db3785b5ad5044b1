// The layouts, as offsets ahead of and to the right of the aircraft, so a
// frame costs one rotation per point.
#include "layout.h"

#include <cmath>
#include <cstdio>

#include "hostsim/terrain.h"

namespace probe {
namespace {

using hostsim::radians;

constexpr double kFanHalfWidthDeg = 40.0;


// Bearing of point i of n, relative to the heading: spread evenly across
// the fan, straight ahead for a single point.
double fan_offset_deg(int i, int n) { return n == 1 ? 0.0 : -kFanHalfWidthDeg + 2.0 * kFanHalfWidthDeg * i / (n - 1); }

const char* layout_name(Layout layout) {
    switch (layout) {
    case Layout::Line: return "line";
    case Layout::Grid: return "grid";
    default: return "fan";
    }
}

}  // namespace

Probes Probes::around(Layout layout, int count, double rangeKm) {
    Probes probes;
    probes.layout_ = layout;
    probes.rangeKm_ = rangeKm;
    double range = rangeKm * 1000.0;
    int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    for (int i = 0; i < count; ++i) {
        switch (layout) {
        case Layout::Fan: {
            double off = radians(fan_offset_deg(i, count));
            probes.offsets_.push_back({range * std::cos(off), range * std::sin(off)});
            break;
        }
        case Layout::Line: probes.offsets_.push_back({range * (i + 1) / count, 0.0}); break;
        case Layout::Grid:
            probes.offsets_.push_back({range * (i / side + 0.5) / side, range * ((i % side + 0.5) / side - 0.5)});
            break;
        }
    }
    return probes;
}

Probes Probes::fixed(const std::vector<FilePoint>& points) {
    Probes probes;
    for (const FilePoint& point : points) probes.fixed_.push_back(point.position);
    return probes;
}

void Probes::place(const Aircraft& aircraft, std::vector<Position>& out) const {
    if (!moving()) {
        out = fixed_;
        return;
    }
    out.resize(offsets_.size());
    double c = std::cos(radians(aircraft.headingDeg)), s = std::sin(radians(aircraft.headingDeg));
    // A metre's degrees at the aircraft's latitude, for all its points.
    double degPerMNorth, degPerMEast;
    degrees_per_metre(aircraft.position, degPerMNorth, degPerMEast);
    for (size_t i = 0; i < offsets_.size(); ++i) {
        const Offset& o = offsets_[i];
        out[i] = on_the_globe({aircraft.position.latitudeDeg + (o.aheadM * c - o.rightM * s) * degPerMNorth,
                               aircraft.position.longitudeDeg + (o.aheadM * s + o.rightM * c) * degPerMEast,
                               aircraft.position.altitudeFt});
    }
}

std::string Probes::describe() const {
    char text[160];
    const char* noun = count() == 1 ? "point" : "points";
    if (!moving()) {
        std::snprintf(text, sizeof text, "%d %s fixed, from the points file", count(), noun);
        return text;
    }
    switch (layout_) {
    case Layout::Fan:
        std::snprintf(text, sizeof text, "%d %s in a fan %.3g km ahead of the aircraft", count(), noun, rangeKm_);
        break;
    case Layout::Line:
        std::snprintf(text, sizeof text, "%d %s in a line along the track to %.3g km ahead", count(), noun, rangeKm_);
        break;
    case Layout::Grid:
        std::snprintf(text, sizeof text, "%d %s in a grid %.3g km square ahead", count(), noun, rangeKm_);
        break;
    }
    return std::string(text) + " (" + layout_name(layout_) + ")";
}

}  // namespace probe
