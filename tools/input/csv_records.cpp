// The columns from the header's names and units, the file's decimal mark
// from its numbers, then each row's fields read into a record.
#include "csv_records.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "csv_numbers.h"

namespace probe {
namespace {

enum Field { Time, Latitude, Longitude, Altitude, Name, Expected, kFieldCount };
enum class Dimension { Time, Angle, Length, Text };

struct FieldInfo {
    const char* what;  // in messages
    std::vector<const char*> names;
    Dimension dimension;
    double low, high;  // in seconds, degrees, feet
};

const FieldInfo kFieldInfo[kFieldCount] = {
    {"time", {"time", "t"}, Dimension::Time, 0, 1e9},
    {"latitude", {"lat", "latitude"}, Dimension::Angle, -90, 90},
    {"longitude", {"lon", "long", "lng", "longitude"}, Dimension::Angle, -180, 180},
    {"altitude", {"alt", "altitude", "elevation", "elev", "height"}, Dimension::Length, -2000000, 2000000},
    {"name", {"name", "id", "label", "point", "ident", "waypoint"}, Dimension::Text, 0, 0},
    {"expected elevation", {"expected"}, Dimension::Length, -2000000, 2000000},
};

struct Unit {
    std::vector<const char*> names;
    Dimension dimension;
    double scale;  // to seconds, degrees, feet
};

const Unit kUnits[] = {
    {{"s", "sec", "secs", "second", "seconds"}, Dimension::Time, 1},
    {{"ms"}, Dimension::Time, 0.001},
    {{"min"}, Dimension::Time, 60},
    {{"deg", "degree", "degrees", "\xC2\xB0"}, Dimension::Angle, 1},
    {{"rad", "radian", "radians"}, Dimension::Angle, 57.29577951308232},
    {{"ft", "feet", "foot"}, Dimension::Length, 1},
    {{"m", "meter", "meters", "metre", "metres"}, Dimension::Length, 1 / 0.3048},
};

const char* kUnitsOf[] = {"s, ms, min", "deg, rad", "ft, m", ""};

bool named(const std::vector<const char*>& names, const std::string& word) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return word == n; });
}

const Unit* unit_named(const std::string& word) {
    for (const Unit& unit : kUnits)
        if (named(unit.names, word)) return &unit;
    return nullptr;
}

