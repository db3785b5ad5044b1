// Cairo helpers for the pictures, and the PNG file's write.
#include "cairo_support.h"

#include <fontconfig/fontconfig.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <unistd.h>

#include "render.h"

namespace fs = std::filesystem;

namespace probe {

Surface make_surface(int width, int height) {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), cairo_surface_destroy);
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        throw RenderError(std::string("Cairo cannot make a picture: ") +
                          cairo_status_to_string(cairo_surface_status(surface.get())));
    return surface;
}

Context make_context(cairo_surface_t* surface) { return Context(cairo_create(surface), cairo_destroy); }

namespace {

struct PngFile {
    std::FILE* file;
    int failure = 0;  // errno of the first write that failed
};

cairo_status_t write_to(void* closure, const unsigned char* data, unsigned int length) {
    auto* png = static_cast<PngFile*>(closure);
    if (std::fwrite(data, 1, length, png->file) == length) return CAIRO_STATUS_SUCCESS;
    png->failure = errno ? errno : EIO;
    return CAIRO_STATUS_WRITE_ERROR;
}

// Writes the picture to path; what went wrong, "" when nothing did.
std::string write_png_file(cairo_surface_t* surface, const std::string& path) {
    PngFile png{std::fopen(path.c_str(), "wb")};
    if (!png.file) return std::strerror(errno);
    cairo_status_t status = cairo_surface_write_to_png_stream(surface, write_to, &png);
    if (std::fclose(png.file) != 0 && !png.failure) png.failure = errno ? errno : EIO;
    if (png.failure) return std::strerror(png.failure);
    return status == CAIRO_STATUS_SUCCESS ? "" : cairo_status_to_string(status);
}

}  // namespace

// A regular file is written under a temporary name beside it and renamed
// over it once whole, so that a failed write leaves nothing, nor spoils a
// picture already there. Anything else (a device, a pipe) is written as it
// is.
void write_png(cairo_surface_t* surface, const std::string& path) {
    cairo_surface_flush(surface);
    std::error_code error;
    fs::file_status target = fs::status(path, error);
    bool direct = fs::exists(target) && !fs::is_regular_file(target);
    std::string written = direct ? path : path + ".partial-" + std::to_string(getpid());
    std::string problem = write_png_file(surface, written);
    if (problem.empty() && !direct) {
        fs::rename(written, path, error);
        if (error) problem = error.message();
    }
    if (!problem.empty()) {
        if (!direct) fs::remove(written, error);
        throw RenderError("cannot write " + path + ": " + problem);
    }
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
