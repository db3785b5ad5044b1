// A real-world terrain model: one SRTM height tile (an .hgt file), so the
// simulated surface service can answer with real ground.
//
// A tile covers one degree of latitude and longitude. Its file name gives
// the south-west corner (N47E011.hgt spans 47..48 N, 11..12 E); the file is
// a square grid of big-endian signed 16-bit heights in metres, 1201 x 1201
// (3 arc-seconds) or 3601 x 3601 (1 arc-second), the northern row first and
// the western column first in each row. Rows and columns overlap the
// neighbouring tiles by one sample.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostsim/terrain.h"

namespace hostsim {

// A file that is missing, misnamed or not an SRTM tile; the message says which.
class TerrainFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SrtmTerrain : public Terrain {
public:
    // Cells holding this value have no measurement.
    static constexpr int16_t kVoid = -32768;

    // Reads the tile at path; throws TerrainFileError.
    static std::shared_ptr<const SrtmTerrain> load(const std::string& path);

    // Bilinear between the four samples around the point; 0 outside the tile.
    double elevation_feet(double latitudeRad, double longitudeRad) const override;
    double elevation_metres(double latitudeDeg, double longitudeDeg) const;
    bool covers(double latitudeDeg, double longitudeDeg) const;

    int south() const { return south_; }
    int west() const { return west_; }
    int samples_per_side() const { return side_; }
    // Void cells that were filled from their neighbours at load.
    size_t voids_filled() const { return voidsFilled_; }
    std::string name() const;

    SrtmTerrain(int south, int west, int side, const std::vector<int16_t>& heights);

private:
    double sample(int row, int column) const { return metres_[static_cast<size_t>(row) * side_ + column]; }

    int south_, west_, side_;
    std::vector<float> metres_;
    size_t voidsFilled_ = 0;
};

}  // namespace hostsim
