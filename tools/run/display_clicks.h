// Clicking the display as a host's user does: at a point inside the
// clickable area whose tooltip names the button, found through the
// gauge's own mouse-area list, so the gauge system's hit-testing decides
// which handler runs.
#pragma once

#include <cstdint>

#include "hostsim/gauge_system.h"
#include "options.h"

namespace probe {

class DisplayClicks {
public:
    explicit DisplayClicks(hostsim::Gauge& display);
    // False when the display has no such area or no handler ran.
    bool click(Button button);

private:
    struct Spot {
        int32_t x = 0, y = 0;
        bool found = false;
    };
    hostsim::Gauge& display_;
    Spot next_, previous_;
};

}  // namespace probe
