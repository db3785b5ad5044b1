// Named variables watched through a run (--watch): read once a frame after
// every gauge has run, with the last, lowest and highest values seen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostsim/host.h"

namespace probe {

struct WatchedValue {
    std::string name;
    double last = 0, lowest = 0, highest = 0;
    uint64_t frames = 0;  // frames at which the variable existed
};

class Watch {
public:
    explicit Watch(std::vector<std::string> names);
    // Reads every watched variable now; one that does not exist yet is skipped.
    void sample(const hostsim::Host& host);
    const std::vector<WatchedValue>& values() const { return values_; }

private:
    std::vector<WatchedValue> values_;
};

}  // namespace probe
