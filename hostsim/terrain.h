// Terrain models behind the simulated surface service: the ground
// elevation in feet under a latitude and longitude in radians.
#pragma once

#include <memory>

namespace hostsim {

class Terrain {
public:
    virtual ~Terrain() = default;
    virtual double elevation_feet(double latitudeRad, double longitudeRad) const = 0;
};

// Level ground at one height.
std::shared_ptr<const Terrain> flat_terrain(double feet);
// Smooth synthetic relief: ridges, peaks and valleys between sea level and
// about 9000 ft, varying over a few kilometres, the same everywhere it is made.
std::shared_ptr<const Terrain> relief_terrain();

}  // namespace hostsim
