// The run's script, from the options: the host messages the message thread
// delivers, and what another gauge or the user does on the gauge thread
// ("WZ_Active" changes, clicks on the display, variables written by
// --set). Times at or after the end
// of the run are left out and reported.
#pragma once

#include <string>
#include <vector>

#include "message_thread.h"
#include "options.h"

namespace probe {

struct FrameEvent {
    enum Kind { Activate, Deactivate, ClickNext, ClickPrevious, Set } kind;
    double seconds;
    size_t setting = 0;  // for Set: which of the options' settings
};

struct Timeline {
    std::vector<Message> messages;   // in time order
    std::vector<FrameEvent> events;  // in time order
    bool activeAtStart = true;
    std::vector<std::string> warnings;
};

Timeline make_timeline(const Options& options);

const char* event_meaning(FrameEvent::Kind kind);
// What the event does, in the live view's words.
std::string describe_event(const FrameEvent& event, const Options& options);

}  // namespace probe
