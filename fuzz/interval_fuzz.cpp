// Fuzz target: turning "WZ_UpdateInterval" into the worker's time-out.
// Every double, NaN and infinities included, must give the low 32 bits of
// its truncation to a signed 64-bit integer (NaN and magnitudes of 2^63 or
// more counting as -2^63), computed here a second way, by exact remainders.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sampling/interval.h"

namespace {

constexpr double kTwoPow32 = 4294967296.0;
constexpr double kTwoPow63 = 9223372036854775808.0;

// fmod is exact, so this never rounds: the truncated value modulo 2^32.
uint32_t expected_timeout(double interval) {
    if (std::isnan(interval) || std::fabs(interval) >= kTwoPow63) return 0;  // low bits of -2^63
    double low = std::fmod(std::trunc(interval), kTwoPow32);
    if (low < 0) low += kTwoPow32;
    return static_cast<uint32_t>(low);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Eight bytes are the double's bits; shorter inputs are the value of a
    // small integer, so the corpus can also hold the interesting round numbers.
    double interval;
    if (size >= sizeof interval) {
        std::memcpy(&interval, data, sizeof interval);
    } else {
        int64_t small = 0;
        for (size_t i = 0; i < size; ++i) small = small << 8 | data[i];
        interval = static_cast<double>(small) - 32768.0;
    }
    if (interval_to_timeout(interval) != expected_timeout(interval)) std::abort();
    return 0;
}
