// The terrain profile ahead of a line of points, drawn with Cairo: the
// ground the module published against distance, the altitude the points were flown at, and
// the two figures a ground-proximity warning is built on, the lowest
// clearance and the highest ground, marked with their values.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cairo_support.h"
#include "render.h"

namespace probe {
namespace {

constexpr int kWidth = 960, kHeight = 480;
constexpr double kLeft = 84, kRight = 24, kTop = 52, kBottom = 58;
constexpr const char* kFace = "Liberation Sans";
constexpr uint32_t kGround = 0x8B6B3E, kGroundFill = 0xD9C7A3, kAltitude = 0x1F5FBF, kClearance = 0xD2691E,
                   kHighest = 0xB22222, kInk = 0x202020, kGrid = 0xE4E4E4;

// A step of 1, 2 or 5 times a power of ten giving about `wanted` steps.
double nice_step(double span, int wanted) {
    double raw = span / wanted;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= raw) return m * power;
    return 10.0 * power;
}

struct Axes {
    double x0, x1, y0, y1;  // data ranges: nautical miles, feet
    double xStep, yStep;
    double px(double nm) const { return kLeft + (nm - x0) / (x1 - x0) * (kWidth - kLeft - kRight); }
    double py(double ft) const { return kHeight - kBottom - (ft - y0) / (y1 - y0) * (kHeight - kTop - kBottom); }
};

Axes axes_for(const std::vector<ProfilePoint>& points) {
    Axes a{0, 0, 0, 0, 1, 1};
    double top = 0, bottom = 0;
    for (const ProfilePoint& p : points) {
        a.x1 = std::max(a.x1, p.distanceNm);
        top = std::max({top, p.elevationFt, p.altitudeFt});
        bottom = std::min({bottom, p.elevationFt, p.altitudeFt});
    }
    if (a.x1 <= 0) a.x1 = 1;
    a.xStep = nice_step(a.x1, 10);
    a.x1 = std::ceil(a.x1 / a.xStep) * a.xStep;
    if (top - bottom <= 0) top = bottom + 1000;
    a.yStep = nice_step((top - bottom) * 1.15, 6);
    a.y0 = std::floor(bottom / a.yStep) * a.yStep;
    a.y1 = std::ceil(top * 1.12 / a.yStep) * a.yStep;
    return a;
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// Text with its left edge at x, kept inside the plot's width.
void label(cairo_t* cr, double x, double y, const std::string& text, uint32_t colour, double size = 13,
           bool bold = false) {
    set_face(cr, kFace, bold, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    x = std::clamp(x, 4.0, kWidth - kRight - e.x_advance);
    set_colour(cr, colour);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

// Text beside a mark at x: to its right in the plot's left half, to its
// left in the right half, and on the other side where it would not fit, so
// it never runs off the picture or across the mark; on a patch of the
// plot's white, so that no line runs through it.
void label_beside(cairo_t* cr, double x, double y, const std::string& text, uint32_t colour) {
    set_face(cr, kFace, true, 13);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    double right = x + 12, left = x - 12 - e.x_advance;
    bool leftFirst = x > (kLeft + kWidth - kRight) / 2;
    double at = leftFirst ? (left >= 4 ? left : right) : (right + e.x_advance <= kWidth - kRight ? right : left);
    set_colour(cr, 0xFFFFFF);
    cairo_rectangle(cr, at - 3, y - 13, e.x_advance + 6, 17);
    cairo_fill(cr);
    label(cr, at, y, text, colour, 13, true);
}

void draw_grid_and_axes(cairo_t* cr, const Axes& a) {
    cairo_set_line_width(cr, 1);
    for (double nm = a.x0; nm <= a.x1 + 1e-9; nm += a.xStep) {
        set_colour(cr, kGrid);
        cairo_move_to(cr, std::round(a.px(nm)) + 0.5, kTop);
        cairo_line_to(cr, std::round(a.px(nm)) + 0.5, kHeight - kBottom);
        cairo_stroke(cr);
        std::string text = format(a.xStep < 1 ? "%.1f" : "%.0f", nm);
        set_face(cr, kFace, false, 12);
        cairo_text_extents_t e;
        cairo_text_extents(cr, text.c_str(), &e);
        label(cr, a.px(nm) - e.x_advance / 2, kHeight - kBottom + 18, text, kInk, 12);
    }
    for (double ft = a.y0; ft <= a.y1 + 1e-9; ft += a.yStep) {
        set_colour(cr, kGrid);
        cairo_move_to(cr, kLeft, std::round(a.py(ft)) + 0.5);
        cairo_line_to(cr, kWidth - kRight, std::round(a.py(ft)) + 0.5);
        cairo_stroke(cr);
        std::string text = format("%.0f", ft);
        set_face(cr, kFace, false, 12);
        cairo_text_extents_t e;
        cairo_text_extents(cr, text.c_str(), &e);
        set_colour(cr, kInk);
        cairo_move_to(cr, kLeft - 8 - e.x_advance, a.py(ft) + 4);
        cairo_show_text(cr, text.c_str());
    }
    set_colour(cr, kInk);
    cairo_rectangle(cr, kLeft + 0.5, kTop + 0.5, kWidth - kLeft - kRight - 1, kHeight - kTop - kBottom - 1);
    cairo_stroke(cr);
    label(cr, (kWidth + kLeft) / 2 - 60, kHeight - 14, "distance (NM)", kInk, 13);
    cairo_save(cr);
    cairo_move_to(cr, 22, (kHeight + kTop) / 2 + 40);
    cairo_rotate(cr, -M_PI / 2);
    set_face(cr, kFace, false, 13);
    cairo_show_text(cr, "height (ft)");
    cairo_restore(cr);
}

void draw_ground(cairo_t* cr, const Axes& a, const std::vector<ProfilePoint>& pts) {
    cairo_move_to(cr, a.px(pts.front().distanceNm), a.py(a.y0));
    for (const ProfilePoint& p : pts) cairo_line_to(cr, a.px(p.distanceNm), a.py(p.elevationFt));
    cairo_line_to(cr, a.px(pts.back().distanceNm), a.py(a.y0));
    cairo_close_path(cr);
    set_colour(cr, kGroundFill);
    cairo_fill(cr);
    for (const ProfilePoint& p : pts) cairo_line_to(cr, a.px(p.distanceNm), a.py(p.elevationFt));
    set_colour(cr, kGround);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
}

void draw_altitude(cairo_t* cr, const Axes& a, const std::vector<ProfilePoint>& pts) {
    set_colour(cr, kAltitude);
    cairo_set_line_width(cr, 2);
    for (const ProfilePoint& p : pts) cairo_line_to(cr, a.px(p.distanceNm), a.py(p.altitudeFt));
    cairo_stroke(cr);
    const ProfilePoint& last = pts.back();
    label(cr, a.px(last.distanceNm) - 150, a.py(last.altitudeFt) - 8, format("altitude %.0f ft", last.altitudeFt),
          kAltitude, 13, true);
}

void draw_marks(cairo_t* cr, const Axes& a, const std::vector<ProfilePoint>& pts) {
    auto highest = std::max_element(pts.begin(), pts.end(), [](const ProfilePoint& l, const ProfilePoint& r) {
        return l.elevationFt < r.elevationFt;
    });
    auto lowest = std::min_element(pts.begin(), pts.end(), [](const ProfilePoint& l, const ProfilePoint& r) {
        return l.altitudeFt - l.elevationFt < r.altitudeFt - r.elevationFt;
    });
    double hx = a.px(highest->distanceNm), hy = a.py(highest->elevationFt);
    set_colour(cr, kHighest);
    cairo_move_to(cr, hx, hy - 2);
    cairo_line_to(cr, hx - 7, hy - 14);
    cairo_line_to(cr, hx + 7, hy - 14);
    cairo_close_path(cr);
    cairo_fill(cr);

    double lx = a.px(lowest->distanceNm);
    double ground = a.py(lowest->elevationFt), air = a.py(lowest->altitudeFt);
    set_colour(cr, kClearance);
    cairo_set_line_width(cr, 2.5);
    cairo_move_to(cr, lx, air);
    cairo_line_to(cr, lx, ground);
    cairo_stroke(cr);
    for (double y : {air, ground}) {
        cairo_move_to(cr, lx - 6, y);
        cairo_line_to(cr, lx + 6, y);
    }
    cairo_stroke(cr);

    // The labels after both marks, so that neither mark is drawn over a
    // label. Both marks often stand on the same summit: the ground's value
    // then goes under it, clear of the clearance's.
    double clearanceY = (air + ground) / 2 + 5;
    double highestY = std::fabs(clearanceY - (hy - 18)) < 18 ? hy + 28 : hy - 18;
    label_beside(cr, hx, highestY,
                 format("highest ground %.0f ft", highest->elevationFt) + format(" at %.1f NM", highest->distanceNm),
                 kHighest);
    double clearance = lowest->altitudeFt - lowest->elevationFt;
    label_beside(cr, lx, clearanceY,
                 format("lowest clearance %.0f ft", clearance) + format(" at %.1f NM", lowest->distanceNm), kClearance);
}

}  // namespace

void render_profile(const Profile& profile, const std::string& pngPath) {
    if (profile.points.empty()) throw RenderError("the profile has no points");
    Surface surface = make_surface(kWidth, kHeight);
    Context context = make_context(surface.get());
    cairo_t* cr = context.get();
    set_colour(cr, 0xFFFFFF);
    cairo_paint(cr);
    Axes a = axes_for(profile.points);
    draw_grid_and_axes(cr, a);
    draw_ground(cr, a, profile.points);
    draw_altitude(cr, a, profile.points);
    draw_marks(cr, a, profile.points);
    label(cr, kLeft, 30, profile.title, kInk, 15, true);
    write_png(surface.get(), pngPath);
}

}  // namespace probe
