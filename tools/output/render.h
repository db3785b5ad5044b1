// The pictures probe-host draws: the display gauge as a host draws it (its
// panel bitmap, then each text element's text in the declared colour and
// face, set in the element's box and cut at its edges), the terrain
// profile ahead of the aircraft, and the plan view around it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace probe {

#if defined(TP_HAVE_RENDER)
constexpr bool kRenderAvailable = true;
#else
constexpr bool kRenderAvailable = false;
#endif
// Why the Windows build refuses to draw.
constexpr const char* kRenderUnavailable = "needs the native build: the Windows build of probe-host has no Cairo";

class RenderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the gauge declares and shows, copied out of the module's records.
struct PanelImage {
    std::string dib;  // the bitmap resource: information header, rows
    int32_t x = 0, y = 0;
    bool transparent = false;  // pure black is not drawn
};

struct TextBox {
    int32_t x = 0, y = 0;
    uint32_t width = 0, height = 0;
    uint32_t colour = 0;  // 0x00BBGGRR
    std::string face;
    uint32_t weight = 400;
    std::string text;  // code page 1252
};

struct DisplayPicture {
    std::vector<PanelImage> images;
    std::vector<TextBox> texts;
};

// One probe point as the profile shows it.
struct ProfilePoint {
    double distanceNm;   // ahead of the aircraft
    double elevationFt;  // as the module last published it
    double altitudeFt;   // the point's altitude: the aircraft's, for a layout
};

// The points of a line layout, along the track in order of distance.
struct Profile {
    std::string title;
    std::vector<ProfilePoint> points;
};

// One probe point as the plan view shows it, placed around the aircraft
// with the track up.
struct PlanPoint {
    double rightNm, aheadNm;
    double clearanceFt;  // the point's altitude less the elevation last published for it
    bool published;      // whether any elevation was published for it
};

struct PlanView {
    std::string title;
    double altitudeFt = 0;  // the aircraft's
    double headingDeg = 0;  // its track, true
    std::vector<PlanPoint> points;
    bool arc = false;  // a fan, drawn as a navigation display's arc
};

// The bands of an enhanced ground-proximity terrain page, by where the
// terrain lies against the point's altitude: more than 2000 ft above, 1000
// to 2000 above, 500 below to 1000 above, 500 to 1000 below, 1000 to 2000
// below, more than 2000 below; and no elevation published.
enum class Clearance { FarAbove, Above, Level, Below, WellBelow, FarBelow, Unknown };
Clearance clearance_band(const PlanPoint& point);
uint32_t clearance_colour(Clearance band);  // 0xRRGGBB

// Each writes a PNG; throws RenderError.
void render_display(const DisplayPicture& picture, const std::string& pngPath);
void render_profile(const Profile& profile, const std::string& pngPath);
void render_map(const PlanView& view, const std::string& pngPath);
// After the last picture: frees what drawing keeps for the process.
void finish_drawing();

}  // namespace probe