std::string trimmed(const std::string& text, const char* around = " _-") {
    size_t first = text.find_first_not_of(around), last = text.find_last_not_of(around);
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// A column name as its base and its unit: "altitude (m)", "alt [ft]",
// "alt_m" and "elevation_m" all give a unit.
void split_unit(const std::string& header, std::string& base, std::string& unit) {
    std::string name = header;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    name = trimmed(name, " ");
    base = name, unit.clear();
    if (!name.empty() && (name.back() == ')' || name.back() == ']')) {
        size_t open = name.rfind(name.back() == ')' ? '(' : '[');
        if (open == std::string::npos) return;
        unit = trimmed(name.substr(open + 1, name.size() - open - 2), " ");
        base = trimmed(name.substr(0, open));
        return;
    }
    size_t cut = name.find_last_of("_ -");
    if (cut != std::string::npos && unit_named(name.substr(cut + 1))) {
        unit = name.substr(cut + 1);
        base = trimmed(name.substr(0, cut));
    }
}

bool belongs_to(Field field, RecordKind kind) {
    return kind == RecordKind::Point ? field != Time : field != Expected;
}

bool required(Field field, RecordKind kind) {
    return field != Name && field != Expected && belongs_to(field, kind);
}

class Reader {
public:
    Reader(const CsvTable& table, const std::string& path, RecordKind kind) : table_(table), path_(path), kind_(kind) {
        std::fill(std::begin(index_), std::end(index_), -1);
        std::fill(std::begin(scale_), std::end(scale_), 1.0);
        if (!table.header.empty()) map_header();
        if (!named_) {
            int i = 0;
            for (Field f : {Time, Latitude, Longitude, Altitude})
                if (belongs_to(f, kind)) index_[f] = i++;
            fields_ = static_cast<size_t>(i);
        }
        mark_ = decimal_mark_of(number_fields(), table.separator);
    }

    CsvRecord read(const CsvRow& row) const {
        check_field_count(row);
        CsvRecord r;
        r.line = row.line;
        if (index_[Time] >= 0) r.seconds = number(row, Time);
        r.latitudeDeg = number(row, Latitude);
        r.longitudeDeg = number(row, Longitude);
        r.altitudeFt = number(row, Altitude);
        if (index_[Name] >= 0) r.name = printable(field(row, Name));
        if (index_[Expected] >= 0 && !field(row, Expected).empty()) r.expectedFt = number(row, Expected);
        return r;
    }

private:
    // The header's names decide the columns once they name one of the
    // position's; a header of other names (another language's, say) keeps
    // the fixed order.
    void map_header() {
        int firstOf[kFieldCount];
        std::fill(std::begin(firstOf), std::end(firstOf), -1);
        for (size_t i = 0; i < table_.header.size(); ++i) {
            std::string base, unit;
            split_unit(table_.header[i], base, unit);
            for (int f = 0; f < kFieldCount; ++f) {
                if (!belongs_to(Field(f), kind_) || !named(kFieldInfo[f].names, base)) continue;
                if (index_[f] >= 0)
                    header_error(i, "columns " + std::to_string(column(static_cast<size_t>(index_[f]))) + " and " +
                                        std::to_string(column(i)) + " both give the " + kFieldInfo[f].what);
                index_[f] = static_cast<int>(i);
                take_unit(Field(f), i, unit);
            }
        }
        named_ = std::any_of(std::begin(index_), std::begin(index_) + Name, [](int i) { return i >= 0; });
        if (!named_) {
            std::fill(std::begin(index_), std::end(index_), -1);
            return;
        }
        for (int f = 0; f < kFieldCount; ++f)
            if (required(Field(f), kind_) && index_[f] < 0)
                throw FileError(path_ + " line " + std::to_string(table_.headerLine) + ": the header names no " +
                                kFieldInfo[f].what + " column (name it " + names_of(Field(f)) + ")");
        fields_ = table_.header.size();
    }

    void take_unit(Field f, size_t i, const std::string& unit) {
        const FieldInfo& info = kFieldInfo[f];
        if (unit.empty() || info.dimension == Dimension::Text) return;
        const Unit* u = unit_named(unit);
        if (!u || u->dimension != info.dimension)
            header_error(i, "'" + printable(table_.header[i]) + "': the " + info.what + "'s unit '" + printable(unit) +
                                "' is not one probe-host reads (" + kUnitsOf[static_cast<int>(info.dimension)] + ")");
        scale_[f] = u->scale;
        unit_[f] = unit;
    }

    [[noreturn]] void header_error(size_t i, const std::string& what) const {
        LineError(path_, table_.headerLine, column(i)).raise(what);
    }

    static std::string names_of(Field f) {
        std::string text;
        const std::vector<const char*>& names = kFieldInfo[f].names;
        for (size_t i = 0; i < names.size(); ++i)
            text += std::string(i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
        return text + (kFieldInfo[f].dimension == Dimension::Length ? ", in ft unless a unit says m: alt_m, altitude (m)"
                                                                    : "");
    }

    std::vector<const std::string*> number_fields() const {
        std::vector<const std::string*> fields;
        for (const CsvRow& row : table_.rows)
            for (int f = 0; f < kFieldCount; ++f)
                if (f != Name && index_[f] >= 0 && static_cast<size_t>(index_[f]) < row.fields.size())
                    fields.push_back(&row.fields[static_cast<size_t>(index_[f])]);
        return fields;
    }

    void check_field_count(const CsvRow& row) const {
        if (named_ && row.fields.size() > fields_)
            LineError(path_, row.line)
                .raise(std::to_string(row.fields.size()) + " fields where the header on line " +
                       std::to_string(table_.headerLine) + " names " + std::to_string(fields_));
        if (!named_ && row.fields.size() != fields_)
            LineError(path_, row.line)
                .raise(std::string("expected ") + (kind_ == RecordKind::Point ? "" : "time,") +
                       "latitude,longitude,altitude (" + std::to_string(fields_) + " fields), found " +
                       std::to_string(row.fields.size()));
    }

    int column(size_t i) const { return i < table_.columns.size() ? table_.columns[i] : static_cast<int>(i + 1); }

    const std::string& field(const CsvRow& row, Field f) const {
        static const std::string kEmpty;
        auto i = static_cast<size_t>(index_[f]);
        return i < row.fields.size() ? row.fields[i] : kEmpty;
    }

    double number(const CsvRow& row, Field f) const {
        const FieldInfo& info = kFieldInfo[f];
        const std::string& text = field(row, f);
        LineError error(path_, row.line, column(static_cast<size_t>(index_[f])));
        std::string what = info.what;
        if (text.empty()) error.raise(what + " is empty");
        NumberReading reading = read_number(text, mark_);
        std::string quoted = "'" + printable(text) + "'";
        switch (reading.kind) {
        case NumberReading::NotANumber: error.raise(what + " " + quoted + " is not a number");
        case NumberReading::BadGroups:
            error.raise(what + " " + quoted + " is not a number as this file writes them (" + mark_words(mark_) + ")");
        case NumberReading::Ambiguous:
            error.raise(what + " " + quoted + " could be read with either decimal mark, and this file writes " +
                        mark_words(mark_) + ": write it without a thousands separator");
        case NumberReading::Number: break;
        }
        double value = reading.value * scale_[f];
        if (!(value >= info.low && value <= info.high)) {
            char range[160];
            std::string unit = unit_[f].empty() ? "" : " " + unit_[f];
            std::snprintf(range, sizeof range, "%.10g..%.10g%s", info.low / scale_[f], info.high / scale_[f],
                          unit.c_str());
            std::string read;
            if (reading.grouped) {
                char number[64];
                std::snprintf(number, sizeof number, "%.10g", reading.value);
                read = std::string(" (read as ") + number + ", in a file of " + mark_words(mark_) + ")";
            }
            error.raise(what + " " + printable(text) + unit + read + " is outside " + range);
        }
        return value;
    }

    const CsvTable& table_;
    const std::string& path_;
    RecordKind kind_;
    bool named_ = false;
    size_t fields_ = 0;
    int index_[kFieldCount];
    double scale_[kFieldCount];
    std::string unit_[kFieldCount];
    DecimalMark mark_ = DecimalMark::Point;
};

}  // namespace

std::vector<CsvRecord> read_records(const CsvTable& table, const std::string& path, RecordKind kind) {
    Reader reader(table, path, kind);
    std::vector<CsvRecord> records;
    records.reserve(table.rows.size());
    for (const CsvRow& row : table.rows) records.push_back(reader.read(row));
    return records;
}

std::string record_label(int line, const std::string& name) {
    return "line " + std::to_string(line) + (name.empty() ? "" : " (" + name + ")");
}

}  // namespace probe
