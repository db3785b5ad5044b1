// Gauge texts are 8-bit code page 1252 (the display's degree sign is byte
// 0xB0); the terminal, JSON and the font renderer want Unicode.
#pragma once

#include <string>

namespace probe {

std::u32string cp1252_to_unicode(const std::string& text);
std::string cp1252_to_utf8(const std::string& text);

}  // namespace probe
