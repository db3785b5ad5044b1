// The GDAL terrain model: where cell values lie in each format, bilinear
// interpolation, no-data cells, units and coordinate systems, archives and
// mosaics, the grid's edge, and the paths it refuses.
#include <gtest/gtest.h>

#include <cpl_conv.h>
#include <gdal_utils.h>

#include <cmath>
#include <utility>

#include "hostsim/raster_terrain.h"
#include "raster_files.h"
#include "scratch_files.h"

namespace {

using hostsim::RasterTerrain;
using tp_test::RasterLayout;
namespace fs = std::filesystem;

constexpr double kFootMetres = 0.3048;

// Not a plane, so that interpolation weights show.
double bumpy(int row, int column) { return 100 + 10 * row + 3 * column + (row * column % 3) * 7; }

class RasterTerrainTest : public ::testing::Test {
protected:
    void SetUp() override { dir = tp_test::scratch_directory("raster"); }
    void TearDown() override { fs::remove_all(dir); }

    std::string raster(const std::string& driver, const std::string& name, const RasterLayout& layout,
                       GDALDataType type = GDT_Float32) {
        std::string path = (dir / name).string();
        tp_test::write_raster(driver, path, layout, type);
        return path;
    }
    static std::string refusal(const std::string& path) {
        try {
            RasterTerrain::load(path);
        } catch (const hostsim::TerrainFileError& e) {
            return e.what();
        }
        return "accepted";
    }

