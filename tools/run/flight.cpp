// The aircraft's track.
#include "flight.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "csv_records.h"
#include "hostsim/terrain.h"

namespace probe {
namespace {

using hostsim::degrees;
using hostsim::radians;

constexpr double kEarthRadiusM = 6371000.0;
constexpr double kHeadingDeg = 60.0;
constexpr double kSpeedMps = 250.0 * 1852.0 / 3600.0;  // 250 knots
constexpr double kAltitudeFt = 10000.0;


// Metres north and east from one position to another.
void offset_m(const Position& from, const Position& to, double& north, double& east) {
    north = radians(to.latitudeDeg - from.latitudeDeg) * kEarthRadiusM;
    east = radians(longitude_difference(from.longitudeDeg, to.longitudeDeg)) * kEarthRadiusM *
           std::cos(radians(from.latitudeDeg));
}

Position between(const Position& a, const Position& b, double f) {
    return {a.latitudeDeg + (b.latitudeDeg - a.latitudeDeg) * f,
            wrapped_longitude(a.longitudeDeg + longitude_difference(a.longitudeDeg, b.longitudeDeg) * f),
            a.altitudeFt + (b.altitudeFt - a.altitudeFt) * f};
}

}  // namespace

double wrapped_longitude(double degrees) {
    double turn = std::fmod(degrees + 180.0, 360.0);
    if (turn < 0) turn += 360.0;
    return turn >= 360.0 ? -180.0 : turn - 180.0;
}

double longitude_difference(double fromDeg, double toDeg) { return wrapped_longitude(toDeg - fromDeg); }

Position on_the_globe(Position p) {
    if (p.latitudeDeg > 90.0) p.latitudeDeg = 180.0 - p.latitudeDeg, p.longitudeDeg += 180.0;
    if (p.latitudeDeg < -90.0) p.latitudeDeg = -180.0 - p.latitudeDeg, p.longitudeDeg += 180.0;
    p.latitudeDeg = std::clamp(p.latitudeDeg, -90.0, 90.0);
    p.longitudeDeg = wrapped_longitude(p.longitudeDeg);
    return p;
}

void degrees_per_metre(const Position& at, double& north, double& east) {
    north = degrees(1.0 / kEarthRadiusM);
    // At a pole itself east has no direction: a step there stays finite.
    east = degrees(1.0 / (kEarthRadiusM * std::max(std::cos(radians(at.latitudeDeg)), 1e-9)));
}

Position moved(const Position& from, double northM, double eastM) {
    double north, east;
    degrees_per_metre(from, north, east);
    return on_the_globe({from.latitudeDeg + northM * north, from.longitudeDeg + eastM * east, from.altitudeFt});
}

double bearing_deg(const Position& from, const Position& to) {
    double north, east;
    offset_m(from, to, north, east);
    double bearing = degrees(std::atan2(east, north));
    return bearing < 0 ? bearing + 360.0 : bearing;
}

double distance_m(const Position& from, const Position& to) {
    double north, east;
    offset_m(from, to, north, east);
    return std::hypot(north, east);
}

Flight Flight::straight(double startLatitudeDeg, double startLongitudeDeg) {
    Flight flight;
    flight.start_ = {startLatitudeDeg, startLongitudeDeg, kAltitudeFt};
    return flight;
}

Flight Flight::route(std::vector<RoutePoint> points, std::string name) {
    Flight flight;
    flight.route_ = std::move(points);
    flight.start_ = flight.route_.front().position;
    flight.name_ = std::move(name);
    return flight;
}

Aircraft Flight::at(double seconds) const {
    if (route_.empty()) {
        double metres = kSpeedMps * seconds;
        return {moved(start_, metres * std::cos(radians(kHeadingDeg)), metres * std::sin(radians(kHeadingDeg))),
                kHeadingDeg};
    }
    size_t leg = 1;
    while (leg + 1 < route_.size() && route_[leg].seconds <= seconds) ++leg;
    const RoutePoint& a = route_[leg - 1];
    const RoutePoint& b = route_[leg];
    double f = std::clamp((seconds - a.seconds) / (b.seconds - a.seconds), 0.0, 1.0);
    return {between(a.position, b.position, f), bearing_deg(a.position, b.position)};
}

std::string Flight::describe() const {
    char text[200];
    if (route_.empty())
        std::snprintf(text, sizeof text, "from %.4f, %.4f heading %03.0f at 250 kt and %.0f ft", start_.latitudeDeg,
                      start_.longitudeDeg, kHeadingDeg, kAltitudeFt);
    else
        std::snprintf(text, sizeof text, "the route %s (%zu points, %.0f s)", name_.c_str(), route_.size(),
                      route_.back().seconds - route_.front().seconds);
    return text;
}

std::vector<RoutePoint> read_route_csv(const std::string& path) {
    return parse_route_csv(read_csv_file(path, "route file"), path);
}

std::vector<RoutePoint> parse_route_csv(const std::string& bytes, const std::string& path) {
    std::vector<RoutePoint> route;
    for (const CsvRecord& r : read_records(parse_csv(bytes, path, "route file"), path, RecordKind::RoutePoint)) {
        RoutePoint p{r.seconds, {r.latitudeDeg, r.longitudeDeg, r.altitudeFt}, r.line, r.name};
        if (!route.empty() && p.seconds <= route.back().seconds) {
            char time[48];
            std::snprintf(time, sizeof time, "%.10g s", p.seconds);
            LineError(path, r.line).raise(std::string("time ") + time + " does not come after the line before's");
        }
        route.push_back(p);
    }
    if (route.size() < 2)
        throw FileError("route file " + path + " needs at least two points (time,latitude,longitude,altitude)");
    return route;
}

}  // namespace probe
