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
    case FrameEvent::ClickPrevious: return "click on the display's Previous area";
    default: return "a variable written";
    }
}

std::string describe_event(const FrameEvent& event, const Options& options) {
    if (event.kind != FrameEvent::Set) return event_meaning(event.kind);
    const Setting& s = options.settings[event.setting];
    char value[48];
    std::snprintf(value, sizeof value, "%g", s.value);
    return s.name + " set to " + value + (s.units.empty() ? "" : " " + s.units) + " (--set)";
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
    for (size_t i = 0; i < o.settings.size(); ++i) {
        if (o.settings[i].seconds < o.seconds) t.events.push_back({FrameEvent::Set, o.settings[i].seconds, i});
        else t.warnings.push_back(late((o.settings[i].name + " (--set)").c_str(), o.settings[i].seconds, o.seconds));
    }
    std::stable_sort(t.events.begin(), t.events.end(),
                     [](const FrameEvent& a, const FrameEvent& b) { return a.seconds < b.seconds; });
    t.activeAtStart = o.activeAt.empty();
    return t;
}

}  // namespace probe
