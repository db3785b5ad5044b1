// Reading the CSV files a user gives probe-host (points, routes), as a
// spreadsheet saves them: an optional UTF-8 byte-order mark, fields that
// may be quoted, # comments and blank lines, and a first line that may
// name the columns. Every error names the file and, for a bad line, the
// line's number.
#pragma once

#include <string>
#include <vector>

#include "errors.h"

namespace probe {

struct CsvRow {
    int line;
    std::vector<std::string> fields;
};

class LineError {
public:
    LineError(const std::string& path, int line) : where_(path + " line " + std::to_string(line) + ": ") {}
    [[noreturn]] void raise(const std::string& what) const { throw FileError(where_ + what); }

private:
    std::string where_;
};

// The data rows, the column names left out. what names the file's kind in
// messages ("points file"). Throws FileError.
std::vector<CsvRow> read_csv(const std::string& path, const std::string& what);

// A field as a number within low..high; what names it in the message.
double csv_number(const LineError& error, const std::string& field, const char* what, double low, double high);

}  // namespace probe
