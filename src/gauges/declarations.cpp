// Declarations of the vorn (sampler) and display gauges, and the seven
// routines both headers name. Every byte not set here is zero and belongs
// to the host.
#include "gauges/declarations.h"

#include "gauges/point_display.h"
#include "gauges/sampler_gauge.h"
#include "host/panel_calls.h"
#include "module/linkage.h"

namespace {

// The routines forward to the host's element-list services, always with the
// vorn gauge's root element, read afresh through the first gauge of Linkage.
ElementBase* vorn_root() { return *Linkage.gauges[0]->elementList; }

uint64_t forward_query() { return panel::element_list(kElementListQuery, vorn_root()); }
uint64_t forward_install(uint64_t resource) { return panel::element_list_install(vorn_root(), resource); }
uint64_t forward_initialise() { return panel::element_list(kElementListInitialise, vorn_root()); }
uint64_t forward_update() { return panel::element_list(kElementListUpdate, vorn_root()); }
uint64_t forward_generate(uint32_t phase) { return panel::element_list_generate(vorn_root(), phase); }
uint64_t forward_draw() { return panel::element_list(kElementListPlot, vorn_root()); }
uint64_t forward_kill() { return panel::element_list(kElementListKill, vorn_root()); }

constexpr uint32_t kImageFlags = kImageTransparent | kImageErase | kImageBilinear;

constexpr ElementBase element(uint32_t kind, uint32_t resource, int32_t x, int32_t y, GaugeHeader* gauge,
                              ElementBase** next) {
    ElementBase e{};
    e.kind = kind;
    e.resourceId = resource;
    e.x = x;
    e.y = y;
    e.gauge = gauge;
    e.next = next;
    e.imageFlags = kImageFlags;
    return e;
}

constexpr ImageElement image(uint32_t resource, GaugeHeader* gauge, ElementBase** next) {
    ImageElement i{};
    i.base = element(kElementImage, resource, 0, 0, gauge, next);
    return i;
}

constexpr TextElement text(int32_t x, int32_t y, uint32_t width, uint32_t maxLength, TextCallback update,
                           ElementBase** next) {
    TextElement t{};
    t.base = element(kElementText, kNoResource, x, y, &g_displayHeader, next);
    t.boxWidth = width;
    t.boxHeight = 18;
    t.colour = 0x00FFFFFF;
    const char face[] = "Arial";
    for (unsigned i = 0; i < sizeof face; ++i) t.face[i] = face[i];
    t.weight = 500;
    t.charset = 1;
    t.maxLength = maxLength;
    t.update = update;
    return t;
}

constexpr MouseArea area(uint32_t kind, int32_t x = 0, int32_t y = 0, int32_t w = 0, int32_t h = 0,
                         int32_t cursor = kCursorNone, uint32_t mask = 0, MouseTarget target = {}) {
    return MouseArea{kind, x, y, w, h, cursor, 0, mask, 0, target, nullptr};
}

constexpr GaugeHeader header(const char* name, ElementBase** elements, uint32_t sizeMm, MouseArea* mouse,
                             GaugeCallback callback) {
    GaugeHeader h{};
    h.version = kGaugeHeaderVersion;
    h.name = name;
    h.elementList = elements;
    h.query = forward_query;
    h.install = forward_install;
    h.initialise = forward_initialise;
    h.update = forward_update;
    h.generate = forward_generate;
    h.draw = forward_draw;
    h.kill = forward_kill;
    h.sizeMm = sizeMm;
    h.mouseAreas = mouse;
    h.callback = callback;
    return h;
}

// The vorn gauge: one invisible image and a mouse list with no clickable area.
ImageElement g_vornImage = image(kVornBitmap, &g_vornHeader, nullptr);
ElementBase* g_vornRoot = &g_vornImage.base;
MouseArea g_vornMouse[] = {area(kMouseBegin), area(kMouseParentEnd), area(kMouseEnd)};

// The display gauge: the panel, then the index, position and elevation texts.
extern TextElement g_positionText, g_elevationText;
ElementBase* g_afterIndex[] = {&g_positionText.base, nullptr};
ElementBase* g_afterPosition[] = {&g_elevationText.base, nullptr};
TextElement g_indexText = text(5, 5, 50, kIndexTextLength, index_text_callback, g_afterIndex);
TextElement g_positionText = text(55, 5, 235, kPositionTextLength, position_text_callback, g_afterPosition);
TextElement g_elevationText = text(5, 32, 290, kElevationTextLength, elevation_text_callback, nullptr);
ElementBase* g_afterPanel[] = {&g_indexText.base, nullptr};
ImageElement g_displayImage = image(kDisplayBitmap, &g_displayHeader, g_afterPanel);
ElementBase* g_displayRoot = &g_displayImage.base;

constexpr uint32_t kClickMask = kMouseLeftPressed | kMouseRepeat;
MouseArea g_displayMouse[] = {
    area(kMouseBegin),
    area(kMouseBegin, 1, 1, 149, 73),
    area(kMouseTooltip, 0, 0, 0, 0, kCursorNone, 0, "Previous"),
    area(kMouseParentEnd),
    area(kMouseBegin, 150, 1, 149, 73),
    area(kMouseTooltip, 0, 0, 0, 0, kCursorNone, 0, "Next"),
    area(kMouseParentEnd),
    area(kMouseChild, 1, 1, 149, 48, kCursorDownArrow, kClickMask, previous_point_handler),
    area(kMouseChild, 150, 1, 149, 48, kCursorUpArrow, kClickMask, next_point_handler),
    area(kMouseParentEnd),
    area(kMouseEnd),
};

}  // namespace

GaugeHeader g_vornHeader = header("vorn", &g_vornRoot, 10, g_vornMouse, sampler_gauge_callback);
GaugeHeader g_displayHeader = header("display", &g_displayRoot, 200, g_displayMouse, display_gauge_callback);
