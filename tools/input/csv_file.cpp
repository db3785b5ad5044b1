// The CSV reader shared by the points and route files: the file's bytes
// to text, the text to lines, the lines to rows of fields.
#include "csv_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace probe {
namespace {

constexpr size_t kQuotedBytes = 80;  // of a field, in a message

std::string trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

void append_utf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The length of the UTF-8 character at text[i], with its code point; 0
// where the bytes there are not UTF-8 (overlong forms and surrogates
// included).
size_t utf8_at(const std::string& text, size_t i, uint32_t& code) {
    auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (!length || lead > 0xF4 || i + length > text.size()) return 0;
    code = lead & (0x3Fu >> (length - 1));
    for (size_t k = 1; k < length; ++k) {
        auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = code << 6 | (next & 0x3F);
    }
    constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return 0;
    return length;
}

// Characters a terminal acts on rather than shows: C0 and C1 controls
// (ESC and CSI start escape sequences), DEL, and the marks that reorder
// the text around them.
bool acts_on_terminal(uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code < 0xA0) || code == 0x200E || code == 0x200F ||
           (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

// UTF-16 after its byte-order mark, as UTF-8; a lone surrogate or an odd
// last byte becomes U+FFFD, which no field accepts.
std::string utf16_to_utf8(const std::string& bytes, bool littleEndian) {
    auto unit = [&](size_t i) -> uint32_t {
        auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return littleEndian ? a | b << 8 : a << 8 | b;
    };
    std::string out;
    out.reserve(bytes.size() / 2);
    size_t i = 2;
    for (; i + 1 < bytes.size(); i += 2) {
        uint32_t code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
            uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                append_utf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        append_utf8(out, code >= 0xD800 && code < 0xE000 ? 0xFFFD : code);
    }
    if (i < bytes.size()) append_utf8(out, 0xFFFD);
    return out;
}

bool starts_with(const std::string& bytes, const char* mark) { return bytes.compare(0, std::strlen(mark), mark) == 0; }

// The file's text in UTF-8, whichever of the encodings a spreadsheet saves
// it came in.
std::string text_of(const std::string& bytes, const std::string& name, const std::string& what) {
    if (starts_with(bytes, "\xEF\xBB\xBF")) return bytes.substr(3);
    if (starts_with(bytes, "\xFF\xFE")) return utf16_to_utf8(bytes, true);
    if (starts_with(bytes, "\xFE\xFF")) return utf16_to_utf8(bytes, false);
    if (bytes.find('\0') != std::string::npos)
        throw FileError(what + " " + name +
                        " is not text: it holds NUL bytes (UTF-16 is read when it starts with its byte-order mark; "
                        "otherwise save the file as CSV in UTF-8)");
    return bytes;
}

// Lines ended by CR LF, LF or CR alone, as Windows, Unix and old Mac
// spreadsheets end them.
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// The file's separator, from its first line that holds more than
// separators: a semicolon
// where it has one (as spreadsheets save in locales with decimal commas),
// else a tab where it has tabs and no comma, else a comma.
char separator_of(const std::string& line) {
    bool quoted = false, comma = false, tab = false;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        else if (quoted) continue;
        else if (c == ';') return ';';
        else if (c == ',') comma = true;
        else if (c == '\t') tab = true;
    }
    return tab && !comma ? '\t' : ',';
}

// Fields split at the separator outside double quotes; a doubled quote
// inside a quoted field is one quote.
std::vector<std::string> fields_of(const std::string& line, char separator) {
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
        } else if (c == separator) {
            fields.push_back(trim(field));
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(trim(field));
    return fields;
}

bool all_empty(const std::vector<std::string>& fields) {
    return std::all_of(fields.begin(), fields.end(), [](const std::string& f) { return f.empty(); });
}

// Column names: every field that is not empty begins with a letter.
bool names_columns(const std::vector<std::string>& fields) {
    return std::all_of(fields.begin(), fields.end(), [](const std::string& f) {
        return f.empty() || std::isalpha(static_cast<unsigned char>(f[0]));
    });
}

std::vector<std::string> kept_fields(std::vector<std::string>& fields, const std::vector<bool>& filled) {
    std::vector<std::string> kept;
    for (size_t i = 0; i < fields.size(); ++i)
        if (i >= filled.size() || filled[i]) kept.push_back(std::move(fields[i]));
    return kept;
}

// Columns that neither a data row nor the header fills, as a spreadsheet
// leaves them around its data; the columns kept are numbered as the file
// numbers them.
void drop_empty_columns(CsvTable& table) {
    std::vector<bool> filled(table.header.size());
    for (size_t i = 0; i < table.header.size(); ++i) filled[i] = !table.header[i].empty();
    for (const CsvRow& row : table.rows) {
        if (filled.size() < row.fields.size()) filled.resize(row.fields.size());
        for (size_t i = 0; i < row.fields.size(); ++i) filled[i] = filled[i] || !row.fields[i].empty();
    }
    for (size_t i = 0; i < filled.size(); ++i)
        if (filled[i]) table.columns.push_back(static_cast<int>(std::min<size_t>(i + 1, INT32_MAX)));
    if (std::all_of(filled.begin(), filled.end(), [](bool f) { return f; })) return;
    table.header = kept_fields(table.header, filled);
    for (CsvRow& row : table.rows) row.fields = kept_fields(row.fields, filled);
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

std::string read_csv_file(const std::string& path, const std::string& what) {
    std::ifstream in = open_csv(path, what);
    std::string bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) bytes.append(buffer, static_cast<size_t>(in.gcount()));
    if (in.bad()) throw FileError("reading " + what + " " + path + " failed");
    return bytes;
}

CsvTable parse_csv(const std::string& bytes, const std::string& name, const std::string& what) {
    std::vector<std::string> lines = lines_of(text_of(bytes, name, what));
    CsvTable table;
    char separator = 0;
    bool first = true;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string content = trim(lines[i]);
        if (content.empty() || content[0] == '#') continue;
        if (!separator) {
            if (content.find_first_not_of(",;\t \"") == std::string::npos) continue;  // an empty row
            // Excel's own line naming the separator, as it writes one for
            // other locales: "sep=;".
            if (content.size() == 5 && content.compare(0, 4, "sep=") == 0) {
                separator = content[4];
                continue;
            }
            separator = separator_of(content);
        }
        std::vector<std::string> fields = fields_of(lines[i], separator);
        if (all_empty(fields)) continue;
        int line = static_cast<int>(std::min<size_t>(i + 1, INT32_MAX));
        if (first && names_columns(fields)) table.header = std::move(fields), table.headerLine = line;
        else table.rows.push_back({line, std::move(fields)});
        first = false;
    }
    if (separator) table.separator = separator;
    drop_empty_columns(table);
    return table;
}

std::string printable(const std::string& text) {
    std::string out;
    size_t i = 0;
    while (i < text.size() && out.size() < kQuotedBytes) {
        uint32_t code = 0;
        size_t length = utf8_at(text, i, code);
        if (length && !acts_on_terminal(code)) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        for (size_t end = i + std::max<size_t>(length, 1); i < end; ++i) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[i]));
            out += escaped;
        }
    }
    if (i < text.size()) out += "...";
    return out;
}

}  // namespace probe
