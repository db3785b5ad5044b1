// Code page 1252: Latin-1 except for the row 0x80-0x9F, which holds
// typographic characters (five of its bytes are unassigned).
#include "cp1252.h"

namespace probe {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

constexpr char32_t kRow80[32] = {
    0x20AC, kReplacement, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030,       0x0160, 0x2039, 0x0152, kReplacement, 0x017D, kReplacement,
    kReplacement, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122,       0x0161, 0x203A, 0x0153, kReplacement, 0x017E, 0x0178,
};

char32_t decode(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? kRow80[byte - 0x80] : byte; }

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::u32string cp1252_to_unicode(const std::string& text) {
    std::u32string out;
    for (char byte : text) out += decode(static_cast<unsigned char>(byte));
    return out;
}

}  // namespace

std::string cp1252_to_utf8(const std::string& text) {
    std::string out;
    for (char32_t c : cp1252_to_unicode(text)) append_utf8(out, c);
    return out;
}

}  // namespace probe
