// Cairo helpers for the pictures.
#include "cairo_support.h"

#include <fontconfig/fontconfig.h>

#include <cstdint>

#include "render.h"

namespace probe {

Surface make_surface(int width, int height) {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), cairo_surface_destroy);
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        throw RenderError(std::string("Cairo cannot make a picture: ") +
                          cairo_status_to_string(cairo_surface_status(surface.get())));
    return surface;
}

Context make_context(cairo_surface_t* surface) { return Context(cairo_create(surface), cairo_destroy); }

void write_png(cairo_surface_t* surface, const std::string& path) {
    cairo_surface_flush(surface);
    cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    if (status != CAIRO_STATUS_SUCCESS) throw RenderError("cannot write " + path + ": " + cairo_status_to_string(status));
}

void set_face(cairo_t* cr, const std::string& family, bool bold, double size) {
    cairo_select_font_face(cr, family.c_str(), CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    std::unique_ptr<cairo_font_options_t, decltype(&cairo_font_options_destroy)> options(
        cairo_font_options_create(), cairo_font_options_destroy);
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_SLIGHT);
    cairo_set_font_options(cr, options.get());
}

void set_colour(cairo_t* cr, uint32_t rgb) {
    cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

void finish_drawing() { release_fonts(); }

void release_fonts() {
    cairo_debug_reset_static_data();
    FcFini();
}

}  // namespace probe
