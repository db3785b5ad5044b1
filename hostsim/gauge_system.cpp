// The simulated gauge system.
#include "hostsim/gauge_system.h"

#include <cstring>

namespace hostsim {
namespace {

bool inside(const MouseArea& area, int32_t x, int32_t y) {
    // A box of zero size covers the whole gauge, as hosts read it.
    if (area.width == 0 && area.height == 0) return true;
    return x >= area.x && x < area.x + area.width && y >= area.y && y < area.y + area.height;
}

}  // namespace

uint64_t resource_handle(const Module& module) { return reinterpret_cast<uint64_t>(module.native_handle()); }

Gauge::Gauge(Module& module, const std::string& name, std::optional<std::string> parameters)
    : module_(module), header_(module.gauge(name)), parameters_(std::move(parameters)) {
    if (!header_) throw LoadError("the module declares no gauge named " + name);
    header_->parameters = parameters_ ? parameters_->c_str() : nullptr;
}

Gauge::~Gauge() {
    // The header belongs to the module: take back the pointers into our memory.
    header_->parameters = nullptr;
    for (ElementBase* element : elements())
        if (element->kind == kElementText) reinterpret_cast<TextElement*>(element)->text = nullptr;
}

// The host's thread calls the gauge's code within the session open now:
// send, update_texts and click enter the module first, and install, frame
// and unload begin with a send.
void Gauge::send(int32_t service, uint64_t extra) {
    module_.host().enter_module();
    if (header_->callback) header_->callback(header_, service, extra);
}

void Gauge::install() {
    uint64_t resources = resource_handle(module_);
    send(kPreQuery);
    header_->query();
    send(kPostQuery);
    send(kPreInstall);
    header_->install(resources);
    send(kPostInstall, resources);
    send(kPreInitialise);
    header_->initialise();
    send(kPostInitialise);
}

void Gauge::frame() {
    send(kPreUpdate);
    header_->update();
    send(kPostUpdate);
    for (uint32_t phase = 0; phase < 1; ++phase) {
        send(kPreGenerate, phase);
        header_->generate(phase);
        send(kPostGenerate, phase);
    }
    send(kPreDraw);
    update_texts();
    header_->draw();
    send(kPostDraw);
}

void Gauge::unload() {
    send(kDisconnect);
    send(kPreKill);
    header_->kill();
    send(kPostKill);
}

std::vector<ElementBase*> Gauge::elements() const {
    std::vector<ElementBase*> list;
    ElementBase* element = header_->elementList ? *header_->elementList : nullptr;
    while (element) {
        list.push_back(element);
        element = element->next ? element->next[0] : nullptr;
    }
    return list;
}

char* Gauge::buffer_for(TextElement& text) {
    if (!text.text) {
        // The buffer holds the element's maximum length, the terminating
        // zero included; a guard byte beyond it catches an overrun.
        buffers_.push_back(std::make_unique<char[]>(text.maxLength + 1));
        text.text = buffers_.back().get();
    }
    return text.text;
}

std::vector<TextView> Gauge::update_texts() {
    module_.host().enter_module();
    std::vector<TextView> views;
    for (ElementBase* element : elements()) {
        if (element->kind != kElementText) continue;
        auto& text = *reinterpret_cast<TextElement*>(element);
        char* buffer = buffer_for(text);
        if (text.update) text.update(&text);
        views.push_back({&text, std::string(buffer, strnlen(buffer, text.maxLength))});
    }
    return views;
}

bool Gauge::click(int32_t x, int32_t y, uint32_t flags) {
    module_.host().enter_module();
    // Areas nest: a begin opens an area inside the current one, an end
    // closes it; a child is live only while every open area holds the point.
    std::vector<bool> open;
    for (const MouseArea* area = header_->mouseAreas; area && area->kind != kMouseEnd; ++area) {
        bool enclosing = true;
        for (bool holds : open) enclosing = enclosing && holds;
        switch (area->kind) {
        case kMouseBegin:
            open.push_back(inside(*area, x, y));
            break;
        case kMouseParentEnd:
            if (!open.empty()) open.pop_back();
            break;
        case kMouseChild:
            if (enclosing && inside(*area, x, y) && (area->eventMask & flags) && area->target.handler) {
                PixelPoint point{x - area->x, y - area->y};
                area->target.handler(&point, flags);
                return true;
            }
            break;
        default:
            break;
        }
    }
    return false;
}

std::string Gauge::tooltip_at(int32_t x, int32_t y) const {
    // The innermost open area holding the point that carries a tooltip: an
    // outer area's tooltip declared after an inner area closed must not
    // replace the inner one's.
    std::vector<bool> open;
    std::string shown;
    size_t shownDepth = 0;
    for (const MouseArea* area = header_->mouseAreas; area && area->kind != kMouseEnd; ++area) {
        switch (area->kind) {
        case kMouseBegin:
            open.push_back(inside(*area, x, y) && (open.empty() || open.back()));
            break;
        case kMouseTooltip:
            if (!open.empty() && open.back() && area->target.tooltip && open.size() > shownDepth) {
                shown = area->target.tooltip;
                shownDepth = open.size();
            }
            break;
        case kMouseParentEnd:
            if (!open.empty()) open.pop_back();
            break;
        default:
            break;
        }
    }
    return shown;
}

}  // namespace hostsim
