// Terrain from an ESRI ASCII grid (.asc), read without GDAL: the terrain
// files of the Windows build, which has no GDAL. It models the grid as the
// native build's raster terrain does: WGS84 degrees, heights in metres,
// values at cell centres, bilinear between them and flat over the outer
// half cell, no-data cells filled from their neighbours ring by ring.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostsim/terrain.h"

namespace hostsim {

// A file that is missing or not an ASCII grid; the message names it.
class AsciiGridError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class AsciiGridTerrain : public Terrain {
public:
    static std::shared_ptr<const AsciiGridTerrain> load(const std::string& path);
    // Whether the path names a file this reader takes (by its extension).
    static bool reads(const std::string& path);

    double elevation_feet(double latitudeRad, double longitudeRad) const override;
    bool covers(double latitudeRad, double longitudeRad) const override;
    double centre_latitude() const { return south_ + rows_ * cell_ / 2; }
    double centre_longitude() const { return west_ + columns_ * cell_ / 2; }
    const std::string& description() const { return description_; }

private:
    double at(int row, int column) const { return metres_[static_cast<size_t>(row) * columns_ + column]; }

    int columns_ = 0, rows_ = 0;
    double west_ = 0, south_ = 0, cell_ = 0;  // the grid's outer edges, degrees
    std::vector<float> metres_;               // row 0 is the northern one
    std::string description_;
};

}  // namespace hostsim
