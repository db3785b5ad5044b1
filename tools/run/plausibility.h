// Positions that cannot be what their author meant: points under the
// terrain model's ground, a route leg no aircraft flies, a latitude or
// longitude beyond the globe as the module reads it back. Each finding is
// one warning that names the points (the first few of many).
#pragma once

#include <string>
#include <vector>

#include "flight.h"
#include "hostsim/terrain.h"
#include "points_csv.h"

namespace probe {

// Above Mach 3 at sea level, in metres a second.
constexpr double kFastestMps = 3 * 340.29;

// "" when every point lies at or above the ground where the terrain has data.
std::string points_below_ground(const std::vector<FilePoint>& points, const hostsim::Terrain& terrain,
                                const std::string& path);
// The route's points under the ground, and its legs faster than kFastestMps.
std::vector<std::string> route_findings(const std::vector<RoutePoint>& route, const hostsim::Terrain& terrain,
                                        const std::string& path);
// A point's latitude or longitude as read back in degrees; "" when on the globe.
std::string beyond_globe(const std::string& variable, bool latitude, double degrees, const std::string& written);

}  // namespace probe
