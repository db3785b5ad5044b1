// Shared by the fuzz targets that drive the loaded module through hostsim:
// a host with the module loaded and initialised, the doubles worth trying
// wherever the module reads a number, and reading them from fuzz input.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "hostsim/gauge_system.h"
#include "hostsim/host.h"
#include "hostsim/module.h"

namespace tp_fuzz {

// Stops the run with a message: libFuzzer keeps the input that did it.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz finding: %s\n", what);
    std::abort();
}

inline void check(bool holds, const char* what) {
    if (!holds) fail(what);
}

// The values a host or another gauge may write where the module reads.
inline double special_double(uint8_t pick) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kValues[] = {0.0, -0.0, 1.0, -1.0, 0.5, -0.5, 55.0, 55.9, 4294967295.0, 4294967296.0,
                                  4294967351.0, 1e300, -1e300, kInf, -kInf,
                                  std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                                  -std::numeric_limits<double>::max(), 9223372036854775808.0, 99999.99, -99999.99};
    return kValues[pick % (sizeof kValues / sizeof kValues[0])];
}

// A special value or arbitrary bits, as the input chooses.
inline double any_double(FuzzedDataProvider& input) {
    if (input.ConsumeBool()) return special_double(input.ConsumeIntegral<uint8_t>());
    uint64_t bits = input.ConsumeIntegral<uint64_t>();
    double value;
    static_assert(sizeof value == sizeof bits, "double is 64 bits");
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A fresh copy of the module, loaded and initialised, with call logging
// off so long runs keep a steady footprint.
struct LoadedModule {
    explicit LoadedModule(hostsim::Host& host) : module(host, hostsim::default_module_path()) {
        host.set_logging(false);
        module.init();
    }
    hostsim::Module module;
};

}  // namespace tp_fuzz
