// The default flight and its fan of probe points. Distances of a few
// kilometres allow the flat-earth step from metres to degrees.
#include "flight.h"

#include <cmath>
#include <cstdio>

namespace probe {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadiusM = 6371000.0;
constexpr double kHeadingDeg = 60.0;
constexpr double kSpeedMps = 250.0 * 1852.0 / 3600.0;  // 250 knots
constexpr double kAltitudeFt = 10000.0;
constexpr double kFanRadiusM = 2000.0;
constexpr double kFanHalfWidthDeg = 40.0;

double radians(double degrees) { return degrees * kPi / 180.0; }

Position moved(const Position& from, double bearingDeg, double metres) {
    Position to = from;
    double north = metres * std::cos(radians(bearingDeg));
    double east = metres * std::sin(radians(bearingDeg));
    to.latitudeDeg += north / kEarthRadiusM * 180.0 / kPi;
    to.longitudeDeg += east / (kEarthRadiusM * std::cos(radians(from.latitudeDeg))) * 180.0 / kPi;
    return to;
}

// Bearing of point i of n, relative to the heading: spread evenly across
// the fan, straight ahead for a single point.
double fan_offset(int i, int n) {
    return n == 1 ? 0.0 : -kFanHalfWidthDeg + 2.0 * kFanHalfWidthDeg * i / (n - 1);
}

}  // namespace

Probes Probes::fan(int count, double startLatitudeDeg, double startLongitudeDeg) {
    Probes probes;
    probes.count_ = count;
    probes.moving_ = true;
    probes.start_ = {startLatitudeDeg, startLongitudeDeg, kAltitudeFt};
    return probes;
}

Probes Probes::fixed(const std::vector<FilePoint>& points) {
    Probes probes;
    probes.count_ = static_cast<int>(points.size());
    for (const FilePoint& point : points) probes.fixed_.push_back(point.position);
    return probes;
}

std::vector<Position> Probes::at(double seconds) const {
    if (!moving_) return fixed_;
    Position aircraft = moved(start_, kHeadingDeg, kSpeedMps * seconds);
    std::vector<Position> points;
    points.reserve(static_cast<size_t>(count_));
    for (int i = 0; i < count_; ++i) points.push_back(moved(aircraft, kHeadingDeg + fan_offset(i, count_), kFanRadiusM));
    return points;
}

std::string Probes::describe() const {
    char text[160];
    if (moving_)
        std::snprintf(text, sizeof text,
                      "%d in a fan 2 km ahead of an aircraft at %.4f, %.4f, heading %03.0f at 250 kt, %.0f ft", count_,
                      start_.latitudeDeg, start_.longitudeDeg, kHeadingDeg, kAltitudeFt);
    else
        std::snprintf(text, sizeof text, "%d fixed, from the points file", count_);
    return text;
}

}  // namespace probe
