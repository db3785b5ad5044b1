// The ASCII grid reader: the header's keys in any order and case, the
// corner given as the lower-left cell's corner or centre, then the rows
// north to south.
#include "hostsim/ascii_grid.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

namespace hostsim {
namespace {

constexpr double kFeetPerMetre = 1.0 / 0.3048;
constexpr double kEdgeTolerance = 1e-3;  // of a cell, as the native reader allows
constexpr size_t kMaxCells = 150'000'000;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The eight neighbours of a cell that lie on the grid.
template <typename Visit>
void neighbours(int row, int column, int rows, int columns, Visit visit) {
    for (int r = std::max(0, row - 1); r <= std::min(rows - 1, row + 1); ++r)
        for (int c = std::max(0, column - 1); c <= std::min(columns - 1, column + 1); ++c)
            if (r != row || c != column) visit(static_cast<size_t>(r) * columns + c);
}

// Each ring of void cells next to known ones takes the mean of its known
// neighbours at once, so the order of the scan does not matter.
size_t fill_voids(std::vector<float>& metres, std::vector<bool>& known, int rows, int columns) {
    size_t filled = 0;
    while (true) {
        std::vector<std::pair<size_t, float>> ring;
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column) {
                size_t cell = static_cast<size_t>(row) * columns + column;
                if (known[cell]) continue;
                double sum = 0;
                int count = 0;
                neighbours(row, column, rows, columns, [&](size_t n) {
                    if (known[n]) sum += metres[n], ++count;
                });
                if (count) ring.emplace_back(cell, static_cast<float>(sum / count));
            }
        if (ring.empty()) return filled;
        for (const auto& [cell, value] : ring) metres[cell] = value, known[cell] = true;
        filled += ring.size();
    }
}

}  // namespace

bool AsciiGridTerrain::reads(const std::string& path) {
    std::string name = lower(path);
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".asc") == 0;
}

std::shared_ptr<const AsciiGridTerrain> AsciiGridTerrain::load(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw AsciiGridError("--terrain " + path + " cannot be read");
    std::map<std::string, double> header;
    std::string key;
    while (in >> key && std::isalpha(static_cast<unsigned char>(key[0]))) {
        double value = 0;
        if (!(in >> value)) throw AsciiGridError("--terrain " + path + ": the header's " + key + " has no number");
        header[lower(key)] = value;
    }
    auto terrain = std::make_shared<AsciiGridTerrain>();
    AsciiGridTerrain& t = *terrain;
    for (const char* needed : {"ncols", "nrows", "cellsize"})
        if (!header.count(needed)) throw AsciiGridError("--terrain " + path + " is not an ASCII grid: no " + needed);
    t.columns_ = static_cast<int>(header["ncols"]);
    t.rows_ = static_cast<int>(header["nrows"]);
    t.cell_ = header["cellsize"];
    if (t.columns_ < 1 || t.rows_ < 1 || !(t.cell_ > 0) ||
        static_cast<size_t>(t.columns_) * static_cast<size_t>(t.rows_) > kMaxCells)
        throw AsciiGridError("--terrain " + path + ": a grid of " + std::to_string(t.columns_) + " x " +
                             std::to_string(t.rows_) + " cells of " + std::to_string(t.cell_) + " degrees cannot be used");
    double half = header.count("xllcenter") ? t.cell_ / 2 : 0.0;
    t.west_ = (header.count("xllcenter") ? header["xllcenter"] : header["xllcorner"]) - half;
    t.south_ = (header.count("yllcenter") ? header["yllcenter"] : header["yllcorner"]) - half;
    bool hasNoData = header.count("nodata_value") > 0;
    double noData = hasNoData ? header["nodata_value"] : 0.0;

    size_t cells = static_cast<size_t>(t.columns_) * t.rows_;
    t.metres_.resize(cells);
    std::vector<bool> known(cells, true);
    size_t voids = 0;
    // The first value was read as the word that ended the header.
    std::istringstream first(key);
    for (size_t i = 0; i < cells; ++i) {
        double value = 0;
        if (!(i == 0 ? static_cast<bool>(first >> value) : static_cast<bool>(in >> value)))
            throw AsciiGridError("--terrain " + path + ": the grid ends after " + std::to_string(i) + " of its " +
                                 std::to_string(cells) + " values");
        t.metres_[i] = static_cast<float>(value);
        if (std::isnan(value) || (hasNoData && value == noData)) known[i] = false, ++voids;
    }
    if (voids == cells) throw AsciiGridError("--terrain " + path + " holds no measured cell");
    size_t filled = fill_voids(t.metres_, known, t.rows_, t.columns_);
    std::ostringstream text;
    text << path << ": ASCII grid, " << t.columns_ << " x " << t.rows_
         << " cells, WGS84 degrees, heights in metres; no-data cells filled from neighbours: " << filled;
    t.description_ = text.str();
    return terrain;
}

bool AsciiGridTerrain::covers(double latitudeRad, double longitudeRad) const {
    double column = (degrees(longitudeRad) - west_) / cell_, row = rows_ - (degrees(latitudeRad) - south_) / cell_;
    return column >= -kEdgeTolerance && column <= columns_ + kEdgeTolerance && row >= -kEdgeTolerance &&
           row <= rows_ + kEdgeTolerance;
}

double AsciiGridTerrain::elevation_feet(double latitudeRad, double longitudeRad) const {
    if (!covers(latitudeRad, longitudeRad)) return 0.0;
    double column = (degrees(longitudeRad) - west_) / cell_, row = rows_ - (degrees(latitudeRad) - south_) / cell_;
    auto cell = [this](int r, int c) { return at(r, c); };
    return bilinear_at_centres(column, row, columns_, rows_, cell) * kFeetPerMetre;
}

}  // namespace hostsim
