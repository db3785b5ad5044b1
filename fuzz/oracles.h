// Reference answers the fuzz targets compare the module against, computed
// a second way from the C library rather than from the module's code.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "sampling/point_table.h"

namespace tp_fuzz {

// strtoll reads the same syntax as atoi and saturates instead of
// overflowing: clamped to 1 to kMaxPoints it is the count a parameter
// string must give.
inline int32_t expected_point_count(const char* parameters) {
    long long value = std::strtoll(parameters, nullptr, 10);
    if (value < 1) return 1;
    return value > kMaxPoints ? kMaxPoints : static_cast<int32_t>(value);
}

}  // namespace tp_fuzz
