// Owning handles for the cairo and fontconfig objects the printing code keeps.
#pragma once

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <memory>

namespace vorn::platform::posix {

struct CairoSurfaceRelease {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoContextRelease {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct CairoFontFaceRelease {
  void operator()(cairo_font_face_t* face) const { cairo_font_face_destroy(face); }
};
struct CairoScaledFontRelease {
  void operator()(cairo_scaled_font_t* font) const { cairo_scaled_font_destroy(font); }
};
struct CairoFontOptionsRelease {
  void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};
struct FcPatternRelease {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};

using CairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceRelease>;
using CairoContext = std::unique_ptr<cairo_t, CairoContextRelease>;
using CairoFontFace = std::unique_ptr<cairo_font_face_t, CairoFontFaceRelease>;
using CairoScaledFont = std::unique_ptr<cairo_scaled_font_t, CairoScaledFontRelease>;
using CairoFontOptions = std::unique_ptr<cairo_font_options_t, CairoFontOptionsRelease>;
using FcPatternPtr = std::unique_ptr<FcPattern, FcPatternRelease>;

}  // namespace vorn::platform::posix
