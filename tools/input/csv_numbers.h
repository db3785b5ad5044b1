// Numbers in a CSV file as the spreadsheet that saved it wrote them: a
// decimal mark (point or comma) and, between thousands, the other mark
// ("12,500.5" or "12.500,5"). The file's decimal mark comes from the
// numbers themselves, so that "12,500" in a file of decimal points is
// twelve thousand five hundred.
#pragma once

#include <string>
#include <vector>

namespace probe {

// Either: the file writes both marks as decimal marks, so a number that
// could be read with either ("12.500") is refused.
enum class DecimalMark { Point, Comma, Either };

// The decimal mark of a file whose number fields are these: the mark that
// some field can only be read with; without one, the comma for a file
// separated by semicolons (as spreadsheets save in locales with decimal
// commas), else the point.
DecimalMark decimal_mark_of(const std::vector<const std::string*>& fields, char separator);

struct NumberReading {
    enum Kind { Number, NotANumber, BadGroups, Ambiguous } kind = NotANumber;
    double value = 0;
    bool grouped = false;  // read with a thousands separator
};

// A field as a number: digits with thousands separators where the file's
// decimal mark allows them, at most one decimal mark, an optional
// exponent; nothing else (hexadecimal, "inf" and "nan" are not numbers).
NumberReading read_number(const std::string& field, DecimalMark mark);

// How the file writes numbers, for messages: "decimal points, commas
// between thousands".
const char* mark_words(DecimalMark mark);

}  // namespace probe
