// Where the aircraft is at each moment of a run: the default straight
// flight, or a route from a file flown between its points.
#pragma once

#include <string>
#include <vector>

#include "points_csv.h"

namespace probe {

struct Aircraft {
    Position position;
    double headingDeg = 0;  // true, clockwise from north
};

struct RoutePoint {
    double seconds;
    Position position;
};

class Flight {
public:
    // North-east at 250 knots and 10000 ft from the given place.
    static Flight straight(double startLatitudeDeg, double startLongitudeDeg);
    // Interpolated between the points, held at the first before it and at
    // the last after it; the heading is that of the leg flown.
    static Flight route(std::vector<RoutePoint> points, std::string name);

    Aircraft at(double seconds) const;
    std::string describe() const;

private:
    std::vector<RoutePoint> route_;  // empty: the straight flight
    Position start_;
    std::string name_;
};

// Throws FileError: at least two points, times increasing.
std::vector<RoutePoint> read_route_csv(const std::string& path);

// Flat-earth steps, good for the few tens of kilometres a layout spans.
Position moved(const Position& from, double northM, double eastM);
double bearing_deg(const Position& from, const Position& to);
double distance_m(const Position& from, const Position& to);

}  // namespace probe
