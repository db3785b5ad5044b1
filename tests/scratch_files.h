// Scratch files for the probe-host and terrain tests: a fresh directory per
// test, and files written whole.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
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

}  // namespace tp_test
