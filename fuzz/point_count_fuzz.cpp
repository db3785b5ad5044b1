// Fuzz target: the vorn gauge's parameter string. parse_point_count must
// read the leading integer as atoi does (white space, an optional sign,
// digits), saturate where atoi would overflow, and keep the result within
// 1 to kMaxPoints, for any bytes a host may hand over.
#include <string>

#include "gauges/sampler_gauge.h"
#include "oracles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The host's string ends at its first zero byte.
    std::string parameters(reinterpret_cast<const char*>(data), size);
    int32_t count = parse_point_count(parameters.c_str());
    if (count != tp_fuzz::expected_point_count(parameters.c_str())) std::abort();
    return 0;
}
