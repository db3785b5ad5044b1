// The plan view, drawn with Cairo: the probe points seen from above around
// the aircraft, track up as a terrain display shows them, each coloured by
// the ground the module last published for it against the altitude it is
// flown at, with range rings, a scale in nautical miles, a north arrow and
// a legend of the bands. The map is the square on the left; the legend
// has the panel on its right to itself.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cairo_support.h"
#include "render.h"

namespace probe {
namespace {

constexpr int kMapSize = 640, kPanel = 250, kWidth = kMapSize + kPanel, kHeight = kMapSize;
// The aircraft sits below the middle, so that more is seen ahead.
constexpr double kAircraftX = kMapSize / 2.0, kAircraftY = kMapSize * 0.72;
constexpr double kMargin = 24;
constexpr const char* kFace = "Liberation Sans";
constexpr uint32_t kBackground = 0x0E1217, kPanelBackground = 0x1B2129, kRing = 0x5C6773, kInk = 0xE6E9ED,
                   kAircraft = 0xFFFFFF;
constexpr double kFarBelowFt = 2000, kNearFt = 500;

struct Projection {
    double pixelsPerNm;
    double x(double rightNm) const { return kAircraftX + rightNm * pixelsPerNm; }
    double y(double aheadNm) const { return kAircraftY - aheadNm * pixelsPerNm; }
};

// The largest scale at which every point lies inside the map's margin.
Projection fit(const std::vector<PlanPoint>& points) {
    double scale = 1e9;
    auto limit = [&](double room, double nm) {
        if (nm > 1e-9) scale = std::min(scale, room / nm);
    };
    for (const PlanPoint& p : points) {
        limit(kAircraftX - kMargin, std::fabs(p.rightNm));
        limit(kAircraftY - kMargin - 30, p.aheadNm);  // clear of the title
        limit(kMapSize - kAircraftY - kMargin - 30, -p.aheadNm);  // clear of the scale bar
    }
    if (scale > 1e8) scale = kMapSize / 4.0;  // every point on the aircraft: any scale shows it
    return {scale};
}

// 1, 2 or 5 times a power of ten, the largest not above limit.
double nice_below(double limit) {
    double power = std::pow(10.0, std::floor(std::log10(limit)));
    for (double m : {5.0, 2.0, 1.0})
        if (m * power <= limit) return m * power;
    return power;
}

std::string format_nm(double nm) {
    char text[32];
    std::snprintf(text, sizeof text, nm < 1 ? "%.1f NM" : "%.0f NM", nm);
    return text;
}

void text_at(cairo_t* cr, double x, double y, const std::string& text, uint32_t colour, double size, bool bold = false) {
    set_face(cr, kFace, bold, size);
    set_colour(cr, colour);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

// Side of the square each point is drawn as: the spacing of the points,
// so that a grid tiles the ground and sparse points stay visible.
double marker_side(const std::vector<PlanPoint>& points, const Projection& pr) {
    if (points.size() < 2) return 12;
    double left = 1e9, right = -1e9, low = 1e9, high = -1e9;
    for (const PlanPoint& p : points) {
        left = std::min(left, p.rightNm), right = std::max(right, p.rightNm);
        low = std::min(low, p.aheadNm), high = std::max(high, p.aheadNm);
    }
    double width = (right - left) * pr.pixelsPerNm, height = (high - low) * pr.pixelsPerNm;
    double n = static_cast<double>(points.size());
    double spacing = width > 1 && height > 1 ? std::sqrt(width * height / n) : std::max(width, height) / n;
    return std::clamp(spacing, 2.0, 12.0);
}

void draw_points(cairo_t* cr, const PlanView& view, const Projection& pr) {
    double side = marker_side(view.points, pr);
    for (const PlanPoint& p : view.points) {
        set_colour(cr, clearance_colour(clearance_band(p)));
        cairo_rectangle(cr, pr.x(p.rightNm) - side / 2, pr.y(p.aheadNm) - side / 2, side, side);
        cairo_fill(cr);
    }
}

// On a dark patch, so that it reads over the coloured ground too.
void ring_label(cairo_t* cr, double y, const std::string& text) {
    set_face(cr, kFace, false, 11);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    set_colour(cr, kBackground);
    cairo_rectangle(cr, kAircraftX + 3, y + 2, e.x_advance + 6, 15);
    cairo_fill(cr);
    text_at(cr, kAircraftX + 6, y + 13, text, kInk, 11);
}

// Rings every step out to the map's edge, each labelled ahead of the
// aircraft, and a bar of one step under the map.
void draw_rings_and_scale(cairo_t* cr, const Projection& pr) {
    double reachNm = kAircraftY / pr.pixelsPerNm;
    double step = nice_below(reachNm / 2.5);
    cairo_set_line_width(cr, 1);
    for (double nm = step; nm * pr.pixelsPerNm < kMapSize; nm += step) {
        set_colour(cr, kRing);
        cairo_new_sub_path(cr);
        cairo_arc(cr, kAircraftX, kAircraftY, nm * pr.pixelsPerNm, 0, 2 * M_PI);
        cairo_stroke(cr);
        if (pr.y(nm) > 40) ring_label(cr, pr.y(nm), format_nm(nm));  // clear of the title
    }
    double bar = step * pr.pixelsPerNm, x = kMargin, y = kMapSize - kMargin;
    set_colour(cr, kInk);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, x, y - 5);
    cairo_line_to(cr, x, y);
    cairo_line_to(cr, x + bar, y);
    cairo_line_to(cr, x + bar, y - 5);
    cairo_stroke(cr);
    text_at(cr, x + bar + 8, y + 1, format_nm(step), kInk, 12);
}

// An aeroplane seen from above, nose up.
void draw_aircraft(cairo_t* cr) {
    static const double kShape[][2] = {{0, -14}, {2, -9},  {2, -3},   {12, 3},   {12, 5},  {2, 2},   {2, 8},
                                       {5, 11},  {5, 13},  {0, 11.5}, {-5, 13},  {-5, 11}, {-2, 8},  {-2, 2},
                                       {-12, 5}, {-12, 3}, {-2, -3},  {-2, -9}};
    cairo_new_path(cr);
    for (const auto& corner : kShape) cairo_line_to(cr, kAircraftX + corner[0], kAircraftY + corner[1]);
    cairo_close_path(cr);
    set_colour(cr, kAircraft);
    cairo_fill_preserve(cr);
    set_colour(cr, kBackground);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// North, turned by the track, in the map's top right corner.
void draw_north(cairo_t* cr, double headingDeg) {
    double cx = kMapSize - 36, cy = 62, angle = -headingDeg * M_PI / 180;
    double dx = std::sin(angle), dy = -std::cos(angle);
    set_colour(cr, kInk);
    cairo_set_line_width(cr, 2);
    cairo_new_path(cr);
    cairo_move_to(cr, cx - dx * 16, cy - dy * 16);
    cairo_line_to(cr, cx + dx * 16, cy + dy * 16);
    cairo_stroke(cr);
    cairo_move_to(cr, cx + dx * 20, cy + dy * 20);
    cairo_line_to(cr, cx + dx * 10 - dy * 5, cy + dy * 10 + dx * 5);
    cairo_line_to(cr, cx + dx * 10 + dy * 5, cy + dy * 10 - dx * 5);
    cairo_close_path(cr);
    cairo_fill(cr);
    text_at(cr, cx + dx * 30 - 5, cy + dy * 30 + 5, "N", kInk, 13, true);
}

void draw_legend(cairo_t* cr, const PlanView& view) {
    set_colour(cr, kPanelBackground);
    cairo_rectangle(cr, kMapSize, 0, kPanel, kHeight);
    cairo_fill(cr);
    double x = kMapSize + 18, y = 40;
    text_at(cr, x, y, "Ground against the altitude", kInk, 14, true);
    text_at(cr, x, y += 18, "each point is flown at", kInk, 12);
    struct Item {
        Clearance band;
        const char* text;
    } items[] = {{Clearance::FarBelow, "more than 2000 ft below"},
                 {Clearance::Below, "500 to 2000 ft below"},
                 {Clearance::Near, "within 500 ft below"},
                 {Clearance::Above, "above it"},
                 {Clearance::Unknown, "no elevation published"}};
    y += 14;
    for (const Item& item : items) {
        y += 28;
        set_colour(cr, clearance_colour(item.band));
        cairo_rectangle(cr, x, y - 13, 16, 16);
        cairo_fill(cr);
        text_at(cr, x + 26, y, item.text, kInk, 13);
    }
    char text[96];
    y += 50;
    std::snprintf(text, sizeof text, "aircraft at %.0f ft", view.altitudeFt);
    text_at(cr, x, y, text, kInk, 13);
    std::snprintf(text, sizeof text, "track %03.0f\xC2\xB0 up", std::fmod(std::round(view.headingDeg) + 360.0, 360.0));
    text_at(cr, x, y += 20, text, kInk, 13);
    std::snprintf(text, sizeof text, "%zu point%s", view.points.size(), view.points.size() == 1 ? "" : "s");
    text_at(cr, x, y += 20, text, kInk, 13);
}

}  // namespace

Clearance clearance_band(const PlanPoint& p) {
    if (!p.published) return Clearance::Unknown;
    if (p.clearanceFt > kFarBelowFt) return Clearance::FarBelow;
    if (p.clearanceFt > kNearFt) return Clearance::Below;
    if (p.clearanceFt >= 0) return Clearance::Near;
    return Clearance::Above;
}

uint32_t clearance_colour(Clearance band) {
    switch (band) {
    case Clearance::FarBelow: return 0x2E9E44;
    case Clearance::Below: return 0xE6C619;
    case Clearance::Near: return 0xF07C13;
    case Clearance::Above: return 0xD8262E;
    default: return 0x7A7F87;
    }
}

void render_map(const PlanView& view, const std::string& pngPath) {
    if (view.points.empty()) throw RenderError("the plan view has no points");
    Surface surface = make_surface(kWidth, kHeight);
    Context context = make_context(surface.get());
    cairo_t* cr = context.get();
    set_colour(cr, kBackground);
    cairo_paint(cr);
    Projection pr = fit(view.points);
    draw_points(cr, view, pr);
    draw_rings_and_scale(cr, pr);
    draw_aircraft(cr);
    draw_north(cr, view.headingDeg);
    text_at(cr, kMargin, 30, view.title, kInk, 15, true);
    draw_legend(cr, view);
    write_png(surface.get(), pngPath);
}

}  // namespace probe
