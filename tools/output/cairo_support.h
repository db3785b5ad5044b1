// What the two Cairo pictures share: owning handles, the PNG write with its
// error, and text in a face that fontconfig resolves, grey-antialiased so
// the pixels stay true to the colours drawn.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>

namespace probe {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

Surface make_surface(int width, int height);
Context make_context(cairo_surface_t* surface);
// Throws RenderError naming the path.
void write_png(cairo_surface_t* surface, const std::string& path);
void set_face(cairo_t* cr, const std::string& family, bool bold, double size);
// A colour given as 0xRRGGBB.
void set_colour(cairo_t* cr, uint32_t rgb);
// Gives back the fonts Cairo and fontconfig keep for the process, once the
// pictures are drawn, so that a leak checker sees nothing left.
void release_fonts();

}  // namespace probe
