// Gauge texts are 8-bit code page 1252 (the display's degree sign is byte
// 0xB0); the terminal, JSON and Cairo want UTF-8.
#pragma once

#include <string>

namespace probe {

std::string cp1252_to_utf8(const std::string& text);

}  // namespace probe
