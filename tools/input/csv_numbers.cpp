// A number field is split into its sign, its body of digits and marks,
// and its exponent; the body is then read with one decimal mark, the other
// mark between thousands.
#include "csv_numbers.h"

#include <cstdlib>

namespace probe {
namespace {

struct Parts {
    std::string sign, body, exponent;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// sign? [digits . ,]+ ([eE] sign? digits)?, or false.
bool split_number(const std::string& field, Parts& parts) {
    size_t i = 0, n = field.size();
    if (i < n && (field[i] == '+' || field[i] == '-')) parts.sign = field[i++];
    size_t begin = i;
    while (i < n && (is_digit(field[i]) || field[i] == '.' || field[i] == ',')) ++i;
    parts.body = field.substr(begin, i - begin);
    if (i < n && (field[i] == 'e' || field[i] == 'E')) {
        size_t start = i++;
        if (i < n && (field[i] == '+' || field[i] == '-')) ++i;
        size_t digits = i;
        while (i < n && is_digit(field[i])) ++i;
        if (i == digits) return false;
        parts.exponent = field.substr(start, i - start);
    }
    return i == n && !parts.body.empty();
}

// Digits between thousands separators: a first group of one to three
// digits that does not start with 0, then groups of three.
bool thousands(const std::string& integer, char group, std::string& digits) {
    size_t start = 0;
    for (bool first = true;; first = false) {
        size_t end = integer.find(group, start);
        std::string part = integer.substr(start, end == std::string::npos ? std::string::npos : end - start);
        bool fits = first ? !part.empty() && part.size() <= 3 && part[0] != '0' : part.size() == 3;
        if (!fits || part.find_first_not_of("0123456789") != std::string::npos) return false;
        digits += part;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

// The body read with `decimal` as its decimal mark and `group` between
// thousands, as strtod reads it, or false.
bool with_marks(const Parts& parts, char decimal, char group, std::string& plain, bool& grouped) {
    const std::string& body = parts.body;
    size_t mark = body.find(decimal);
    if (mark != std::string::npos && body.find(decimal, mark + 1) != std::string::npos) return false;
    std::string integer = body.substr(0, mark);
    std::string fraction = mark == std::string::npos ? "" : body.substr(mark + 1);
    if (fraction.find_first_not_of("0123456789") != std::string::npos) return false;
    grouped = integer.find(group) != std::string::npos;
    plain.clear();
    if (grouped) {
        if (!parts.exponent.empty() || !thousands(integer, group, plain)) return false;
    } else {
        plain = integer;
    }
    if (plain.empty() && fraction.empty()) return false;
    plain = parts.sign + plain + "." + fraction + parts.exponent;
    return true;
}

bool has_marks(const Parts& parts) { return parts.body.find_first_of(".,") != std::string::npos; }

}  // namespace

DecimalMark decimal_mark_of(const std::vector<const std::string*>& fields, char separator) {
    bool point = false, comma = false;
    for (const std::string* field : fields) {
        Parts parts;
        if (!split_number(*field, parts) || !has_marks(parts)) continue;
        std::string plain;
        bool grouped;
        bool asPoint = with_marks(parts, '.', ',', plain, grouped), asComma = with_marks(parts, ',', '.', plain, grouped);
        point = point || (asPoint && !asComma);
        comma = comma || (asComma && !asPoint);
    }
    if (point && comma) return DecimalMark::Either;
    if (point || comma) return point ? DecimalMark::Point : DecimalMark::Comma;
    return separator == ';' ? DecimalMark::Comma : DecimalMark::Point;
}

NumberReading read_number(const std::string& field, DecimalMark mark) {
    NumberReading reading;
    Parts parts;
    if (!split_number(field, parts)) return reading;
    std::string asPoint, asComma;
    bool pointGrouped = false, commaGrouped = false;
    bool point = mark != DecimalMark::Comma && with_marks(parts, '.', ',', asPoint, pointGrouped);
    bool comma = mark != DecimalMark::Point && with_marks(parts, ',', '.', asComma, commaGrouped);
    double pointValue = point ? std::strtod(asPoint.c_str(), nullptr) : 0;
    double commaValue = comma ? std::strtod(asComma.c_str(), nullptr) : 0;
    if (point && comma && pointValue != commaValue) {
        reading.kind = NumberReading::Ambiguous;
    } else if (point || comma) {
        reading.kind = NumberReading::Number;
        reading.value = point ? pointValue : commaValue;
        reading.grouped = point ? pointGrouped : commaGrouped;
    } else {
        reading.kind = has_marks(parts) && mark != DecimalMark::Either ? NumberReading::BadGroups
                                                                        : NumberReading::NotANumber;
    }
    return reading;
}

const char* mark_words(DecimalMark mark) {
    switch (mark) {
    case DecimalMark::Point: return "decimal points, commas between thousands";
    case DecimalMark::Comma: return "decimal commas, points between thousands";
    default: return "both decimal points and decimal commas";
    }
}

}  // namespace probe
