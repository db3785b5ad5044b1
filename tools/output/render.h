// The pictures probe-host draws: the display gauge as a host draws it (its
// panel bitmap, then each text element's text in the declared colour and
// face, set in the element's box and cut at its edges), and the terrain
// profile ahead of the aircraft.
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
    double distanceNm;   // from the aircraft (or, for fixed points, from the first point)
    double elevationFt;  // as the module last published it
    double altitudeFt;   // the point's altitude: the aircraft's, for a layout
};

struct Profile {
    std::string title;
    bool alongTrack = false;  // the points lie on one line: joined, not scattered
    std::vector<ProfilePoint> points;
};

// Each writes a PNG; throws RenderError.
void render_display(const DisplayPicture& picture, const std::string& pngPath);
void render_profile(const Profile& profile, const std::string& pngPath);
// After the last picture: frees what drawing keeps for the process.
void finish_drawing();

}  // namespace probe
