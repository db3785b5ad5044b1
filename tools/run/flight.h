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
    int line = 0;      // where it came from, for messages
    std::string name;  // "" where the file names none
};

class Flight {
public:
    // North-east at 250 knots and 10000 ft from the given place.
    static Flight straight(double startLatitudeDeg, double startLongitudeDeg);
    // Interpolated between the points, held at the first before it and at
    // the last after it; the heading is that of the leg flown. A leg goes
    // the short way round, across the antimeridian where that is shorter.
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
// The same from the file's bytes; name is its path, for messages.
std::vector<RoutePoint> parse_route_csv(const std::string& bytes, const std::string& name);

// Flat-earth steps, good for the few tens of kilometres a layout spans;
// they take the short way across the antimeridian, and the positions they
// give are on the globe, their longitudes in -180..180 (180 itself as -180).
Position moved(const Position& from, double northM, double eastM);
double bearing_deg(const Position& from, const Position& to);
double distance_m(const Position& from, const Position& to);
// The degrees of latitude and of longitude a metre north and a metre east
// of a position span.
void degrees_per_metre(const Position& at, double& north, double& east);
double wrapped_longitude(double degrees);
// A position stepped past a pole comes down the other side, half the
// world round; its longitude wrapped.
Position on_the_globe(Position p);
// East from one longitude to another, the short way round: -180..180.
double longitude_difference(double fromDeg, double toDeg);

}  // namespace probe
