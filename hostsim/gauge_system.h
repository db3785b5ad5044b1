// The host's gauge system: instantiates a module's gauge by name with a
// parameter string, drives its service codes in a host's usual order, calls
// the header's routines, owns the text buffers and calls the text
// callbacks, and dispatches mouse clicks and tooltips through the gauge's
// mouse-area list.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/module.h"

namespace hostsim {

struct TextView {
    const TextElement* element;
    std::string text;
};

class Gauge {
public:
    // The gauge of that name; parameters null when absent. Throws
    // LoadError when the module declares no gauge of that name. A Gauge
    // must not outlive its Module.
    Gauge(Module& module, const std::string& name, std::optional<std::string> parameters = std::nullopt);
    ~Gauge();
    Gauge(const Gauge&) = delete;
    Gauge& operator=(const Gauge&) = delete;

    GaugeHeader& header() const { return *header_; }

    // Codes 0 to 5 with the query, install and initialise routines.
    void install();
    // One frame: update, generate and draw, texts updated during draw.
    void frame();
    // Disconnect and kill: codes 15, 12, kill routine, 13.
    void unload();
    // One service code alone.
    void send(int32_t service, uint64_t extra = 0);

    // The gauge's text elements in drawing order, each updated now.
    std::vector<TextView> update_texts();

    // A click at gauge coordinates; true when a handler ran.
    bool click(int32_t x, int32_t y, uint32_t flags = kMouseLeftPressed);
    // The tooltip shown with the pointer at x, y; "" for none.
    std::string tooltip_at(int32_t x, int32_t y) const;

    // The root element and its followers, in drawing order.
    std::vector<ElementBase*> elements() const;

private:
    char* buffer_for(TextElement& text);

    Module& module_;
    GaugeHeader* header_;
    std::optional<std::string> parameters_;
    std::vector<std::unique_ptr<char[]>> buffers_;
};

// The module's resource handle as a host passes it to install.
uint64_t resource_handle(const Module& module);

}  // namespace hostsim
