// Scratch files for the probe-host and terrain tests: a fresh directory per
// test, and SRTM tiles written sample by sample.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace tp_test {

inline std::filesystem::path scratch_directory(const std::string& name) {
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("tp-" + name + "-" + std::to_string(stamp));
    std::filesystem::create_directories(dir);
    return dir;
}

inline void write_file(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// A side x side tile of big-endian heights, the northern row first.
inline void write_tile(const std::filesystem::path& path, int side, const std::function<int16_t(int, int)>& height) {
    std::string bytes(static_cast<size_t>(side) * side * 2, '\0');
    for (int row = 0; row < side; ++row)
        for (int column = 0; column < side; ++column) {
            auto h = static_cast<uint16_t>(height(row, column));
            size_t at = (static_cast<size_t>(row) * side + column) * 2;
            bytes[at] = static_cast<char>(h >> 8);
            bytes[at + 1] = static_cast<char>(h & 0xFF);
        }
    write_file(path, bytes);
}

}  // namespace tp_test
