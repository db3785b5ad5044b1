// A real-world terrain model read through GDAL: any raster elevation model
// GDAL reads (GeoTIFF, SRTM .hgt, ASCII grids, files inside zip archives),
// or a directory or archive of them mosaicked, so the simulated surface
// service can answer with real ground. The whole grid is held in memory.
//
// Heights are metres unless the band's unit type names another length
// (feet, US survey feet, km, ...); a unit that is not a length, and a
// raster without a single measured cell, are refused. A raster without a
// coordinate system is taken as WGS84 longitude and latitude in degrees
// (one that runs past 180 E is reached from either side of the
// antimeridian); any other is reached through a transformation from
// WGS84. Cell values lie at cell centres; elevations are bilinear between
// centres and held flat over the outer half cell. No-data cells are filled
// from their neighbours at load.
//
// Not part of the Windows build, which has no GDAL (TP_HAVE_GDAL is
// defined where it is).
#pragma once

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostsim/terrain.h"

namespace hostsim {

// A path that is missing or holds no raster GDAL can use; the message names
// the path and says what is wrong.
class TerrainFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class RasterTerrain : public Terrain {
public:
    // Grids beyond this many cells are refused rather than exhaust memory.
    static constexpr size_t kMaxCells = 150'000'000;

    // Reads the raster, directory or zip archive at path; throws TerrainFileError.
    static std::shared_ptr<const RasterTerrain> load(const std::string& path);

    // Bilinear between cell centres; 0 outside the data.
    double elevation_feet(double latitudeRad, double longitudeRad) const override;
    bool covers(double latitudeRad, double longitudeRad) const override;
    double elevation_metres(double latitudeDeg, double longitudeDeg) const;
    bool covers_degrees(double latitudeDeg, double longitudeDeg) const;

    // The middle of the grid, where a flight over the data can start.
    double centre_latitude() const { return centreLatitude_; }
    double centre_longitude() const { return centreLongitude_; }
    int width() const { return width_; }
    int height() const { return height_; }
    size_t voids_filled() const { return voidsFilled_; }
    // What was read: the path, its format, the grid and the filled cells.
    const std::string& description() const { return description_; }

    // A source's extent in the grid, in cells (0 is the western or northern edge).
    struct Window {
        double column0, row0, column1, row1;
    };
    struct Grid;  // what load() gathers from GDAL
    explicit RasterTerrain(Grid&& grid);
    ~RasterTerrain() override;

private:
    // Fractional cell coordinates (pixel-is-area: 0 is the western or
    // northern edge) of a WGS84 point; false when it cannot be transformed.
    bool to_pixel(double latitudeDeg, double longitudeDeg, double& column, double& row) const;
    bool inside(double column, double row) const;
    // to_pixel() where the point lies on the grid; false off it.
    bool locate(double latitudeDeg, double longitudeDeg, double& column, double& row) const;
    double cell(int row, int column) const { return metres_[static_cast<size_t>(row) * width_ + column]; }

    int width_ = 0, height_ = 0;
    std::vector<float> metres_;
    double inverse_[6] = {};  // georeferenced x, y to pixel, line
    // The cells each mosaicked source fills (one window for a single
    // raster): what lies outside them has no data.
    std::vector<Window> windows_;
    void* toRaster_ = nullptr;  // OGRCoordinateTransformationH, null when the raster is WGS84 degrees
    mutable std::mutex transformLock_;  // a transformation is not safe to share between threads
    size_t voidsFilled_ = 0;
    double centreLatitude_ = 0, centreLongitude_ = 0;
    std::string description_;
};

}  // namespace hostsim
