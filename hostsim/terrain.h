// Terrain models behind the simulated surface service: the ground
// elevation in feet under a latitude and longitude in radians.
#pragma once

#include <memory>

namespace hostsim {

// Whether this build reads terrain files (RasterTerrain, through GDAL).
#if defined(TP_HAVE_GDAL)
constexpr bool kTerrainFilesAvailable = true;
#else
constexpr bool kTerrainFilesAvailable = false;
#endif

// Terrain models take radians; their users mostly think in degrees.
constexpr double kPi = 3.14159265358979323846;
constexpr double radians(double degrees) { return degrees * kPi / 180.0; }
constexpr double degrees(double radians) { return radians * 180.0 / kPi; }

class Terrain {
public:
    virtual ~Terrain() = default;
    virtual double elevation_feet(double latitudeRad, double longitudeRad) const = 0;
    // Whether the model has data at the point. The built-in models cover the
    // whole earth; a raster covers its extent, edges included.
    virtual bool covers(double latitudeRad, double longitudeRad) const {
        (void)latitudeRad;
        (void)longitudeRad;
        return true;
    }
};

// Level ground at one height.
std::shared_ptr<const Terrain> flat_terrain(double feet);
// Smooth synthetic relief: ridges, peaks and valleys between sea level and
// about 9000 ft, varying over a few kilometres, the same everywhere it is made.
std::shared_ptr<const Terrain> relief_terrain();

}  // namespace hostsim
