// The points file: a point a line, at most as many points as the module
// takes.
#include "points_csv.h"

#include "csv_records.h"
#include "options.h"

namespace probe {

std::vector<FilePoint> read_points_csv(const std::string& path) {
    return parse_points_csv(read_csv_file(path, "points file"), path);
}

std::vector<FilePoint> parse_points_csv(const std::string& bytes, const std::string& path) {
    CsvTable table = parse_csv(bytes, path, "points file");
    if (table.rows.size() > static_cast<size_t>(kMaxPoints))
        LineError(path, table.rows[kMaxPoints].line).raise("more than " + std::to_string(kMaxPoints) + " points");
    std::vector<FilePoint> points;
    for (const CsvRecord& r : read_records(table, path, RecordKind::Point))
        points.push_back({{r.latitudeDeg, r.longitudeDeg, r.altitudeFt}, r.line, r.name, r.expectedFt});
    if (points.empty())
        throw FileError("points file " + path + " holds no points (one per line: latitude,longitude,altitude)");
    return points;
}

}  // namespace probe