    fs::path dir;
};

TEST_F(RasterTerrainTest, CellValuesLieAtCellCentresInEachFormat) {
    RasterLayout layout;
    layout.value = bumpy;
    for (const auto& [driver, name] : {std::pair{"GTiff", "dem.tif"}, std::pair{"AAIGrid", "dem.asc"}}) {
        auto t = RasterTerrain::load(raster(driver, name, layout));
        for (int r = 0; r < layout.height; ++r)
            for (int c = 0; c < layout.width; ++c)
                EXPECT_DOUBLE_EQ(t->elevation_metres(48 - (r + 0.5) * 0.25, 11 + (c + 0.5) * 0.25), bumpy(r, c))
                    << name << " " << r << "," << c;
        // Bilinear: a quarter of the way from centre (1,1) towards (2,2).
        double expected = 0.75 * 0.75 * bumpy(1, 1) + 0.25 * 0.75 * (bumpy(1, 2) + bumpy(2, 1)) + 0.0625 * bumpy(2, 2);
        EXPECT_NEAR(t->elevation_metres(48 - 1.75 * 0.25, 11 + 1.75 * 0.25), expected, 1e-9) << name;
        // Feet, from radians, right to a foot.
        EXPECT_NEAR(t->elevation_feet(hostsim::radians(48 - 0.625), hostsim::radians(11 + 0.375)), bumpy(2, 1) / kFootMetres, 1.0);
        // The outer half cell holds the edge value; beyond the grid is no data.
        EXPECT_DOUBLE_EQ(t->elevation_metres(47.99, 11.01), bumpy(0, 0));
        EXPECT_FALSE(t->covers_degrees(48.01, 11.5));
        EXPECT_EQ(t->elevation_metres(48.01, 11.5), 0.0);
    }

    // An SRTM tile's samples lie on whole degrees: its corners are the
    // corners of the tile, and a point on its edge reads the tile even after
    // a degrees-radians-degrees round trip (10.999999999999998 E).
    RasterLayout hgt;
    hgt.width = hgt.height = 1201;
    hgt.cellX = hgt.cellY = 1.0 / 1200;
    hgt.west = 11 - 0.5 / 1200, hgt.north = 48 + 0.5 / 1200;
    hgt.epsg = 4326;
    hgt.value = [](int r, int c) { return 100 + r + 2 * c; };
    auto tile = RasterTerrain::load(raster("SRTMHGT", "N47E011.hgt", hgt, GDT_Int16));
    EXPECT_DOUBLE_EQ(tile->elevation_metres(48, 11), 100);
    EXPECT_NEAR(tile->elevation_metres(47, 12), 100 + 1200 + 2400, 1e-6);
    double latitude = hostsim::radians(47.5), longitude = hostsim::radians(11.0);
    ASSERT_NE(hostsim::degrees(longitude), 11.0);
    EXPECT_TRUE(tile->covers(latitude, longitude));
    EXPECT_NEAR(tile->elevation_feet(latitude, longitude), (100 + 600) / kFootMetres, 1e-6);
    EXPECT_DOUBLE_EQ(tile->centre_latitude(), 47.5);
}

// A grid cut out across the antimeridian runs on past 180 E in its own
// longitudes; a point given at 179.9 W reads it there.
TEST_F(RasterTerrainTest, GridAcrossTheAntimeridianIsReadFromBothSides) {
    RasterLayout fiji;
    fiji.west = 179.5, fiji.north = -16, fiji.width = 4, fiji.height = 2;
    fiji.value = [](int, int c) { return 100.0 * c; };
    auto grid = RasterTerrain::load(raster("AAIGrid", "fiji.asc", fiji));
    EXPECT_DOUBLE_EQ(grid->elevation_metres(-16.125, 179.625), 0);
    EXPECT_DOUBLE_EQ(grid->elevation_metres(-16.125, -179.625), 300);
    EXPECT_DOUBLE_EQ(grid->elevation_metres(-16.125, 180.0), 150);
    EXPECT_DOUBLE_EQ(grid->elevation_metres(-16.125, -180.0), 150);
    EXPECT_TRUE(grid->covers_degrees(-16.125, -179.6));
    EXPECT_FALSE(grid->covers_degrees(-16.125, -179.4));
    EXPECT_FALSE(grid->covers_degrees(-16.125, 179.4));
}

// Tiles on both sides of the antimeridian, given as a folder or a VRT, are
// one area across it: the grid holds the tiles, not the earth between them,
// and interpolates across 180 degrees as between any two cells. Two SRTM3
// tiles, whose outer samples both lie on 180 degrees, fit too.
TEST_F(RasterTerrainTest, TilesOnBothSidesOfTheAntimeridianAreOneArea) {
    RasterLayout east, west;  // 179..180 E and 180..179 W
    east.west = 179, west.west = -180, east.north = west.north = -16;
    east.width = west.width = 4, east.height = west.height = 2;
    east.value = [](int, int c) { return 100.0 * c; };
    west.value = [](int, int c) { return 1000 + 100.0 * c; };
    RasterLayout hgtEast, hgtWest;
    for (RasterLayout* hgt : {&hgtEast, &hgtWest}) {
        hgt->width = hgt->height = 1201;
        hgt->cellX = hgt->cellY = 1.0 / 1200;
        hgt->north = -16 + 0.5 / 1200;
        hgt->epsg = 4326;
    }
    hgtEast.west = 179 - 0.5 / 1200, hgtWest.west = -180 - 0.5 / 1200;
    hgtEast.value = [](int, int c) { return c == 1200 ? 500.0 : 0.0; };  // 500 m on 180 E: the samples the two share
    hgtWest.value = [](int, int c) { return c == 0 ? 500.0 : 1000.0; };
    struct Case {
        std::string name, eastFile, westFile;
        const RasterLayout &eastTile, &westTile;
        bool vrt;
        int width;
        double at180, atEastEdge, atWestEdge;  // metres at 180, a quarter cell inside each tile's edge
    } cases[] = {
        {"folder", "a/east.tif", "a/west.tif", east, west, false, 8, 650, 475, 825},
        {"vrt", "b/east.tif", "b/west.tif", east, west, true, 8, 650, 475, 825},
        {"srtm3", "c/S17E179.hgt", "c/S17W180.hgt", hgtEast, hgtWest, false, 2401, 500, 375, 625},
    };
    for (const Case& c : cases) {
        fs::create_directories(dir / fs::path(c.eastFile).parent_path());
        std::string eastPath = raster(c.eastTile.epsg ? "SRTMHGT" : "GTiff", c.eastFile, c.eastTile,
                                      c.eastTile.epsg ? GDT_Int16 : GDT_Float32);
        std::string westPath = raster(c.westTile.epsg ? "SRTMHGT" : "GTiff", c.westFile, c.westTile,
                                      c.westTile.epsg ? GDT_Int16 : GDT_Float32);
        std::string path = (dir / fs::path(c.eastFile).parent_path()).string();
        if (c.vrt) {
            const char* names[] = {eastPath.c_str(), westPath.c_str()};
            path += "/tiles.vrt";
            GDALClose(GDALBuildVRT(path.c_str(), 2, nullptr, names, nullptr, nullptr));
        }
        auto t = RasterTerrain::load(path);
        EXPECT_EQ(t->width(), c.width) << c.name;
        double cell = c.eastTile.cellX, lat = -16 - 0.5 * cell;
        for (double lon : {180.0, -180.0}) EXPECT_NEAR(t->elevation_metres(lat, lon), c.at180, 1e-3) << c.name << lon;
        EXPECT_NEAR(t->elevation_metres(lat, 180 - 0.25 * cell), c.atEastEdge, 1e-3) << c.name;
        EXPECT_NEAR(t->elevation_metres(lat, -180 + 0.25 * cell), c.atWestEdge, 1e-3) << c.name;
        EXPECT_TRUE(t->covers_degrees(lat, 179.5) && t->covers_degrees(lat, -179.5)) << c.name;
        EXPECT_FALSE(t->covers_degrees(lat, 0) || t->covers_degrees(lat, 178.5) || t->covers_degrees(lat, -178.5))
            << c.name;
        EXPECT_NEAR(std::fabs(t->centre_longitude()), 180, 1e-6) << c.name;
    }
}

TEST_F(RasterTerrainTest, GridEdgesReadTheGridWithinRoundingAndNoFurther) {
    RasterLayout layout;  // exactly 47..48 N, 11..12 E
    layout.value = bumpy;
    auto t = RasterTerrain::load(raster("GTiff", "N47E011.tif", layout));
    double longitude = hostsim::degrees(hostsim::radians(11.0));
    EXPECT_LT(longitude, 11.0);
    EXPECT_TRUE(t->covers_degrees(47.5, longitude));
    EXPECT_DOUBLE_EQ(t->elevation_metres(47.625, longitude), bumpy(1, 0));
    EXPECT_DOUBLE_EQ(t->elevation_metres(47, 12), bumpy(3, 3));
    EXPECT_FALSE(t->covers_degrees(47.5, 11 - 0.01 * 0.25));
}

TEST_F(RasterTerrainTest, NoDataUnitsAndCoordinateSystems) {
    // No-data cells take their measured neighbours, as SRTM voids always did:
    // in a plane that is the plane's own value.
    RasterLayout holes;
    holes.width = holes.height = 5;
    holes.noData = -9999;
    holes.value = [](int r, int c) { return (r == 2 && c == 2) || (r == 0 && c == 0) ? -9999.0 : 500 + r + 2 * c; };
    auto filled = RasterTerrain::load(raster("GTiff", "holes.tif", holes));
    EXPECT_EQ(filled->voids_filled(), 2u);
    EXPECT_NEAR(filled->elevation_metres(48 - 2.5 * 0.25, 11 + 2.5 * 0.25), 500 + 2 + 4, 1e-4);
    EXPECT_NEAR(filled->elevation_metres(48 - 0.125, 11 + 0.125), (502 + 501 + 503) / 3.0, 1e-4);

    RasterLayout feet;
    feet.epsg = 4326;
    feet.unit = "ft";
    feet.value = [](int, int) { return 1000.0; };
    EXPECT_NEAR(RasterTerrain::load(raster("GTiff", "feet.tif", feet))->elevation_feet(hostsim::radians(47.5), hostsim::radians(11.5)),
                1000.0, 1e-3);

    // Lengths GDAL names are converted; a unit that is no length is refused.
    for (auto [unit, metres] : {std::pair<const char*, double>{"km", 1000.0}, {"Kilometer", 1000.0},
                                {"US survey foot", 1200.0 / 3937.0}, {"cm", 0.01}, {"metre", 1.0}}) {
        RasterLayout scaled = feet;
        scaled.unit = unit;
        scaled.value = [](int, int) { return 2.5; };
        EXPECT_NEAR(RasterTerrain::load(raster("GTiff", "scaled.tif", scaled))->elevation_metres(47.5, 11.5),
                    2.5 * metres, 1e-4)
            << unit;
    }
    RasterLayout pressure = feet;
    pressure.unit = "hPa";
    std::string notLength = raster("GTiff", "pressure.tif", pressure);
    EXPECT_NE(refusal(notLength).find("its heights are in 'hPa', which is not a length"), std::string::npos)
        << refusal(notLength);

    // UTM zone 32 N, metres: 45 N on the zone's central meridian (9 E) lies
    // 4982950.4 m north of the equator, at easting 500000.
    RasterLayout utm;
    utm.epsg = 32632;
    utm.width = utm.height = 50;
    utm.west = 499000, utm.north = 4984000, utm.cellX = utm.cellY = 50;
    utm.value = [](int r, int c) { return 1000 + 0.5 * (c + 0.5) + 1.0 * (49.5 - r); };  // rises north and east
    auto projected = RasterTerrain::load(raster("GTiff", "utm.tif", utm));
    double column = (500000 - 499000) / 50.0, rows = (4984000 - 4982950.4) / 50.0;
    EXPECT_NEAR(projected->elevation_metres(45, 9), 1000 + 0.5 * column + (50 - rows), kFootMetres);
    EXPECT_NEAR(projected->centre_latitude(), 45.0, 0.02);
    EXPECT_FALSE(projected->covers_degrees(9, 45));  // the axis order is latitude, longitude
}

TEST_F(RasterTerrainTest, ArchivesAndDirectoriesOfTiles) {
    RasterLayout west, east;
    west.width = east.width = 2;  // 11..11.5 E and 11.5..12 E
    east.west = 11.5;
    west.value = [](int, int) { return 100.0; };
    east.value = [](int, int) { return 300.0; };
    fs::create_directory(dir / "tiles");
    raster("GTiff", "tiles/west.tif", west);
    raster("GTiff", "tiles/east.tif", east);
    tp_test::write_file(dir / "tiles" / "README.txt", "where these tiles came from\n");
    auto mosaic = RasterTerrain::load((dir / "tiles").string());
    EXPECT_EQ(mosaic->width(), 4);
    EXPECT_DOUBLE_EQ(mosaic->elevation_metres(47.5, 11.375), 100);
    EXPECT_DOUBLE_EQ(mosaic->elevation_metres(47.5, 11.5), 200);
    EXPECT_DOUBLE_EQ(mosaic->elevation_metres(47.5, 11.625), 300);
    // A tile north of the western one only: the north-east is a gap.
    RasterLayout north = west;
    north.north = 49;
    raster("GTiff", "tiles/north.tif", north);
    auto lShape = RasterTerrain::load((dir / "tiles").string());
    EXPECT_TRUE(lShape->covers_degrees(48.5, 11.25));
    EXPECT_DOUBLE_EQ(lShape->elevation_metres(48.5, 11.25), 100);
    EXPECT_FALSE(lShape->covers_degrees(48.5, 11.75));
    EXPECT_EQ(lShape->elevation_metres(48.5, 11.75), 0.0);
    EXPECT_EQ(lShape->voids_filled(), 0u);

    std::string zip = (dir / "tile.zip").string();
    ASSERT_EQ(CPLCopyFile(("/vsizip/" + zip + "/dem/west.tif").c_str(), (dir / "tiles" / "west.tif").string().c_str()), 0);
    EXPECT_DOUBLE_EQ(RasterTerrain::load(zip)->elevation_metres(47.5, 11.25), 100);
    EXPECT_DOUBLE_EQ(RasterTerrain::load("/vsizip/" + zip + "/dem/west.tif")->elevation_metres(47.5, 11.25), 100);
}

TEST_F(RasterTerrainTest, RefusesPathsWithoutUsableRasters) {
    fs::create_directory(dir / "empty");
    tp_test::write_file(dir / "empty" / "notes.txt", "no heights here\n");
    tp_test::write_file(dir / "N47E011.hgt", std::string(4096, '\0'));
    std::string big = (dir / "big.tif").string();
    GDALAllRegister();
    char sparse[] = "SPARSE_OK=TRUE";
    char* options[] = {sparse, nullptr};
    GDALDatasetH file = GDALCreate(GDALGetDriverByName("GTiff"), big.c_str(), 20000, 10000, 1, GDT_Byte, options);
    double transform[6] = {0, 0.0001, 0, 1, 0, -0.0001};
    GDALSetGeoTransform(file, transform);
    GDALClose(file);
    // GDAL's mosaic would silently leave out a tile whose band differs.
    fs::create_directory(dir / "mixed");
    RasterLayout east;
    east.west = 12;
    raster("GTiff", "mixed/west.tif", RasterLayout{});
    raster("AAIGrid", "mixed/east.asc", east);
    // Not one measured cell: no neighbour to fill the voids from.
    RasterLayout empty;
    empty.noData = -32768;
    empty.value = [](int, int) { return -32768.0; };
    std::string voids = raster("GTiff", "voids.tif", empty);
    empty.noData.reset();
    empty.value = [](int, int) { return std::nan(""); };
    raster("GTiff", "nan.tif", empty);
    tp_test::write_file(dir / "voids.asc", "ncols 2\nnrows 2\nxllcorner 11\nyllcorner 47\ncellsize 0.5\n"
                                           "NODATA_value -9999\n-9999 -9999\n-9999 -9999\n");
    struct Case {
        std::string path, says;
    } cases[] = {
        {(dir / "missing.tif").string(), "no terrain file or directory at"},
        {(dir / "empty").string(), "holds no raster GDAL can read"},
        {(dir / "N47E011.hgt").string(), "not a raster GDAL can read"},
        {big, "20000 x 10000 cells, at most"},
        {(dir / "mixed").string(), "cannot mosaic its rasters"},
        {voids, "none of its 16 cells holds a measured height (each is no-data, -32768, or NaN)"},
        {(dir / "nan.tif").string(), "none of its 16 cells holds a measured height"},
        {(dir / "voids.asc").string(), "none of its 4 cells holds a measured height (each is no-data, -9999, or NaN)"},
    };
    for (const Case& c : cases) {
        std::string message = refusal(c.path);
        EXPECT_NE(message.find(c.says), std::string::npos) << message;
        EXPECT_NE(message.find(c.path), std::string::npos) << message;
    }
}

}  // namespace
