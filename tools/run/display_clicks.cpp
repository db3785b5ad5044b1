// The clickable areas are the mouse-area list's child entries with a
// handler; each is named by the tooltip shown at its centre.
#include "display_clicks.h"

namespace probe {

DisplayClicks::DisplayClicks(hostsim::Gauge& display) : display_(display) {
    for (const MouseArea* area = display.header().mouseAreas; area && area->kind != kMouseEnd; ++area) {
        if (area->kind != kMouseChild || !area->target.handler) continue;
        Spot spot{area->x + area->width / 2, area->y + area->height / 2, true};
        std::string tooltip = display.tooltip_at(spot.x, spot.y);
        if (tooltip == "Next" && !next_.found) next_ = spot;
        if (tooltip == "Previous" && !previous_.found) previous_ = spot;
    }
}

bool DisplayClicks::click(Button button) {
    const Spot& spot = button == Button::Next ? next_ : previous_;
    return spot.found && display_.click(spot.x, spot.y);
}

}  // namespace probe
