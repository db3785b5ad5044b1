// The plan view, drawn with Cairo: the probe points seen from above around
// the aircraft, each coloured in the band of an enhanced ground-proximity
// terrain page by the ground the module last published for it against the
// altitude it is flown at, and a legend naming the bands. A fan is drawn
// as a navigation display's arc, heading up, the aircraft at the bottom
// centre, range arcs in nautical miles and the heading scale along the
// outer arc; every other layout as a square plan, track up, with range
// rings, a scale bar and a north arrow. The map is the square on the left;
// the legend has the panel on its right to itself.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "cairo_support.h"
#include "hostsim/terrain.h"
#include "render.h"

namespace probe {
namespace {

constexpr int kMapSize = 640, kPanel = 250, kWidth = kMapSize + kPanel, kHeight = kMapSize;
// The plan's aircraft sits below the middle, so that more is seen ahead.
constexpr double kAircraftX = kMapSize / 2.0, kAircraftY = kMapSize * 0.72;
constexpr double kMargin = 24;
// The arc: its centre (the aircraft), its outer radius and its half width,
// so that the outer arc's range label fits left of its end.
constexpr double kArcX = kMapSize / 2.0, kArcY = kMapSize - 44.0, kArcRadius = 380, kArcHalfDeg = 45;
constexpr const char* kFace = "Liberation Sans";
// Slate, not black: black is a band of its own.
constexpr uint32_t kBackground = 0x262D36, kPanelBackground = 0x1B2129, kRing = 0x6B7682, kInk = 0xE6E9ED,
                   kAircraft = 0xFFFFFF;

// Each band as the terrain page shows it: the display's dot densities as
// solid shades of the hue, lighter for the denser pattern.
struct BandStyle {
    Clearance band;
    uint32_t colour;
    const char* relation;  // where the terrain lies against the aircraft
    const char* shade;     // the display's name for the band
};
constexpr BandStyle kBands[] = {
    {Clearance::FarAbove, 0xE8202A, "more than 2000 ft above", "high-density red"},
    {Clearance::Above, 0xF2D41E, "1000 to 2000 ft above", "high-density yellow"},
    {Clearance::Level, 0x8A7A14, "500 ft below to 1000 ft above", "low-density yellow"},
    {Clearance::Below, 0x27B54E, "500 to 1000 ft below", "high-density green"},
    {Clearance::WellBelow, 0x125F28, "1000 to 2000 ft below", "low-density green"},
    {Clearance::FarBelow, 0x000000, "more than 2000 ft below", "black"},
    {Clearance::Unknown, 0xE030E0, "no elevation published", "magenta"},
};

using hostsim::radians;

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
    std::snprintf(text, sizeof text, "%g NM", nm);
    return text;
}

void text_at(cairo_t* cr, double x, double y, const std::string& text, uint32_t colour, double size, bool bold = false) {
    set_face(cr, kFace, bold, size);
    set_colour(cr, colour);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

double text_width(cairo_t* cr, const std::string& text, double size, bool bold = false) {
    set_face(cr, kFace, bold, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    return e.x_advance;
}

// On a dark patch, so that it reads over the coloured ground too; x is the
// text's left edge.
void patch_label(cairo_t* cr, double x, double y, const std::string& text) {
    double width = text_width(cr, text, 11);
    set_colour(cr, kBackground);
    cairo_rectangle(cr, x - 3, y - 11, width + 6, 15);
    cairo_fill(cr);
    text_at(cr, x, y, text, kInk, 11);
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
        if (pr.y(nm) > 40) patch_label(cr, kAircraftX + 6, pr.y(nm) + 13, format_nm(nm));  // clear of the title
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

// An aeroplane seen from above, nose up, at (x, y).
void draw_aircraft(cairo_t* cr, double x, double y) {
    static const double kShape[][2] = {{0, -14}, {2, -9},  {2, -3},   {12, 3},   {12, 5},  {2, 2},   {2, 8},
                                       {5, 11},  {5, 13},  {0, 11.5}, {-5, 13},  {-5, 11}, {-2, 8},  {-2, 2},
                                       {-12, 5}, {-12, 3}, {-2, -3},  {-2, -9}};
    cairo_new_path(cr);
    for (const auto& corner : kShape) cairo_line_to(cr, x + corner[0], y + corner[1]);
    cairo_close_path(cr);
    set_colour(cr, kAircraft);
    cairo_fill_preserve(cr);
    set_colour(cr, kBackground);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// North, turned by the track, in the map's top right corner.
void draw_north(cairo_t* cr, double headingDeg) {
    double cx = kMapSize - 36, cy = 62, angle = -radians(headingDeg);
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

void draw_plan(cairo_t* cr, const PlanView& view) {
    Projection pr = fit(view.points);
    draw_points(cr, view, pr);
    draw_rings_and_scale(cr, pr);
    draw_aircraft(cr, kAircraftX, kAircraftY);
    draw_north(cr, view.headingDeg);
}

// The arc's geometry: a bearing relative to the heading (0 straight up)
// and a radius in pixels to a point of the picture.
double arc_x(double relativeDeg, double radius) { return kArcX + radius * std::sin(radians(relativeDeg)); }
double arc_y(double relativeDeg, double radius) { return kArcY - radius * std::cos(radians(relativeDeg)); }

// Cairo's angles run clockwise from east; a bearing's from straight up.
void arc_path(cairo_t* cr, double radius, double fromDeg, double toDeg) {
    cairo_arc(cr, kArcX, kArcY, radius, radians(fromDeg - 90), radians(toDeg - 90));
}

// The outer range: a whole number of steps beyond the farthest point, so
// that the fan lies inside the arc; and the step between the arcs.
void arc_ranges(const std::vector<PlanPoint>& points, double& outerNm, double& stepNm) {
    double farthest = 0;
    for (const PlanPoint& p : points) farthest = std::max(farthest, std::hypot(p.rightNm, p.aheadNm));
    if (farthest < 1e-6) farthest = 1;
    stepNm = nice_below(farthest / 2);
    outerNm = (std::floor(farthest / stepNm + 1e-9) + 1) * stepNm;
}

// Each point as a cell of the arc: across, from halfway to the bearing of
// its neighbours on either side; along the bearing, about as deep as it is
// wide. The sector clips what reaches past its edges.
void draw_arc_cells(cairo_t* cr, const std::vector<PlanPoint>& points, double pixelsPerNm) {
    double lowest = 180, highest = -180;
    for (const PlanPoint& p : points) {
        double bearing = std::atan2(p.rightNm, p.aheadNm) * 180 / M_PI;
        lowest = std::min(lowest, bearing), highest = std::max(highest, bearing);
    }
    double spacingDeg = points.size() > 1 ? (highest - lowest) / (points.size() - 1) : 0;
    double halfDeg = spacingDeg > 0 ? spacingDeg / 2 : 3;
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_move_to(cr, kArcX, kArcY);
    arc_path(cr, kArcRadius, -kArcHalfDeg, kArcHalfDeg);
    cairo_close_path(cr);
    cairo_clip(cr);
    for (const PlanPoint& p : points) {
        double bearing = std::atan2(p.rightNm, p.aheadNm) * 180 / M_PI;
        double radius = std::hypot(p.rightNm, p.aheadNm) * pixelsPerNm;
        double depth = std::clamp(radians(2 * halfDeg) * radius, 6.0, 36.0);
        cairo_new_path(cr);
        arc_path(cr, radius + depth / 2, bearing - halfDeg, bearing + halfDeg);
        cairo_arc_negative(cr, kArcX, kArcY, std::max(0.0, radius - depth / 2), radians(bearing + halfDeg - 90),
                           radians(bearing - halfDeg - 90));
        cairo_close_path(cr);
        set_colour(cr, clearance_colour(clearance_band(p)));
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

// The range arcs, each labelled left of its end, and the sector's edges.
void draw_range_arcs(cairo_t* cr, double outerNm, double stepNm, double pixelsPerNm) {
    cairo_set_line_width(cr, 1);
    set_colour(cr, kRing);
    for (double nm = stepNm; nm <= outerNm + 1e-9; nm += stepNm) {
        double radius = nm * pixelsPerNm;
        cairo_new_path(cr);
        arc_path(cr, radius, -kArcHalfDeg, kArcHalfDeg);
        cairo_stroke(cr);
        std::string text = format_nm(nm);
        double x = arc_x(-kArcHalfDeg, radius) - 8 - text_width(cr, text, 11);
        patch_label(cr, x, arc_y(-kArcHalfDeg, radius) + 4, text);
        set_colour(cr, kRing);
    }
    for (double side : {-kArcHalfDeg, kArcHalfDeg}) {
        cairo_move_to(cr, kArcX, kArcY);
        cairo_line_to(cr, arc_x(side, kArcRadius), arc_y(side, kArcRadius));
    }
    cairo_stroke(cr);
}

// The heading scale along the outer arc: a tick every 5 degrees, a longer
// one every 10, the heading in tens every 30, as the display's rose shows
// it; the heading itself in a box above the arc's top.
void draw_heading_scale(cairo_t* cr, double headingDeg) {
    set_colour(cr, kInk);
    cairo_set_line_width(cr, 1.5);
    for (double d = std::ceil((headingDeg - kArcHalfDeg) / 5) * 5; d <= headingDeg + kArcHalfDeg + 1e-9; d += 5) {
        double relative = d - headingDeg;
        double length = std::fmod(std::fabs(d), 10.0) < 1e-6 ? 10 : 5;
        cairo_move_to(cr, arc_x(relative, kArcRadius), arc_y(relative, kArcRadius));
        cairo_line_to(cr, arc_x(relative, kArcRadius + length), arc_y(relative, kArcRadius + length));
        cairo_stroke(cr);
        int whole = static_cast<int>(std::lround(d));
        int heading = ((whole % 360) + 360) % 360;
        if (whole % 30 != 0 || std::fabs(relative) < 10) continue;  // the box stands at the top
        std::string text = std::to_string(heading / 10);
        double width = text_width(cr, text, 13, true);
        text_at(cr, arc_x(relative, kArcRadius + 22) - width / 2, arc_y(relative, kArcRadius + 22) + 5, text, kInk, 13,
                true);
    }
    char text[32];
    std::snprintf(text, sizeof text, "HDG %03d\xC2\xB0 T", static_cast<int>(std::lround(headingDeg)) % 360);
    double width = text_width(cr, text, 15, true), top = kArcY - kArcRadius - 48;
    set_colour(cr, kBackground);
    cairo_rectangle(cr, kArcX - width / 2 - 8, top, width + 16, 24);
    cairo_fill_preserve(cr);
    set_colour(cr, kInk);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    text_at(cr, kArcX - width / 2, top + 18, text, kInk, 15, true);
    cairo_move_to(cr, kArcX, kArcY - kArcRadius - 2);  // the lubber line's triangle
    cairo_line_to(cr, kArcX - 6, kArcY - kArcRadius - 14);
    cairo_line_to(cr, kArcX + 6, kArcY - kArcRadius - 14);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void draw_arc(cairo_t* cr, const PlanView& view) {
    double outerNm = 0, stepNm = 0;
    arc_ranges(view.points, outerNm, stepNm);
    double pixelsPerNm = kArcRadius / outerNm;
    draw_arc_cells(cr, view.points, pixelsPerNm);
    draw_range_arcs(cr, outerNm, stepNm, pixelsPerNm);
    draw_heading_scale(cr, view.headingDeg);
    draw_aircraft(cr, kArcX, kArcY);
}

void draw_legend(cairo_t* cr, const PlanView& view) {
    set_colour(cr, kPanelBackground);
    cairo_rectangle(cr, kMapSize, 0, kPanel, kHeight);
    cairo_fill(cr);
    double x = kMapSize + 18, y = 40;
    text_at(cr, x, y, "Terrain against the altitude", kInk, 14, true);
    text_at(cr, x, y += 18, "each point is flown at", kInk, 12);
    y += 10;
    for (const BandStyle& band : kBands) {
        y += 38;
        set_colour(cr, band.colour);
        cairo_rectangle(cr, x, y - 13, 16, 16);
        cairo_fill_preserve(cr);
        set_colour(cr, kRing);  // so that the black swatch shows
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        text_at(cr, x + 26, y, band.relation, kInk, 13);
        text_at(cr, x + 26, y + 15, band.shade, kRing, 11);
    }
    char text[96];
    y += 56;
    std::snprintf(text, sizeof text, "aircraft at %.0f ft", view.altitudeFt);
    text_at(cr, x, y, text, kInk, 13);
    std::snprintf(text, sizeof text, "%s %03.0f\xC2\xB0 up", view.arc ? "heading" : "track",
                  std::fmod(std::round(view.headingDeg) + 360.0, 360.0));
    text_at(cr, x, y += 20, text, kInk, 13);
    std::snprintf(text, sizeof text, "%zu point%s", view.points.size(), view.points.size() == 1 ? "" : "s");
    text_at(cr, x, y += 20, text, kInk, 13);
}

}  // namespace

Clearance clearance_band(const PlanPoint& p) {
    if (!p.published) return Clearance::Unknown;
    double terrainAboveFt = -p.clearanceFt;
    if (terrainAboveFt > 2000) return Clearance::FarAbove;
    if (terrainAboveFt > 1000) return Clearance::Above;
    if (terrainAboveFt >= -500) return Clearance::Level;
    if (terrainAboveFt >= -1000) return Clearance::Below;
    if (terrainAboveFt >= -2000) return Clearance::WellBelow;
    return Clearance::FarBelow;
}

uint32_t clearance_colour(Clearance band) {
    for (const BandStyle& style : kBands)
        if (style.band == band) return style.colour;
    return kBands[std::size(kBands) - 1].colour;
}

void render_map(const PlanView& view, const std::string& pngPath) {
    if (view.points.empty()) throw RenderError("the plan view has no points");
    Surface surface = make_surface(kWidth, kHeight);
    Context context = make_context(surface.get());
    cairo_t* cr = context.get();
    set_colour(cr, kBackground);
    cairo_paint(cr);
    if (view.arc)
        draw_arc(cr, view);
    else
        draw_plan(cr, view);
    text_at(cr, kMargin, 30, view.title, kInk, 15, true);
    draw_legend(cr, view);
    write_png(surface.get(), pngPath);
}

}  // namespace probe
