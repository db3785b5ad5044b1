// The points file: three fields a line, at most as many points as the
// module takes.
#include "points_csv.h"

#include "csv_file.h"
#include "options.h"

namespace probe {

Position csv_position(const LineError& error, const std::vector<std::string>& fields, size_t first) {
    Position p;
    p.latitudeDeg = csv_number(error, fields[first], "latitude", -90, 90);
    p.longitudeDeg = csv_number(error, fields[first + 1], "longitude", -180, 180);
    p.altitudeFt = csv_number(error, fields[first + 2], "altitude", -2000000, 2000000);
    return p;
}

std::vector<FilePoint> read_points_csv(const std::string& path) {
    return parse_points_csv(read_csv_file(path, "points file"), path);
}

std::vector<FilePoint> parse_points_csv(const std::string& bytes, const std::string& path) {
    std::vector<FilePoint> points;
    for (const CsvRow& row : parse_csv(bytes, path, "points file")) {
        LineError error(path, row.line);
        if (row.fields.size() != 3)
            error.raise("expected latitude,longitude,altitude (3 fields), found " + std::to_string(row.fields.size()));
        points.push_back({csv_position(error, row.fields, 0), row.line});
        if (points.size() > static_cast<size_t>(kMaxPoints))
            error.raise("more than " + std::to_string(kMaxPoints) + " points");
    }
    if (points.empty())
        throw FileError("points file " + path + " holds no points (one per line: latitude,longitude,altitude)");
    return points;
}

}  // namespace probe
