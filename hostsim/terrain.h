// Terrain models behind the simulated surface service: the ground
// elevation in feet under a latitude and longitude in radians.
#pragma once

#include <algorithm>
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

// A grid's value at a position counted in cells from its west and north
// edges: each value lies at its cell's centre, bilinear between centres and
// flat over the outer half cell. cell(row, column) reads the grid.
template <typename Cell>
double bilinear_at_centres(double column, double row, int width, int height, const Cell& cell) {
    double x = std::clamp(column - 0.5, 0.0, static_cast<double>(width - 1));
    double y = std::clamp(row - 0.5, 0.0, static_cast<double>(height - 1));
    int c0 = std::max(0, std::min(static_cast<int>(x), width - 2)), c1 = std::min(c0 + 1, width - 1);
    int r0 = std::max(0, std::min(static_cast<int>(y), height - 2)), r1 = std::min(r0 + 1, height - 1);
    double fx = x - c0, fy = y - r0;
    double top = cell(r0, c0) * (1 - fx) + cell(r0, c1) * fx;
    double bottom = cell(r1, c0) * (1 - fx) + cell(r1, c1) * fx;
    return top * (1 - fy) + bottom * fy;
}

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
