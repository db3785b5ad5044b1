// The display renderer of the native build: fontconfig finds the face the
// text element names (Arial resolves to a metric-compatible face such as
// Liberation Sans), FreeType draws the glyphs anti-aliased, libpng writes
// the file. Text is sized as a Windows host sizes a font whose height is
// the box height: the face's cell (ascent plus descent) fills the box.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "cp1252.h"
#include "render.h"

namespace probe {
namespace {

struct Canvas {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;

    Canvas(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0) {}
    uint8_t* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    // Lays colour over the pixel with the given coverage (0 to 255).
    void blend(int x, int y, uint32_t colour, unsigned coverage) {
        uint8_t* p = at(x, y);
        const unsigned channel[3] = {colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF};
        for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>((p[i] * (255 - coverage) + channel[i] * coverage + 127) / 255);
    }
};

uint32_t le32(const std::string& bytes, size_t offset) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[offset + i]);
    return value;
}

struct Dib {
    int width = 0, height = 0;  // height > 0: the bottom row comes first
    int bits = 0;
    size_t pixels = 0;          // offset of the first row
    size_t palette = 0;         // offset of the colour table (8-bit)
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
    size_t stride = (static_cast<size_t>(dib.width) * dib.bits / 8 + 3) & ~size_t{3};
    if (bytes.size() < dib.pixels + stride * std::abs(dib.height)) throw RenderError("the panel bitmap is cut short");
    return dib;
}

// The pixel at x, y counted from the top, as 0x00BBGGRR.
uint32_t dib_pixel(const std::string& bytes, const Dib& dib, int x, int y) {
    size_t stride = (static_cast<size_t>(dib.width) * dib.bits / 8 + 3) & ~size_t{3};
    int row = dib.height > 0 ? dib.height - 1 - y : y;
    size_t offset = dib.pixels + static_cast<size_t>(row) * stride;
    if (dib.bits == 8) offset = dib.palette + static_cast<uint8_t>(bytes[offset + x]) * 4u;
    else offset += static_cast<size_t>(x) * 3;
    auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + i])); };
    return byte(2) | byte(1) << 8 | byte(0) << 16;  // stored blue, green, red
}

void draw_image(Canvas& canvas, const PanelImage& image) {
    Dib dib = read_dib(image.dib);
    for (int y = 0; y < std::abs(dib.height); ++y)
        for (int x = 0; x < dib.width; ++x) {
            int cx = image.x + x, cy = image.y + y;
            if (cx < 0 || cy < 0 || cx >= canvas.width || cy >= canvas.height) continue;
            uint32_t colour = dib_pixel(image.dib, dib, x, y);
            if (image.transparent && colour == 0) continue;
            canvas.blend(cx, cy, colour, 255);
        }
}

struct FontFile {
    std::string path;
    int index = 0;
};

// A configuration of our own rather than fontconfig's process-wide one,
// so that everything it loads is given back.
FontFile resolve_font(const std::string& face, uint32_t weight) {
    std::unique_ptr<FcConfig, decltype(&FcConfigDestroy)> config(FcInitLoadConfigAndFonts(), FcConfigDestroy);
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> pattern(FcPatternCreate(), FcPatternDestroy);
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(static_cast<int>(weight)));
    FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result;
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> match(FcFontMatch(config.get(), pattern.get(), &result),
                                                                  FcPatternDestroy);
    FcChar8* file = nullptr;
    FontFile font;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch)
        throw RenderError("fontconfig finds no font for \"" + face + "\" (install fonts-liberation2)");
    font.path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &font.index);
    return font;
}

using Library = std::unique_ptr<std::remove_pointer_t<FT_Library>, decltype(&FT_Done_FreeType)>;
using Face = std::unique_ptr<std::remove_pointer_t<FT_Face>, decltype(&FT_Done_Face)>;

// Opens the face with its cell (Windows ascent plus descent) the box's
// height; returns the ascent in pixels, where the baseline falls.
int size_face(FT_Face face, uint32_t boxHeight) {
    double ascent = face->ascender, descent = -face->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)))
        ascent = os2->usWinAscent, descent = os2->usWinDescent;
    double em = boxHeight * face->units_per_EM / (ascent + descent);
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72);
    return static_cast<int>(std::lround(ascent * em / face->units_per_EM));
}

void draw_glyph(Canvas& canvas, const TextBox& box, const FT_GlyphSlot glyph, int penX, int baseline) {
    const FT_Bitmap& bitmap = glyph->bitmap;
    int right = std::min<int>(canvas.width, box.x + static_cast<int>(box.width));
    int bottom = std::min<int>(canvas.height, box.y + static_cast<int>(box.height));
    for (unsigned row = 0; row < bitmap.rows; ++row)
        for (unsigned column = 0; column < bitmap.width; ++column) {
            int x = penX + glyph->bitmap_left + static_cast<int>(column);
            int y = baseline - glyph->bitmap_top + static_cast<int>(row);
            if (x < std::max(box.x, 0) || y < std::max(box.y, 0) || x >= right || y >= bottom) continue;
            unsigned coverage = bitmap.buffer[static_cast<ptrdiff_t>(row) * bitmap.pitch + column];
            if (coverage) canvas.blend(x, y, box.colour, coverage);
        }
}

void draw_text(Canvas& canvas, FT_Library library, const TextBox& box) {
    FontFile font = resolve_font(box.face, box.weight);
    FT_Face raw = nullptr;
    if (FT_New_Face(library, font.path.c_str(), font.index, &raw))
        throw RenderError("FreeType cannot open the font " + font.path);
    Face face(raw, FT_Done_Face);
    int baseline = box.y + size_face(raw, box.height);
    FT_Pos pen = static_cast<FT_Pos>(box.x) * 64;  // 26.6 fixed point
    FT_UInt previous = 0;
    for (char32_t c : cp1252_to_unicode(box.text)) {
        FT_UInt glyph = FT_Get_Char_Index(raw, c);
        if (previous && glyph && FT_HAS_KERNING(raw)) {
            FT_Vector kerning;
            FT_Get_Kerning(raw, previous, glyph, FT_KERNING_DEFAULT, &kerning);
            pen += kerning.x;
        }
        if (FT_Load_Glyph(raw, glyph, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT)) continue;
        draw_glyph(canvas, box, raw->glyph, static_cast<int>((pen + 32) >> 6), baseline);
        pen += raw->glyph->advance.x;
        previous = glyph;
        if ((pen >> 6) >= box.x + static_cast<int>(box.width)) break;  // the rest is cut
    }
}

void write_png(const Canvas& canvas, const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(canvas.width);
    image.height = static_cast<png_uint_32>(canvas.height);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, canvas.rgb.data(), 0, nullptr))
        throw RenderError("cannot write " + path + ": " + image.message);
}

}  // namespace

void render_display(const DisplayPicture& picture, const std::string& pngPath) {
    if (picture.images.empty()) throw RenderError("the display gauge declares no image");
    Dib panel = read_dib(picture.images.front().dib);
    Canvas canvas(picture.images.front().x + panel.width, picture.images.front().y + std::abs(panel.height));
    for (const PanelImage& image : picture.images) draw_image(canvas, image);
    FT_Library raw = nullptr;
    if (FT_Init_FreeType(&raw)) throw RenderError("FreeType cannot start");
    Library library(raw, FT_Done_FreeType);
    for (const TextBox& box : picture.texts) draw_text(canvas, raw, box);
    write_png(canvas, pngPath);
}

}  // namespace probe
