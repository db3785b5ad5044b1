// TextWriter. std::to_chars gives printf's digits without its locale, so a
// host that switched the process to a comma locale still gets full stops.
#include "gauges/text_format.h"

#include <charconv>
#include <cmath>
#include <cstring>

TextWriter::TextWriter(char* buffer, size_t capacity) : buffer_(buffer), capacity_(buffer ? capacity : 0) {
    if (capacity_) buffer_[0] = '\0';
}

void TextWriter::put(const char* s, size_t n) {
    if (capacity_ == 0) return;
    size_t room = capacity_ - 1 - length_;
    if (n > room) n = room;
    std::memcpy(buffer_ + length_, s, n);
    length_ += n;
    buffer_[length_] = '\0';
}

TextWriter& TextWriter::text(const char* s) {
    put(s, std::strlen(s));
    return *this;
}

TextWriter& TextWriter::integer(int32_t value) {
    char digits[16];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    put(digits, static_cast<size_t>(result.ptr - digits));
    return *this;
}

TextWriter& TextWriter::fixed(double value, int width, int precision) {
    // The longest %f of a double: a sign, 309 digits, the point and the decimals.
    char digits[1 + 309 + 1 + kMaxPrecision];
    if (precision > kMaxPrecision) precision = kMaxPrecision;
    size_t n;
    if (std::isnan(value) || std::isinf(value)) {
        const char* word = std::isnan(value) ? "nan" : "inf";
        n = 0;
        if (std::signbit(value)) digits[n++] = '-';
        std::memcpy(digits + n, word, 3);
        n += 3;
    } else {
        auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, precision);
        n = static_cast<size_t>(result.ptr - digits);
    }
    for (size_t pad = n; pad < static_cast<size_t>(width); ++pad) put(" ", 1);
    put(digits, n);
    return *this;
}
