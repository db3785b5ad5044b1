// The watched variables' figures.
#include "watch.h"

#include <algorithm>
#include <cmath>

namespace probe {

Watch::Watch(std::vector<std::string> names) {
    for (std::string& name : names) {
        WatchedValue value;
        value.name = std::move(name);
        values_.push_back(value);
    }
}

void Watch::sample(const hostsim::Host& host) {
    for (WatchedValue& w : values_) {
        double value = host.value(w.name);
        if (std::isnan(value) && !host.has_var(w.name)) continue;
        w.last = value;
        w.lowest = w.frames ? std::min(w.lowest, value) : value;
        w.highest = w.frames ? std::max(w.highest, value) : value;
        ++w.frames;
    }
}

}  // namespace probe
