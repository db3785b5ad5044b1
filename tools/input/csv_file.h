// Reading the CSV files a user gives probe-host (points, routes), as a
// spreadsheet saves them: UTF-8 with or without a byte-order mark, or
// UTF-16 with one; lines ended by CR LF, LF or CR alone; fields split at
// commas, or at semicolons (or tabs) where the file uses those or names
// them in Excel's "sep=;" line, with decimal commas then allowed; fields that may be quoted; # comments,
// blank lines, rows and columns left empty, and a first line that may
// name the columns. Every error names the file and, for a bad line, the
// line's number; field text in a message is shown safely.
#pragma once

#include <string>
#include <vector>

#include "errors.h"

namespace probe {

struct CsvRow {
    int line;
    std::vector<std::string> fields;
};

// A file's rows with its column names, when its first row gives them.
struct CsvTable {
    std::vector<std::string> header;  // empty: no header
    int headerLine = 0;
    std::vector<int> columns;  // each field's column in the file, from 1: empty columns are left out
    std::vector<CsvRow> rows;
    char separator = ',';
};

class LineError {
public:
    LineError(const std::string& path, int line) : where_(path + " line " + std::to_string(line) + ": ") {}
    LineError(const std::string& path, int line, int column)
        : where_(path + " line " + std::to_string(line) + ", column " + std::to_string(column) + ": ") {}
    [[noreturn]] void raise(const std::string& what) const { throw FileError(where_ + what); }

private:
    std::string where_;
};

// The file's bytes; what names the file's kind in messages ("points
// file"). Throws FileError.
std::string read_csv_file(const std::string& path, const std::string& what);

// The data rows of a file's bytes and its column names, the empty rows
// and columns left out; name is the file's path, for messages. Throws
// FileError.
CsvTable parse_csv(const std::string& bytes, const std::string& name, const std::string& what);

// Text from a file as a message can quote it: control characters, terminal
// escapes and bytes that are not UTF-8 written as \xNN, long text cut.
std::string printable(const std::string& text);

}  // namespace probe
