// The SRTM tile reader and its bilinear model.
#include "hostsim/srtm_terrain.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace hostsim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFeetPerMetre = 1.0 / 0.3048;

enum CellState : uint8_t { kUnknown, kQueued, kKnown };

// "N47E011" from the file name: the corner's hemisphere letters and
// degrees. False when the name does not have that form or is out of range.
bool parse_corner(const std::string& stem, int& south, int& west) {
    if (stem.size() != 7) return false;
    char ns = static_cast<char>(std::toupper(static_cast<unsigned char>(stem[0])));
    char ew = static_cast<char>(std::toupper(static_cast<unsigned char>(stem[3])));
    for (size_t i : {1, 2, 4, 5, 6})
        if (!std::isdigit(static_cast<unsigned char>(stem[i]))) return false;
    if ((ns != 'N' && ns != 'S') || (ew != 'E' && ew != 'W')) return false;
    int lat = std::stoi(stem.substr(1, 2));
    int lon = std::stoi(stem.substr(4, 3));
    south = ns == 'N' ? lat : -lat;
    west = ew == 'E' ? lon : -lon;
    return south >= -90 && south <= 89 && west >= -180 && west <= 179;
}

int side_for_size(uintmax_t bytes) {
    for (int side : {1201, 3601})
        if (bytes == static_cast<uintmax_t>(side) * side * 2) return side;
    return 0;
}

std::vector<int16_t> read_heights(const std::string& path, int side) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes(static_cast<size_t>(side) * side * 2);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        throw TerrainFileError("cannot read terrain file " + path);
    std::vector<int16_t> heights(bytes.size() / 2);
    for (size_t i = 0; i < heights.size(); ++i)
        heights[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]));
    return heights;
}

// Fills void cells from the measured cells around them, ring by ring
// inwards: each void cell takes the mean of its eight neighbours that were
// known before its ring, so the result does not depend on the scan order.
// A tile without a single measurement is left at sea level.
size_t fill_voids(std::vector<float>& metres, std::vector<uint8_t>& state, int side) {
    auto for_neighbours = [side](size_t cell, auto&& visit) {
        int row = static_cast<int>(cell / side), column = static_cast<int>(cell % side);
        for (int dr = -1; dr <= 1; ++dr)
            for (int dc = -1; dc <= 1; ++dc) {
                int r = row + dr, c = column + dc;
                if ((dr || dc) && r >= 0 && r < side && c >= 0 && c < side)
                    visit(static_cast<size_t>(r) * side + c);
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
    size_t filled = 0;
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
        filled += ring.size();
        std::vector<size_t> next;
        for (size_t cell : ring)
            for_neighbours(cell, [&](size_t n) {
                if (state[n] == kUnknown) state[n] = kQueued, next.push_back(n);
            });
        ring.swap(next);
    }
    for (size_t cell = 0; cell < state.size(); ++cell)
        if (state[cell] == kUnknown) metres[cell] = 0.0f, ++filled;
    return filled;
}

}  // namespace

SrtmTerrain::SrtmTerrain(int south, int west, int side, const std::vector<int16_t>& heights)
    : south_(south), west_(west), side_(side), metres_(heights.size()) {
    if (side < 2 || heights.size() != static_cast<size_t>(side) * side)
        throw TerrainFileError("tile data does not match its size");
    std::vector<uint8_t> state(heights.size(), kKnown);
    for (size_t i = 0; i < heights.size(); ++i) {
        metres_[i] = heights[i];
        if (heights[i] == kVoid) state[i] = kUnknown;
    }
    voidsFilled_ = fill_voids(metres_, state, side);
}

std::shared_ptr<const SrtmTerrain> SrtmTerrain::load(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::is_regular_file(path, error)) throw TerrainFileError("no terrain file at " + path);
    fs::path file(path);
    std::string extension = file.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    int south = 0, west = 0;
    if (extension != ".hgt" || !parse_corner(file.stem().string(), south, west))
        throw TerrainFileError("bad terrain file " + path +
                               ": an SRTM tile is named after its south-west corner, like N47E011.hgt");
    uintmax_t bytes = fs::file_size(path, error);
    if (error) throw TerrainFileError("cannot read terrain file " + path + ": " + error.message());
    int side = side_for_size(bytes);
    if (side == 0)
        throw TerrainFileError("bad terrain file " + path + ": " + std::to_string(bytes) +
                               " bytes, but an SRTM tile has 2884802 (1201 x 1201 samples) or 25934402 "
                               "(3601 x 3601)");
    return std::make_shared<SrtmTerrain>(south, west, side, read_heights(path, side));
}

bool SrtmTerrain::covers(double latitudeDeg, double longitudeDeg) const {
    return latitudeDeg >= south_ && latitudeDeg <= south_ + 1 && longitudeDeg >= west_ && longitudeDeg <= west_ + 1;
}

double SrtmTerrain::elevation_metres(double latitudeDeg, double longitudeDeg) const {
    if (!covers(latitudeDeg, longitudeDeg)) return 0.0;
    const int last = side_ - 1;
    double y = (south_ + 1 - latitudeDeg) * last;  // rows from the northern edge
    double x = (longitudeDeg - west_) * last;      // columns from the western edge
    int row = std::min(static_cast<int>(y), last - 1);
    int column = std::min(static_cast<int>(x), last - 1);
    double fy = y - row, fx = x - column;
    double top = sample(row, column) * (1 - fx) + sample(row, column + 1) * fx;
    double bottom = sample(row + 1, column) * (1 - fx) + sample(row + 1, column + 1) * fx;
    return top * (1 - fy) + bottom * fy;
}

double SrtmTerrain::elevation_feet(double latitudeRad, double longitudeRad) const {
    return elevation_metres(latitudeRad * 180.0 / kPi, longitudeRad * 180.0 / kPi) * kFeetPerMetre;
}

std::string SrtmTerrain::name() const {
    char text[32];
    std::snprintf(text, sizeof text, "%c%02d%c%03d", south_ < 0 ? 'S' : 'N', std::abs(south_), west_ < 0 ? 'W' : 'E',
                  std::abs(west_));
    return text;
}

}  // namespace hostsim
