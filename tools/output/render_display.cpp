// The display renderer of the native build. The panel bitmap's pixels are
// copied into a Cairo surface; Cairo sets the texts through fontconfig and
// FreeType (Arial resolves to a metric-compatible face such as Liberation
// Sans). Text is sized as a Windows host sizes a font whose height is the
// box height: the face's cell (ascent plus descent) fills the box.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "cairo_support.h"
#include "cp1252.h"
#include "render.h"

namespace probe {
namespace {

uint32_t le32(const std::string& bytes, size_t offset) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[offset + i]);
    return value;
}

struct Dib {
    int width = 0, height = 0;  // height > 0: the bottom row comes first
    int bits = 0;
    size_t pixels = 0;   // offset of the first row
    size_t palette = 0;  // offset of the colour table (8-bit)
    size_t stride = 0;
};

Dib read_dib(const std::string& bytes) {
    if (bytes.size() < 40 || le32(bytes, 0) < 40) throw RenderError("the panel bitmap is missing or damaged");
    Dib dib;
    dib.width = static_cast<int32_t>(le32(bytes, 4));
    dib.height = static_cast<int32_t>(le32(bytes, 8));
    dib.bits = static_cast<int>(le32(bytes, 12) >> 16);
    uint32_t colours = le32(bytes, 32);
    if ((dib.bits != 24 && dib.bits != 8) || le32(bytes, 16) != 0 || dib.width <= 0 || dib.height == 0)
        throw RenderError("the panel bitmap is not an uncompressed 8- or 24-bit bitmap");
    dib.palette = le32(bytes, 0);
    dib.pixels = dib.palette + (dib.bits == 8 ? (colours ? colours : 256) * 4 : 0);
    dib.stride = (static_cast<size_t>(dib.width) * dib.bits / 8 + 3) & ~size_t{3};
    if (bytes.size() < dib.pixels + dib.stride * std::abs(dib.height)) throw RenderError("the panel bitmap is cut short");
    return dib;
}

// The pixel at x, y counted from the top, as 0xRRGGBB.
uint32_t dib_pixel(const std::string& bytes, const Dib& dib, int x, int y) {
    int row = dib.height > 0 ? dib.height - 1 - y : y;
    size_t offset = dib.pixels + static_cast<size_t>(row) * dib.stride;
    if (dib.bits == 8) offset = dib.palette + static_cast<uint8_t>(bytes[offset + x]) * 4u;
    else offset += static_cast<size_t>(x) * 3;
    auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + i])); };
    return byte(2) << 16 | byte(1) << 8 | byte(0);  // stored blue, green, red
}

void draw_image(cairo_surface_t* surface, const PanelImage& image) {
    Dib dib = read_dib(image.dib);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    for (int y = 0; y < std::abs(dib.height); ++y)
        for (int x = 0; x < dib.width; ++x) {
            int cx = image.x + x, cy = image.y + y;
            if (cx < 0 || cy < 0 || cx >= width || cy >= height) continue;
            uint32_t colour = dib_pixel(image.dib, dib, x, y);
            if (image.transparent && colour == 0) continue;
            reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(cy) * stride)[cx] = colour;
        }
    cairo_surface_mark_dirty(surface);
}

// The host's colour is 0x00BBGGRR.
uint32_t host_colour_to_rgb(uint32_t colour) {
    return (colour & 0xFF) << 16 | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

void draw_text(cairo_t* cr, const TextBox& box) {
    cairo_save(cr);
    cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    cairo_clip(cr);
    // Measure the cell at a nominal size, then scale it to the box.
    constexpr double kNominal = 100.0;
    set_face(cr, box.face, box.weight >= 600, kNominal);
    cairo_font_extents_t cell;
    cairo_font_extents(cr, &cell);
    double size = kNominal * box.height / (cell.ascent + cell.descent);
    set_face(cr, box.face, box.weight >= 600, size);
    set_colour(cr, host_colour_to_rgb(box.colour));
    cairo_move_to(cr, box.x, box.y + std::round(cell.ascent * size / kNominal));
    cairo_show_text(cr, cp1252_to_utf8(box.text).c_str());
    cairo_restore(cr);
}

}  // namespace

void render_display(const DisplayPicture& picture, const std::string& pngPath) {
    if (picture.images.empty()) throw RenderError("the display gauge declares no image");
    const PanelImage& first = picture.images.front();
    Dib panel = read_dib(first.dib);
    Surface surface = make_surface(first.x + panel.width, first.y + std::abs(panel.height));
    for (const PanelImage& image : picture.images) draw_image(surface.get(), image);
    Context cr = make_context(surface.get());
    for (const TextBox& box : picture.texts) draw_text(cr.get(), box);
    write_png(surface.get(), pngPath);
}

}  // namespace probe
