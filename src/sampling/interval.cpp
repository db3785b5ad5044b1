// Interval to time-out conversion.
#include "sampling/interval.h"

#include <cmath>

uint32_t interval_to_timeout(double intervalMs) {
    constexpr double kTwoPow63 = 9223372036854775808.0;
    int64_t whole = INT64_MIN;
    if (!std::isnan(intervalMs) && std::fabs(intervalMs) < kTwoPow63) whole = static_cast<int64_t>(intervalMs);
    return static_cast<uint32_t>(static_cast<uint64_t>(whole));
}
