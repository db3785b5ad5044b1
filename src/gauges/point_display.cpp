// The display gauge's callback, its three texts and its two mouse handlers.
// All run on the host's gauge thread, the only one that touches the
// selection. The display reads; it writes no named variable.
#include "gauges/point_display.h"

#include "gauges/text_format.h"
#include "host/panel_calls.h"
#include "module/module_state.h"
#include "sampling/point_table.h"

namespace {

// The points the selection steps through: the gauge's count, but never
// beyond the points the table holds.
int32_t selectable_points() {
    const TerrainPoint* points = load(g_module.points);
    return points ? usable_points(points) : load(g_module.pointCount);
}

// The selected point, or null when there is no table or the selection lies
// beyond it (the zero texts are shown then).
TerrainPoint* selected_point() {
    TerrainPoint* points = load(g_module.points);
    int32_t k = g_module.SelectedPoint;
    if (!points || k < 0 || k >= table_count(points)) return nullptr;
    return &points[k];
}

TextWriter writer(TextElement* element) {
    return element ? TextWriter(element->text, element->maxLength) : TextWriter(nullptr, 0);
}

}  // namespace

void display_gauge_callback(GaugeHeader*, int32_t service, uint64_t) {
    if (service == kPreInstall) g_module.unitsDegrees = panel::units_id("degrees");
}

double index_text_callback(TextElement* element) {
    writer(element).text("ID=").integer(g_module.SelectedPoint);
    return 0.0;
}

double position_text_callback(TextElement* element) {
    TextWriter out = writer(element);
    const TerrainPoint* point = selected_point();
    if (!point) {
        out.text("Lat: ").fixed(0.0, 0, 6).text("; Lon: ").fixed(0.0, 0, 6).text("; Alt: ").fixed(0.0, 0, 6);
        return 0.0;
    }
    double lat = panel::get_typed(point->lat.id, g_module.unitsDegrees);
    double lon = panel::get_typed(point->lon.id, g_module.unitsDegrees);
    double alt = panel::get_typed(point->alt.id, g_module.unitsFeet);
    out.text("Lat: ").fixed(lat, 5, 2).text("; Lon: ").fixed(lon, 3, 4).text("\xB0; Alt: ").fixed(alt, 3, 4).text("\xB0");
    return 0.0;
}

double elevation_text_callback(TextElement* element) {
    TextWriter out = writer(element);
    TerrainPoint* point = selected_point();
    if (!point) {
        out.text("Elevtion = ").fixed(0.0, 0, 6);
        return 0.0;
    }
    double lat = panel::get_typed(point->lat.id, g_module.unitsRadians);
    double lon = panel::get_typed(point->lon.id, g_module.unitsRadians);
    point->elevation.value = panel::get(point->elevation.id);
    out.text("Elevtion = ").fixed(point->elevation.value, 5, 2).text("; Lat:").fixed(lat, 2, 5).text("; Lon:").fixed(lon, 2, 5);
    return 0.0;
}

int32_t next_point_handler(const PixelPoint*, uint32_t) {
    int32_t k = g_module.SelectedPoint + 1;
    if (k >= selectable_points()) k = 0;
    g_module.SelectedPoint = k;
    return 0;
}

int32_t previous_point_handler(const PixelPoint*, uint32_t) {
    int32_t count = selectable_points();
    int32_t k = g_module.SelectedPoint - 1;
    if (k < 0 || k >= count) k = count - 1;
    g_module.SelectedPoint = k < 0 ? 0 : k;
    return 0;
}
