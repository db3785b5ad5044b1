// The points file reader. Every error names the file and the line, so a
// panel developer can go straight to it.
#include "points_csv.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "options.h"

namespace probe {
namespace {

std::string trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t comma = line.find(',', start);
        fields.push_back(trim(line.substr(start, comma - start)));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

bool is_header(const std::vector<std::string>& fields) {
    for (const std::string& field : fields)
        if (field.empty() || !std::isalpha(static_cast<unsigned char>(field[0]))) return false;
    return true;
}

class LineError {
public:
    LineError(const std::string& path, int line) : where_(path + " line " + std::to_string(line) + ": ") {}
    [[noreturn]] void raise(const std::string& what) const { throw FileError(where_ + what); }

private:
    std::string where_;
};

double number(const LineError& error, const std::string& field, const char* what, double low, double high) {
    char* end = nullptr;
    double value = std::strtod(field.c_str(), &end);
    if (field.empty() || *end != '\0' || !std::isfinite(value))
        error.raise(std::string(what) + " '" + field + "' is not a number");
    if (value < low || value > high)
        error.raise(std::string(what) + " " + field + " is outside " + std::to_string(static_cast<int>(low)) + ".." +
                    std::to_string(static_cast<int>(high)));
    return value;
}

Position parse_point(const LineError& error, const std::vector<std::string>& fields) {
    if (fields.size() != 3)
        error.raise("expected latitude,longitude,altitude (3 fields), found " + std::to_string(fields.size()));
    Position p;
    p.latitudeDeg = number(error, fields[0], "latitude", -90, 90);
    p.longitudeDeg = number(error, fields[1], "longitude", -180, 180);
    p.altitudeFt = number(error, fields[2], "altitude", -2000000, 2000000);
    return p;
}

}  // namespace

std::vector<FilePoint> read_points_csv(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw FileError("cannot open points file " + path);
    std::vector<FilePoint> points;
    std::string text;
    bool first = true;
    for (int line = 1; std::getline(in, text); ++line) {
        std::string content = trim(text);
        if (content.empty() || content[0] == '#') continue;
        std::vector<std::string> fields = fields_of(content);
        bool header = first && is_header(fields);
        first = false;
        if (header) continue;
        points.push_back({parse_point(LineError(path, line), fields), line});
        if (points.size() > static_cast<size_t>(kMaxPoints))
            LineError(path, line).raise("more than " + std::to_string(kMaxPoints) + " points");
    }
    if (points.empty()) throw FileError(path + " holds no points (one per line: latitude,longitude,altitude)");
    return points;
}

}  // namespace probe
