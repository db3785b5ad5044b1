// Building the script.
#include "timeline.h"

#include <algorithm>
#include <cstdio>

namespace probe {
namespace {

std::string late(const char* what, double seconds, double end) {
    char text[160];
    std::snprintf(text, sizeof text, "%s at %g s is at or after the end of the run (%g s): not done", what, seconds,
                  end);
    return text;
}

}  // namespace

const char* event_meaning(FrameEvent::Kind kind) {
    switch (kind) {
    case FrameEvent::Activate: return "WZ_Active set to 1";
    case FrameEvent::Deactivate: return "WZ_Active set to 0";
    case FrameEvent::ClickNext: return "click on the display's Next area";
    default: return "click on the display's Previous area";
    }
}

Timeline make_timeline(const Options& o) {
    Timeline t;
    auto add_messages = [&](const std::vector<double>& times, uint64_t value, const char* what) {
        for (double s : times)
            if (s < o.seconds) t.messages.push_back({s, value});
            else t.warnings.push_back(late(what, s, o.seconds));
    };
    add_messages(o.pauseAt, ids::kMessagePaused, "the pause message (--pause-at)");
    add_messages(o.resumeAt, ids::kMessageResumed,
                 o.resumeDerived ? "the resume message (1 s after --pause-at)" : "the resume message (--resume-at)");
    std::stable_sort(t.messages.begin(), t.messages.end(),
                     [](const Message& a, const Message& b) { return a.seconds < b.seconds; });

    auto add_event = [&](FrameEvent::Kind kind, double s, const char* option) {
        if (s < o.seconds) t.events.push_back({kind, s});
        else t.warnings.push_back(late((std::string(event_meaning(kind)) + " (" + option + ")").c_str(), s, o.seconds));
    };
    for (double s : o.activeAt) add_event(FrameEvent::Activate, s, "--active-at");
    for (double s : o.inactiveAt) add_event(FrameEvent::Deactivate, s, "--inactive-at");
    for (const Click& c : o.clicks)
        add_event(c.button == Button::Next ? FrameEvent::ClickNext : FrameEvent::ClickPrevious, c.seconds, "--click");
    std::stable_sort(t.events.begin(), t.events.end(),
                     [](const FrameEvent& a, const FrameEvent& b) { return a.seconds < b.seconds; });
    t.activeAtStart = o.activeAt.empty();
    return t;
}

}  // namespace probe
