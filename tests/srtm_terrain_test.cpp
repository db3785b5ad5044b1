// The SRTM tile model: where each sample lies, bilinear interpolation
// between samples, void cells, and the files it refuses.
#include <gtest/gtest.h>

#include "hostsim/srtm_terrain.h"
#include "srtm_tile.h"

namespace {

using hostsim::SrtmTerrain;
namespace fs = std::filesystem;

constexpr int kSide = 1201;
constexpr double kCell = 1.0 / (kSide - 1);  // degrees between samples
constexpr double kPi = 3.14159265358979323846;

// A plane, which bilinear interpolation reproduces exactly everywhere.
int16_t plane(int row, int column) { return static_cast<int16_t>(100 + row + 2 * column); }

class SrtmTerrainTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir_ = tp_test::scratch_directory("srtm"); }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    static std::shared_ptr<const SrtmTerrain> tile(const std::string& name,
                                                   const std::function<int16_t(int, int)>& height) {
        tp_test::write_tile(dir_ / name, kSide, height);
        return SrtmTerrain::load((dir_ / name).string());
    }
    static std::string refusal(const std::string& name, size_t bytes) {
        tp_test::write_file(dir_ / name, std::string(bytes, '\0'));
        try {
            SrtmTerrain::load((dir_ / name).string());
        } catch (const hostsim::TerrainFileError& e) {
            return e.what();
        }
        return "accepted";
    }

    static inline fs::path dir_;
};

TEST_F(SrtmTerrainTest, CornersLieWhereTheNameSays) {
    auto t = tile("N47E011.hgt", plane);
    EXPECT_EQ(t->name(), "N47E011");
    struct Corner {
        double lat, lon;
        int metres;
    } corners[] = {
        {48, 11, plane(0, 0)},        // north-west: the file's first sample
        {48, 12, plane(0, 1200)},     // north-east: the end of the first row
        {47, 11, plane(1200, 0)},     // south-west: the corner in the name
        {47, 12, plane(1200, 1200)},  // south-east: the file's last sample
    };
    for (const Corner& c : corners) EXPECT_DOUBLE_EQ(t->elevation_metres(c.lat, c.lon), c.metres) << c.lat << "," << c.lon;

    auto south_west = tile("s01w001.hgt", plane);
    EXPECT_EQ(south_west->south(), -1);
    EXPECT_EQ(south_west->west(), -1);
    EXPECT_DOUBLE_EQ(south_west->elevation_metres(0, -1), plane(0, 0));
    EXPECT_DOUBLE_EQ(south_west->elevation_metres(-1, 0), plane(1200, 1200));
}

TEST_F(SrtmTerrainTest, InterpolatesBilinearlyAndReadsZeroOutside) {
    auto t = tile("N47E011.hgt", plane);
    EXPECT_NEAR(t->elevation_metres(48 - 10.25 * kCell, 11 + 20.5 * kCell), 100 + 10.25 + 2 * 20.5, 1e-6);
    EXPECT_NEAR(t->elevation_feet((48 - 10.25 * kCell) * kPi / 180, (11 + 20.5 * kCell) * kPi / 180),
                (100 + 10.25 + 41) / 0.3048, 1e-6);
    EXPECT_FALSE(t->covers(46.99, 11.5));
    EXPECT_EQ(t->elevation_metres(46.99, 11.5), 0.0);
    EXPECT_EQ(t->elevation_metres(47.5, 12.01), 0.0);

    // One raised sample: each neighbour's weight is the product of the
    // distances along both axes.
    auto spike = tile("N10E020.hgt", [](int r, int c) { return static_cast<int16_t>(r == 600 && c == 600 ? 1000 : 0); });
    struct Probe {
        double rows, columns, metres;  // offset from the raised sample
    } probes[] = {{0, 0, 1000}, {0.25, 0.5, 1000 * 0.75 * 0.5}, {-0.5, 0, 500}, {1, 0, 0}, {0, -1, 0}};
    for (const Probe& p : probes)
        EXPECT_NEAR(spike->elevation_metres(11 - (600 + p.rows) * kCell, 20 + (600 + p.columns) * kCell), p.metres, 1e-6)
            << p.rows << "," << p.columns;
}

TEST_F(SrtmTerrainTest, VoidCellsTakeTheirMeasuredNeighbours) {
    constexpr int16_t kVoid = SrtmTerrain::kVoid;
    // In a plane the mean of a sample's neighbours is the plane's own value.
    auto holes = tile("N47E011.hgt", [](int r, int c) { return (r == 10 && c == 10) || (r == 0 && c == 0) ? kVoid : plane(r, c); });
    EXPECT_EQ(holes->voids_filled(), 2u);
    EXPECT_NEAR(holes->elevation_metres(48 - 10 * kCell, 11 + 10 * kCell), plane(10, 10), 1e-6);
    EXPECT_DOUBLE_EQ(holes->elevation_metres(48, 11), (plane(0, 1) + plane(1, 0) + plane(1, 1)) / 3.0);

    // A void area fills from its rim inwards; the void value never shows.
    auto lake = tile("N30E030.hgt", [](int r, int c) {
        return static_cast<int16_t>(std::abs(r - 600) <= 3 && std::abs(c - 600) <= 3 ? kVoid : 500);
    });
    EXPECT_EQ(lake->voids_filled(), 49u);
    for (double offset : {0.0, 1.5, 3.0})
        EXPECT_NEAR(lake->elevation_metres(31 - (600 + offset) * kCell, 30 + 600 * kCell), 500.0, 1e-6);

    // Nothing measured at all: sea level.
    auto empty = tile("N00E000.hgt", [](int, int) { return kVoid; });
    EXPECT_EQ(empty->voids_filled(), static_cast<size_t>(kSide) * kSide);
    EXPECT_EQ(empty->elevation_metres(0.5, 0.5), 0.0);
}

TEST_F(SrtmTerrainTest, RefusesWhatIsNotATile) {
    const size_t full = static_cast<size_t>(kSide) * kSide * 2;
    struct Case {
        std::string name;
        size_t bytes;
        std::string says;
    } cases[] = {
        {"N47E011.txt", full, "named after its south-west corner"},
        {"tile.hgt", full, "named after its south-west corner"},
        {"N95E011.hgt", full, "named after its south-west corner"},
        {"N47E200.hgt", full, "named after its south-west corner"},
        {"N47E011.hgt", 1000, "1000 bytes"},
        {"N47E012.hgt", full + 2, "bytes, but an SRTM tile has"},
    };
    for (const Case& c : cases) EXPECT_NE(refusal(c.name, c.bytes).find(c.says), std::string::npos) << c.name;
    EXPECT_THROW(SrtmTerrain::load((dir_ / "N01E001.hgt").string()), hostsim::TerrainFileError);
}

}  // namespace
