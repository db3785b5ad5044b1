// The worker's wait time-out from "WZ_UpdateInterval": a pure conversion,
// kept apart so it can be checked on its own.
#pragma once

#include <cstdint>

// Turns "WZ_UpdateInterval" into the wait's time-out in milliseconds:
// truncated toward zero to a signed 64-bit integer (NaN and magnitudes of
// 2^63 or more give -2^63), then its low 32 bits. 0xFFFFFFFF never times out.
uint32_t interval_to_timeout(double intervalMs);
