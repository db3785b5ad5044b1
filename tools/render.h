// Drawing the display gauge as a host draws it: its panel bitmap at the
// image element's position, then each text element's text in the declared
// colour and face, set in the element's box and cut at its edges.
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

// Writes the picture as an RGB PNG the size of the first image; throws
// RenderError.
void render_display(const DisplayPicture& picture, const std::string& pngPath);

}  // namespace probe
