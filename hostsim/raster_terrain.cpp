// The GDAL raster reader: finding the rasters a path names, mosaicking
// several into one in-memory VRT, reading band 1 into a grid of metres,
// filling no-data cells, and the bilinear model over the grid.
#include "hostsim/raster_terrain.h"

#include <gdal.h>
#include <gdal_utils.h>
#include <ogr_srs_api.h>
#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <cpl_vsi.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace hostsim {
namespace {

constexpr double kFeetPerMetre = 1.0 / 0.3048;
// How far outside the grid's edge, in cells, a point still reads the edge:
// enough for the rounding of a degrees-radians-degrees round trip or of a
// projection, far too little to matter on the ground.
constexpr double kEdgeTolerance = 1e-3;

enum CellState : uint8_t { kUnknown, kQueued, kKnown };

void gdal_ready() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// GDAL reports problems through its error handler; keep them off the
// terminal and let the caller put the last one into its own message.
class QuietErrors {
public:
    QuietErrors() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietErrors() { CPLPopErrorHandler(); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;
    static std::string last() {
        std::string message = CPLGetLastErrorMsg();
        return message.empty() ? "" : " (" + message + ")";
    }
};

struct DatasetCloser {
    void operator()(void* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

struct SrsDestroyer {
    void operator()(void* srs) const { OSRDestroySpatialReference(srs); }
};
using Srs = std::unique_ptr<void, SrsDestroyer>;

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A raster GDAL opens with a place on the earth and a band to read.
struct Source {
    std::string path;
    Dataset dataset;
    double transform[6];
};

bool open_source(const std::string& path, Source& source, std::string& problem) {
    source.path = path;
    source.dataset.reset(GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!source.dataset) {
        problem = "not a raster GDAL can read" + QuietErrors::last();
        return false;
    }
    if (GDALGetRasterCount(source.dataset.get()) < 1) {
        problem = "no raster band to read heights from";
        return false;
    }
    if (GDALGetGeoTransform(source.dataset.get(), source.transform) != CE_None) {
        problem = "no georeferencing: GDAL cannot place it on the earth";
        return false;
    }
    return true;
}

// The files of a directory or zip archive (any depth) that are rasters
// GDAL can use; sidecar files and anything else are passed over.
std::vector<Source> sources_in(const std::string& root) {
    std::vector<Source> sources;
    char** names = VSIReadDirRecursive(root.c_str());
    for (int i = 0; names && names[i]; ++i) {
        std::string path = root + "/" + names[i];
        std::string name = lower(names[i]);
        VSIStatBufL stat;
        if (ends_with(name, ".aux.xml") || ends_with(name, ".ovr") || VSIStatL(path.c_str(), &stat) != 0 ||
            VSI_ISDIR(stat.st_mode))
            continue;
        Source source;
        std::string problem;
        if (open_source(path, source, problem)) sources.push_back(std::move(source));
    }
    CSLDestroy(names);
    std::sort(sources.begin(), sources.end(), [](const Source& a, const Source& b) { return a.path < b.path; });
    return sources;
}

std::vector<Source> find_sources(const std::string& path) {
    VSIStatBufL stat;
    if (path.empty() || VSIStatL(path.c_str(), &stat) != 0)
        throw TerrainFileError("no terrain file or directory at " + path);
    bool zip = !VSI_ISDIR(stat.st_mode) && ends_with(lower(path), ".zip") && path.rfind("/vsi", 0) != 0;
    if (!VSI_ISDIR(stat.st_mode) && !zip) {
        std::vector<Source> one(1);
        std::string problem;
        if (!open_source(path, one[0], problem)) throw TerrainFileError("bad terrain file " + path + ": " + problem);
        return one;
    }
    std::vector<Source> sources = sources_in(zip ? "/vsizip/" + path : path);
    if (sources.empty())
        throw TerrainFileError("bad terrain " + std::string(zip ? "archive " : "directory ") + path +
                               ": it holds no raster GDAL can read");
    return sources;
}

Srs spatial_reference(void* dataset) {
    OGRSpatialReferenceH srs = GDALGetSpatialRef(dataset);
    if (!srs) return nullptr;
    Srs copy(OSRClone(srs));
    OSRSetAxisMappingStrategy(copy.get(), OAMS_TRADITIONAL_GIS_ORDER);
    return copy;
}

// GDALBuildVRT leaves out, with no more than a warning, a source whose band
// differs from the first's (its type of colour, for one).
bool holds_every_source(void* vrt, const std::vector<Source>& sources) {
    char** files = GDALGetFileList(vrt);
    size_t held = 0;
    for (const Source& s : sources) held += CSLFindString(files, s.path.c_str()) >= 0;
    CSLDestroy(files);
    return held == sources.size();
}

// Several rasters as one: an in-memory VRT of their first bands. They must
// share a coordinate system, or the VRT would drop some of them.
Dataset mosaic(const std::string& path, const std::vector<Source>& sources) {
    Srs first = spatial_reference(sources[0].dataset.get());
    std::vector<const char*> names;
    for (const Source& s : sources) {
        Srs srs = spatial_reference(s.dataset.get());
        if ((first == nullptr) != (srs == nullptr) || (first && !OSRIsSame(first.get(), srs.get())))
            throw TerrainFileError("bad terrain " + path + ": " + s.path + " and " + sources[0].path +
                                   " have different coordinate systems; a mosaic needs one");
        names.push_back(s.path.c_str());
    }
    const char* arguments[] = {"-b", "1", nullptr};
    GDALBuildVRTOptions* options = GDALBuildVRTOptionsNew(const_cast<char**>(arguments), nullptr);
    int usageError = 0;
    Dataset vrt(GDALBuildVRT("", static_cast<int>(names.size()), nullptr, names.data(), options, &usageError));
    GDALBuildVRTOptionsFree(options);
    if (!vrt || !holds_every_source(vrt.get(), sources))
        throw TerrainFileError("bad terrain " + path + ": cannot mosaic its rasters" + QuietErrors::last());
    return vrt;
}

// The units GDAL names for lengths, with their metres, and the short
// forms band metadata uses for them. Compared without case.
struct LengthUnit {
    const char* name;
    double metres;
};
constexpr LengthUnit kLengthUnits[] = {
    {"", 1.0}, {"m", 1.0}, {"metre", 1.0}, {"metres", 1.0}, {"meter", 1.0}, {"meters", 1.0}, {SRS_UL_METER, 1.0},
    {"ft", 0.3048}, {"foot", 0.3048}, {"feet", 0.3048}, {SRS_UL_FOOT, 0.3048}, {SRS_UL_INTL_FOOT, 0.3048},
    {"us-ft", 1200.0 / 3937.0}, {"ftus", 1200.0 / 3937.0}, {"us survey foot", 1200.0 / 3937.0},
    {"us survey feet", 1200.0 / 3937.0}, {SRS_UL_US_FOOT, 1200.0 / 3937.0},
    {"km", 1000.0}, {"kilometre", 1000.0}, {"kilometres", 1000.0}, {SRS_UL_KILOMETER, 1000.0},
    {"kilometers", 1000.0}, {"dm", 0.1}, {"decimetre", 0.1}, {SRS_UL_DECIMETER, 0.1},
    {"cm", 0.01}, {"centimetre", 0.01}, {"centimetres", 0.01}, {SRS_UL_CENTIMETER, 0.01}, {"centimeters", 0.01},
    {"mm", 0.001}, {"millimetre", 0.001}, {"millimetres", 0.001}, {SRS_UL_MILLIMETER, 0.001},
    {"millimeters", 0.001}, {"yd", 0.9144}, {"yard", 0.9144}, {SRS_UL_INTL_YARD, 0.9144},
    {SRS_UL_INTL_FATHOM, 1.8288}, {"fathom", 1.8288},
};

// The metres in one of the band's units, or 0 for a unit that is not a
// known length.
double metres_per_unit(const std::string& unitType) {
    std::string unit = lower(unitType);
    unit.erase(unit.find_last_not_of(' ') + 1);
    unit.erase(0, unit.find_first_not_of(' '));
    for (const LengthUnit& known : kLengthUnits)
        if (unit == lower(known.name)) return known.metres;
    return 0.0;
}

// Fills void cells from the measured cells around them, ring by ring
// inwards: each void cell takes the mean of its eight neighbours that were
// known before its ring, so the result does not depend on the scan order.
void fill_voids(std::vector<float>& metres, std::vector<uint8_t>& state, int width, int height) {
    auto for_neighbours = [width, height](size_t cell, auto&& visit) {
        int row = static_cast<int>(cell / width), column = static_cast<int>(cell % width);
        for (int dr = -1; dr <= 1; ++dr)
            for (int dc = -1; dc <= 1; ++dc) {
                int r = row + dr, c = column + dc;
                if ((dr || dc) && r >= 0 && r < height && c >= 0 && c < width)
                    visit(static_cast<size_t>(r) * width + c);
            }
    };
    std::vector<size_t> ring;
    for (size_t cell = 0; cell < state.size(); ++cell) {
        if (state[cell] != kUnknown) continue;
        bool touches = false;
        for_neighbours(cell, [&](size_t n) { touches = touches || state[n] == kKnown; });
        if (touches) {
            state[cell] = kQueued;
            ring.push_back(cell);
        }
    }
    std::vector<float> values;
    while (!ring.empty()) {
        values.clear();
        for (size_t cell : ring) {
            double sum = 0;
            int count = 0;
            for_neighbours(cell, [&](size_t n) {
                if (state[n] == kKnown) sum += metres[n], ++count;
            });
            values.push_back(static_cast<float>(sum / count));
        }
        for (size_t i = 0; i < ring.size(); ++i) metres[ring[i]] = values[i], state[ring[i]] = kKnown;
        std::vector<size_t> next;
        for (size_t cell : ring)
            for_neighbours(cell, [&](size_t n) {
                if (state[n] == kUnknown) state[n] = kQueued, next.push_back(n);
            });
        ring.swap(next);
    }
    for (size_t cell = 0; cell < state.size(); ++cell)
        if (state[cell] == kUnknown) metres[cell] = 0.0f;
}

// Whether a raster's x and y are WGS84 longitude and latitude in degrees:
// no coordinate system, or WGS84's own.
bool in_wgs84_degrees(void* srs) {
    if (!srs) return true;
    Srs wgs84(OSRNewSpatialReference(nullptr));
    OSRSetWellKnownGeogCS(wgs84.get(), "WGS84");
    OSRSetAxisMappingStrategy(wgs84.get(), OAMS_TRADITIONAL_GIS_ORDER);
    return OSRIsSame(wgs84.get(), srs);
}

// The rasters a VRT file mosaics, where each is a file GDAL opens in the
// VRT's coordinate system; empty for any other raster, or a VRT that does
// more than place files side by side.
std::vector<Source> vrt_sources(const Source& vrt) {
    std::vector<Source> inner;
    if (lower(GDALGetDriverShortName(GDALGetDatasetDriver(vrt.dataset.get()))) != "vrt") return inner;
    Srs srs = spatial_reference(vrt.dataset.get());
    char** files = GDALGetFileList(vrt.dataset.get());
    for (int i = 0; files && files[i]; ++i) {
        if (ends_with(lower(files[i]), ".vrt")) continue;  // the VRT itself
        Source source;
        std::string problem;
        Srs own;
        if (!open_source(files[i], source, problem) ||
            ((own = spatial_reference(source.dataset.get())) == nullptr) != (srs == nullptr) ||
            (srs && !OSRIsSame(srs.get(), own.get()))) {
            inner.clear();
            break;
        }
        inner.push_back(std::move(source));
    }
    CSLDestroy(files);
    return inner;
}

}  // namespace

// kKnown for the cells whose centres lie in one of the windows, kUnknown
// for the gaps between them.
std::vector<uint8_t> cells_inside(const std::vector<RasterTerrain::Window>& windows, int width, int height) {
    std::vector<uint8_t> state(static_cast<size_t>(width) * height, kUnknown);
    for (const RasterTerrain::Window& w : windows) {
        int c0 = std::max(0, static_cast<int>(std::ceil(w.column0 - 0.5)));
        int c1 = std::min(width - 1, static_cast<int>(std::floor(w.column1 - 0.5)));
        int r0 = std::max(0, static_cast<int>(std::ceil(w.row0 - 0.5)));
        int r1 = std::min(height - 1, static_cast<int>(std::floor(w.row1 - 0.5)));
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) state[static_cast<size_t>(r) * width + c] = kKnown;
    }
    return state;
}

struct RasterTerrain::Grid {
    int width = 0, height = 0;
    std::vector<float> metres;
    std::vector<uint8_t> state;
    double transform[6] = {};
    double inverse[6] = {};
    std::vector<Window> windows;
    Srs srs;
    size_t voids = 0;
    std::string description;
};

namespace {

// A grid in degrees whose tiles lie on both sides of the antimeridian
// spans the whole earth between them. Its columns from the widest gap
// between tiles on are read first and those before it a turn (360
// degrees) later, so the tiles lie side by side across 180 E as on the
// ground: the grid holds the tiles and the gaps between them, not the
// earth. Zero when the raster has no such gap, or its cells do not fit a
// turn a whole number of times.
struct SeamCut {
    int gapStart = 0, gapEnd = 0;  // the columns left out: [gapStart, gapEnd)
    int turn = 0;                  // columns in 360 degrees
};

SeamCut seam_cut(const std::vector<RasterTerrain::Window>& windows, const double* transform, int width) {
    SeamCut none;
    if (transform[1] <= 0 || transform[2] != 0 || transform[4] != 0) return none;
    double turn = 360.0 / transform[1];
    // Tiles whose outer samples lie on 180 E and W run a column past a turn.
    if (std::fabs(turn - std::round(turn)) > 1e-6 || std::round(turn) + 1 < width) return none;
    std::vector<std::pair<int, int>> spans;  // whole columns each window fills
    for (const RasterTerrain::Window& w : windows)
        spans.push_back({std::max(0, static_cast<int>(std::floor(w.column0 + kEdgeTolerance))),
                         std::min(width, static_cast<int>(std::ceil(w.column1 - kEdgeTolerance)))});
    std::sort(spans.begin(), spans.end());
    SeamCut cut;
    cut.turn = static_cast<int>(std::round(turn));
    int end = 0;
    for (const auto& span : spans) end = std::max(end, span.second);
    int reach = spans.front().second, widest = spans.front().first + cut.turn - end;
    for (size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first - reach > widest) {
            widest = spans[i].first - reach;
            cut.gapStart = reach, cut.gapEnd = spans[i].first;
        }
        reach = std::max(reach, spans[i].second);
    }
    return cut.gapEnd > cut.gapStart ? cut : none;
}

// A source's extent in the grid, within the grid.
RasterTerrain::Window window_of(const Source& s, const double* inverse, double width, double height) {
    const double* t = s.transform;
    double w = GDALGetRasterXSize(s.dataset.get()), h = GDALGetRasterYSize(s.dataset.get());
    double x0 = inverse[0] + inverse[1] * t[0] + inverse[2] * t[3];
    double y0 = inverse[3] + inverse[4] * t[0] + inverse[5] * t[3];
    double x1 = inverse[0] + inverse[1] * (t[0] + w * t[1] + h * t[2]) + inverse[2] * (t[3] + w * t[4] + h * t[5]);
    double y1 = inverse[3] + inverse[4] * (t[0] + w * t[1] + h * t[2]) + inverse[5] * (t[3] + w * t[4] + h * t[5]);
    return {std::max(0.0, std::min(x0, x1)), std::max(0.0, std::min(y0, y1)), std::min(width, std::max(x0, x1)),
            std::min(height, std::max(y0, y1))};
}

// The grid as it is held once cut at the seam: it starts at the gap's
// eastern end, the windows west of the gap a turn further east.
void cut_at_seam(const SeamCut& cut, RasterTerrain::Grid& grid) {
    grid.width = cut.gapStart + cut.turn - cut.gapEnd;
    grid.transform[0] += cut.gapEnd * grid.transform[1];
    grid.inverse[0] -= cut.gapEnd;  // no rotation: only the column's origin moves
    for (RasterTerrain::Window& w : grid.windows) {
        double shift = w.column0 >= cut.gapEnd - kEdgeTolerance ? -cut.gapEnd : cut.turn - cut.gapEnd;
        w.column0 += shift, w.column1 += shift;
    }
}

}  // namespace

std::shared_ptr<const RasterTerrain> RasterTerrain::load(const std::string& path) {
    gdal_ready();
    QuietErrors quiet;
    std::vector<Source> sources = find_sources(path);
    Dataset vrt = sources.size() > 1 ? mosaic(path, sources) : nullptr;
    void* dataset = vrt ? vrt.get() : sources[0].dataset.get();

    Grid grid;
    grid.width = GDALGetRasterXSize(dataset);
    grid.height = GDALGetRasterYSize(dataset);
    if (GDALGetGeoTransform(dataset, grid.transform) != CE_None)
        throw TerrainFileError("bad terrain " + path + ": no georeferencing");
    if (!GDALInvGeoTransform(grid.transform, grid.inverse))
        throw TerrainFileError("bad terrain " + path + ": its georeferencing has no extent");
    std::vector<Source> inner = sources.size() == 1 ? vrt_sources(sources[0]) : std::vector<Source>();
    for (const Source& s : inner.empty() ? sources : inner) 
        grid.windows.push_back(window_of(s, grid.inverse, grid.width, grid.height));
    grid.srs = spatial_reference(dataset);
    SeamCut cut = in_wgs84_degrees(grid.srs.get()) ? seam_cut(grid.windows, grid.transform, grid.width) : SeamCut{};
    int sourceWidth = grid.width;
    if (cut.turn) cut_at_seam(cut, grid);

    auto cells = static_cast<uint64_t>(grid.width) * static_cast<uint64_t>(grid.height);
    if (cells > kMaxCells)
        throw TerrainFileError("terrain " + path + " is too big to hold in memory: " + std::to_string(grid.width) +
                               " x " + std::to_string(grid.height) + " cells, at most " + std::to_string(kMaxCells) +
                               "; cut out the area you need (gdal_translate -projwin) or give fewer tiles");
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    grid.metres.resize(cells);
    // Two reads where the grid is cut at the seam: the columns east of the
    // gap, then those west of it a turn on.
    struct Piece {
        int sourceColumn, columns, gridColumn;
    };
    const Piece whole[] = {{0, grid.width, 0}, {0, 0, 0}};
    const Piece seam[] = {{cut.gapEnd, sourceWidth - cut.gapEnd, 0}, {0, cut.gapStart, cut.turn - cut.gapEnd}};
    for (const Piece& piece : cut.turn ? seam : whole)
        if (piece.columns > 0 &&
            GDALRasterIO(band, GF_Read, piece.sourceColumn, 0, piece.columns, grid.height,
                         grid.metres.data() + piece.gridColumn, piece.columns, grid.height, GDT_Float32, 0,
                         static_cast<GSpacing>(grid.width) * sizeof(float)) != CE_None)
            throw TerrainFileError("cannot read terrain " + path + QuietErrors::last());

    int hasNoData = 0;
    double noData = GDALGetRasterNoDataValue(band, &hasNoData);
    const auto noDataCell = static_cast<float>(noData);
    double scale = GDALGetRasterScale(band, nullptr), offset = GDALGetRasterOffset(band, nullptr);
    std::string unit = GDALGetRasterUnitType(band);
    double toMetres = metres_per_unit(unit);
    if (toMetres == 0.0)
        throw TerrainFileError("bad terrain " + path + ": its heights are in '" + unit +
                               "', which is not a length probe-host knows (metres, feet, US survey feet, km, cm, "
                               "mm, ...)");
    grid.state = cells_inside(grid.windows, grid.width, grid.height);
    for (size_t i = 0; i < cells; ++i) {
        float& v = grid.metres[i];
        if (grid.state[i] == kUnknown) continue;
        if (std::isnan(v) || (hasNoData && v == noDataCell)) {
            grid.state[i] = kUnknown;
            ++grid.voids;
        } else {
            v = static_cast<float>((v * scale + offset) * toMetres);
        }
    }
    if (std::none_of(grid.state.begin(), grid.state.end(), [](uint8_t cell) { return cell == kKnown; }))
        throw TerrainFileError("bad terrain " + path + ": none of its " + std::to_string(cells) +
                               " cells holds a measured height (each is no-data" +
                               (hasNoData ? ", " + number_text(noData) : std::string()) + ", or NaN)");
    fill_voids(grid.metres, grid.state, grid.width, grid.height);

    const char* driver = GDALGetDriverLongName(GDALGetDatasetDriver(sources[0].dataset.get()));
    grid.description = path + ": " + (sources.size() > 1 ? "mosaic of " + std::to_string(sources.size()) + " " : "") +
                       driver + ", " + std::to_string(grid.width) + " x " + std::to_string(grid.height) + " cells" +
                       (cut.turn ? " across the antimeridian, " : ", ") +
                       (grid.srs ? OSRGetName(grid.srs.get()) : std::string("no coordinate system: WGS84 degrees")) +
                       ", heights in " + (toMetres == 1.0 ? std::string("metres") : unit) +
                       "; no-data cells filled from neighbours: " + std::to_string(grid.voids);
    return std::make_shared<RasterTerrain>(std::move(grid));
}

RasterTerrain::RasterTerrain(Grid&& grid)
    : width_(grid.width), height_(grid.height), metres_(std::move(grid.metres)), windows_(std::move(grid.windows)),
      voidsFilled_(grid.voids), description_(std::move(grid.description)) {
    std::copy(std::begin(grid.inverse), std::end(grid.inverse), inverse_);
    double centreX = grid.transform[0] + grid.transform[1] * width_ / 2 + grid.transform[2] * height_ / 2;
    double centreY = grid.transform[3] + grid.transform[4] * width_ / 2 + grid.transform[5] * height_ / 2;
    centreLongitude_ = centreX, centreLatitude_ = centreY;
    if (in_wgs84_degrees(grid.srs.get())) {
        if (centreLongitude_ > 180) centreLongitude_ -= 360;  // a grid cut at the seam runs on past 180 E
        return;
    }
    Srs wgs84(OSRNewSpatialReference(nullptr));
    OSRSetWellKnownGeogCS(wgs84.get(), "WGS84");
    OSRSetAxisMappingStrategy(wgs84.get(), OAMS_TRADITIONAL_GIS_ORDER);
    toRaster_ = OCTNewCoordinateTransformation(wgs84.get(), grid.srs.get());
    OGRCoordinateTransformationH toWgs84 = OCTNewCoordinateTransformation(grid.srs.get(), wgs84.get());
    if (!toRaster_ || !toWgs84 || !OCTTransform(toWgs84, 1, &centreLongitude_, &centreLatitude_, nullptr)) {
        OCTDestroyCoordinateTransformation(toWgs84);
        throw TerrainFileError("bad terrain " + description_ +
                               ": its coordinate system cannot be reached from WGS84" + QuietErrors::last());
    }
    OCTDestroyCoordinateTransformation(toWgs84);
}

RasterTerrain::~RasterTerrain() {
    if (toRaster_) OCTDestroyCoordinateTransformation(static_cast<OGRCoordinateTransformationH>(toRaster_));
}

bool RasterTerrain::to_pixel(double latitudeDeg, double longitudeDeg, double& column, double& row) const {
    double x = longitudeDeg, y = latitudeDeg;
    if (toRaster_) {
        std::lock_guard<std::mutex> hold(transformLock_);
        if (!OCTTransform(static_cast<OGRCoordinateTransformationH>(toRaster_), 1, &x, &y, nullptr)) return false;
    }
    column = inverse_[0] + inverse_[1] * x + inverse_[2] * y;
    row = inverse_[3] + inverse_[4] * x + inverse_[5] * y;
    return std::isfinite(column) && std::isfinite(row);
}

bool RasterTerrain::inside(double column, double row) const {
    return std::any_of(windows_.begin(), windows_.end(), [&](const Window& w) {
        return column >= w.column0 - kEdgeTolerance && column <= w.column1 + kEdgeTolerance &&
               row >= w.row0 - kEdgeTolerance && row <= w.row1 + kEdgeTolerance;
    });
}

bool RasterTerrain::locate(double latitudeDeg, double longitudeDeg, double& column, double& row) const {
    if (to_pixel(latitudeDeg, longitudeDeg, column, row) && inside(column, row)) return true;
    // A grid in degrees may run past the antimeridian (179.5 to 180.5 E):
    // a longitude reaches it a turn away, too.
    if (toRaster_) return false;
    for (double turn : {360.0, -360.0})
        if (to_pixel(latitudeDeg, longitudeDeg + turn, column, row) && inside(column, row)) return true;
    return false;
}

bool RasterTerrain::covers_degrees(double latitudeDeg, double longitudeDeg) const {
    double column = 0, row = 0;
    return locate(latitudeDeg, longitudeDeg, column, row);
}

double RasterTerrain::elevation_metres(double latitudeDeg, double longitudeDeg) const {
    double column = 0, row = 0;
    if (!locate(latitudeDeg, longitudeDeg, column, row)) return 0.0;
    auto at = [this](int r, int c) { return cell(r, c); };
    return bilinear_at_centres(column, row, width_, height_, at);
}

double RasterTerrain::elevation_feet(double latitudeRad, double longitudeRad) const {
    return elevation_metres(degrees(latitudeRad), degrees(longitudeRad)) * kFeetPerMetre;
}

bool RasterTerrain::covers(double latitudeRad, double longitudeRad) const {
    return covers_degrees(degrees(latitudeRad), degrees(longitudeRad));
}

}  // namespace hostsim
