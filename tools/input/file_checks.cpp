// The checks. A module file is told apart by its first bytes: "MZ" starts a
// Windows DLL, 0x7F "ELF" a Linux shared object.
#include "file_checks.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

namespace probe {
namespace {

namespace fs = std::filesystem;

#if defined(_WIN32)
constexpr bool kWindowsBuild = true;
#else
constexpr bool kWindowsBuild = false;
#endif

// The file a GDAL virtual path reads: "/vsizip/tiles.zip/a.tif" reads
// tiles.zip.
fs::path file_read_by(const std::string& path) {
    if (path.compare(0, 4, "/vsi") != 0) return path;
    size_t slash = path.find('/', 1);
    if (slash == std::string::npos) return path;
    fs::path rest = path.substr(slash + 1), prefix;
    std::error_code error;
    for (const fs::path& part : rest) {
        prefix /= part;
        if (fs::is_regular_file(prefix, error)) return prefix;
    }
    return rest;
}

// A path resolved through its links as far as it exists; Windows names
// differ in case only.
std::string resolved(const fs::path& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    fs::path canonical = fs::weakly_canonical(absolute, error);
    std::string text = (error ? absolute : canonical).lexically_normal().string();
    if (kWindowsBuild)
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool same_file(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) return fs::equivalent(a, b, error);
    return resolved(a) == resolved(b);
}

}  // namespace

void check_files_distinct(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs) {
    for (size_t o = 0; o < outputs.size(); ++o) {
        const NamedFile& output = outputs[o];
        if (output.path.empty()) continue;
        for (const NamedFile& input : inputs)
            if (!input.path.empty() && same_file(file_read_by(input.path), output.path))
                throw UsageError(std::string(input.option) + " " + input.path + " and " + output.option + " " +
                                 output.path + " are the same file: the output would overwrite the input");
        for (size_t other = 0; other < o; ++other)
            if (!outputs[other].path.empty() && same_file(outputs[other].path, output.path))
                throw UsageError(std::string(outputs[other].option) + " " + outputs[other].path + " and " +
                                 output.option + " " + output.path +
                                 " are the same file: each output needs a file of its own");
    }
}

void check_module_file(const std::string& path) {
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) throw FileError("no module file at " + path);
    if (fs::is_directory(status)) throw FileError("--module " + path + " is a directory, not a module file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError("--module " + path + " cannot be read: " + std::strerror(errno));
    char magic[4] = {};
    in.read(magic, sizeof magic);
    bool dll = magic[0] == 'M' && magic[1] == 'Z';
    bool elf = std::memcmp(magic, "\x7f" "ELF", 4) == 0;
    if (dll && !kWindowsBuild)
        throw FileError(path + " is a Windows DLL: run it with the Windows build of probe-host (probe-host.exe, "
                               "under Wine here)");
    if (elf && kWindowsBuild)
        throw FileError(path + " is a Linux shared object: run it with the native build of probe-host");
    if (!dll && !elf)
        throw FileError(path + " is not a loadable module: neither a Windows DLL nor a Linux shared object");
}

std::string load_error_for(const std::string& message, const std::string& path) {
    // The host's private copies are named terrain_probe-<process>-<load>.
    static const std::regex copy(R"([^ :'"]*terrain_probe-[0-9]+-[0-9]+\.(so|dll))");
    return std::regex_replace(message, copy, path);
}

void check_output_path(const std::string& option, const std::string& path) {
    if (path.empty()) return;
    std::error_code error;
    fs::path file(path);
    if (fs::is_directory(file, error)) throw FileError(option + " " + path + " is a directory, not a file");
    fs::path parent = file.has_parent_path() ? file.parent_path() : fs::path(".");
    if (!fs::exists(parent, error)) throw FileError(option + " " + path + ": the directory " + parent.string() +
                                                    " does not exist");
    if (!fs::is_directory(parent, error)) throw FileError(option + " " + path + ": " + parent.string() +
                                                          " is not a directory");
    bool existed = fs::exists(file, error);
    std::FILE* probe = std::fopen(path.c_str(), "ab");
    if (!probe) throw FileError(option + " " + path + " cannot be written: " + std::strerror(errno));
    std::fclose(probe);
    if (!existed) fs::remove(file, error);
}

}  // namespace probe
