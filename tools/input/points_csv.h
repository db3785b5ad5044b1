// Probe points from a CSV file: latitude and longitude in degrees and
// altitude in feet, one point per line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "csv_file.h"
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
};

// Throws FileError.
// The position in three fields from fields[first] on: latitude and
// longitude in degrees, altitude in feet; points and routes alike.
Position csv_position(const LineError& error, const std::vector<std::string>& fields, size_t first);

std::vector<FilePoint> read_points_csv(const std::string& path);
// The same from the file's bytes; name is its path, for messages.
std::vector<FilePoint> parse_points_csv(const std::string& bytes, const std::string& name);

}  // namespace probe
