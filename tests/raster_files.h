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

struct RasterLayout {
    int width = 4, height = 4;
    // The north-west corner of the grid and the size of a cell, in the
    // raster's coordinates (degrees, or metres for a projected system).
    double west = 11, north = 48, cellX = 0.25, cellY = 0.25;
    std::function<double(int row, int column)> value = [](int, int) { return 0.0; };
    int epsg = 0;  // 0: no coordinate system
    std::optional<double> noData;
    std::string unit;
};

inline void fill(GDALDatasetH dataset, const RasterLayout& layout) {
    double transform[6] = {layout.west, layout.cellX, 0, layout.north, 0, -layout.cellY};
    GDALSetGeoTransform(dataset, transform);
    if (layout.epsg) {
        OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
        OSRImportFromEPSG(srs, layout.epsg);
        GDALSetSpatialRef(dataset, srs);
        OSRDestroySpatialReference(srs);
    }
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    if (layout.noData) GDALSetRasterNoDataValue(band, *layout.noData);
    if (!layout.unit.empty()) GDALSetRasterUnitType(band, layout.unit.c_str());
    std::vector<float> cells(static_cast<size_t>(layout.width) * layout.height);
    for (int r = 0; r < layout.height; ++r)
        for (int c = 0; c < layout.width; ++c) cells[static_cast<size_t>(r) * layout.width + c] = static_cast<float>(layout.value(r, c));
    if (GDALRasterIO(band, GF_Write, 0, 0, layout.width, layout.height, cells.data(), layout.width, layout.height,
                     GDT_Float32, 0, 0) != CE_None)
        throw std::runtime_error("cannot write the test raster's cells");
}

// Writes a raster of that layout to path with the GDAL driver named (GTiff, AAIGrid, SRTMHGT,
// ...): GeoTIFFs directly, the others as copies of an in-memory grid, as
// the drivers that cannot create files require. Throws when GDAL refuses.
inline void write_raster(const std::string& driverName, const std::string& path, const RasterLayout& layout,
                         GDALDataType type = GDT_Float32) {
    GDALAllRegister();
    if (driverName == "GTiff") {
        GDALDatasetH file = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), layout.width, layout.height, 1, type, nullptr);
        fill(file, layout);
        GDALClose(file);
        return;
    }
    GDALDatasetH grid = GDALCreate(GDALGetDriverByName("MEM"), "", layout.width, layout.height, 1, type, nullptr);
    fill(grid, layout);
    GDALDatasetH copy = GDALCreateCopy(GDALGetDriverByName(driverName.c_str()), path.c_str(), grid, FALSE, nullptr,
                                       nullptr, nullptr);
    GDALClose(grid);
    if (!copy) throw std::runtime_error("GDAL's " + driverName + " driver cannot write " + path);
    GDALClose(copy);
}

}  // namespace tp_test
