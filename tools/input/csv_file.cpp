// The CSV reader shared by the points and route files.
#include "csv_file.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace probe {
namespace {

std::string trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

// Fields split at commas outside double quotes; a doubled quote inside a
// quoted field is one quote.
std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c != '"') field += c;
            else if (i + 1 < line.size() && line[i + 1] == '"') field += '"', ++i;
            else quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(trim(field));
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(trim(field));
    return fields;
}

bool is_header(const std::vector<std::string>& fields) {
    for (const std::string& field : fields)
        if (field.empty() || !std::isalpha(static_cast<unsigned char>(field[0]))) return false;
    return true;
}

// Opens path, or says what is wrong with it.
std::ifstream open_csv(const std::string& path, const std::string& what) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) throw FileError(what + " " + path + ": no such file");
    if (fs::is_directory(status)) throw FileError(what + " " + path + " is a directory, not a CSV file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError(what + " " + path + " cannot be read: " + std::strerror(errno));
    return in;
}

}  // namespace

std::vector<CsvRow> read_csv(const std::string& path, const std::string& what) {
    std::ifstream in = open_csv(path, what);
    std::vector<CsvRow> rows;
    std::string text;
    bool first = true;
    for (int line = 1; std::getline(in, text); ++line) {
        if (line == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
        std::string content = trim(text);
        if (content.empty() || content[0] == '#') continue;
        std::vector<std::string> fields = fields_of(content);
        bool header = first && is_header(fields);
        first = false;
        if (!header) rows.push_back({line, std::move(fields)});
    }
    if (in.bad()) throw FileError("reading " + what + " " + path + " failed");
    return rows;
}

double csv_number(const LineError& error, const std::string& field, const char* what, double low, double high) {
    char* end = nullptr;
    double value = std::strtod(field.c_str(), &end);
    if (field.empty() || *end != '\0' || !std::isfinite(value))
        error.raise(std::string(what) + " '" + field + "' is not a number");
    if (value < low || value > high)
        error.raise(std::string(what) + " " + field + " is outside " + std::to_string(static_cast<long>(low)) + ".." +
                    std::to_string(static_cast<long>(high)));
    return value;
}

}  // namespace probe
