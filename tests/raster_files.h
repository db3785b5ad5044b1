// Small elevation rasters written through GDAL for the terrain tests: a
// grid built in memory, then created or copied into the format under test.
#pragma once

#include <gdal.h>
#include <ogr_srs_api.h>

#include <functional>
#include <vector>
#include <optional>
#include <stdexcept>
#include <string>

namespace tp_test {

struct RasterSpec {
    int width = 4, height = 4;
    // The north-west corner of the grid and the size of a cell, in the
    // raster's coordinates (degrees, or metres for a projected system).
    double west = 11, north = 48, cellX = 0.25, cellY = 0.25;
    std::function<double(int row, int column)> value = [](int, int) { return 0.0; };
    int epsg = 0;  // 0: no coordinate system
    std::optional<double> noData;
    std::string unit;
};

inline void fill(GDALDatasetH dataset, const RasterSpec& spec) {
    double transform[6] = {spec.west, spec.cellX, 0, spec.north, 0, -spec.cellY};
    GDALSetGeoTransform(dataset, transform);
    if (spec.epsg) {
        OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
        OSRImportFromEPSG(srs, spec.epsg);
        GDALSetSpatialRef(dataset, srs);
        OSRDestroySpatialReference(srs);
    }
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    if (spec.noData) GDALSetRasterNoDataValue(band, *spec.noData);
    if (!spec.unit.empty()) GDALSetRasterUnitType(band, spec.unit.c_str());
    std::vector<float> cells(static_cast<size_t>(spec.width) * spec.height);
    for (int r = 0; r < spec.height; ++r)
        for (int c = 0; c < spec.width; ++c) cells[static_cast<size_t>(r) * spec.width + c] = static_cast<float>(spec.value(r, c));
    if (GDALRasterIO(band, GF_Write, 0, 0, spec.width, spec.height, cells.data(), spec.width, spec.height,
                     GDT_Float32, 0, 0) != CE_None)
        throw std::runtime_error("cannot write the test raster's cells");
}

// Writes spec to path with the GDAL driver named (GTiff, AAIGrid, SRTMHGT,
// ...): GeoTIFFs directly, the others as copies of an in-memory grid, as
// the drivers that cannot create files require. Throws when GDAL refuses.
inline void write_raster(const std::string& driverName, const std::string& path, const RasterSpec& spec,
                         GDALDataType type = GDT_Float32) {
    GDALAllRegister();
    if (driverName == "GTiff") {
        GDALDatasetH file = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), spec.width, spec.height, 1, type, nullptr);
        fill(file, spec);
        GDALClose(file);
        return;
    }
    GDALDatasetH grid = GDALCreate(GDALGetDriverByName("MEM"), "", spec.width, spec.height, 1, type, nullptr);
    fill(grid, spec);
    GDALDatasetH copy = GDALCreateCopy(GDALGetDriverByName(driverName.c_str()), path.c_str(), grid, FALSE, nullptr,
                                       nullptr, nullptr);
    GDALClose(grid);
    if (!copy) throw std::runtime_error("GDAL's " + driverName + " driver cannot write " + path);
    GDALClose(copy);
}

}  // namespace tp_test
