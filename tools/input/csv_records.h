// The records of a points or route file: where a first line names the
// columns, the names decide which field is which and in what unit (any
// case: lat or latitude; lon, long, lng or longitude; alt, altitude,
// elevation or height; time; a name or id; for points, the expected
// elevation; a unit as in alt_m, altitude (m) or alt [ft]). Without such
// names the fields come in their fixed order: time (routes only),
// latitude, longitude, altitude in seconds, degrees and feet.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "csv_file.h"

namespace probe {

struct CsvRecord {
    int line = 0;
    double seconds = 0;  // routes only
    double latitudeDeg = 0, longitudeDeg = 0, altitudeFt = 0;
    std::string name;                 // "" where the file names none
    std::optional<double> expectedFt;  // points only, where the file gives it
};

enum class RecordKind { Point, RoutePoint };

// Throws FileError naming the line (and the column) of what cannot be read.
std::vector<CsvRecord> read_records(const CsvTable& table, const std::string& path, RecordKind kind);

// "line 4 (Zugspitze)", or "line 4" for a record without a name.
std::string record_label(int line, const std::string& name);

}  // namespace probe
