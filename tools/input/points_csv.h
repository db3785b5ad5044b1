// Probe points from a CSV file: latitude and longitude in degrees and
// altitude in feet, one point per line, with a name and the elevation
// expected there where the file's header names them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "errors.h"

namespace probe {

struct Position {
    double latitudeDeg = 0;
    double longitudeDeg = 0;
    double altitudeFt = 0;
};

struct FilePoint {
    Position position;
    int line;  // where it came from, for messages
    std::string name;  // shown safely; "" where the file names none
    std::optional<double> expectedFt;  // the elevation the module should publish there
};

// Throws FileError.
std::vector<FilePoint> read_points_csv(const std::string& path);
// The same from the file's bytes; name is its path, for messages.
std::vector<FilePoint> parse_points_csv(const std::string& bytes, const std::string& name);

}  // namespace probe
