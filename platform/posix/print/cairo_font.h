// A font object of the cairo device: a cairo scaled font at the requested
// size, with a glyph table for the 256 single-byte codes so that drawing a
// run needs no text conversion or shaping.
#pragma once

#include <cairo.h>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/device_context.h"
#include "platform/posix/print/cairo_handles.h"
#include "platform/posix/print/font_resolver.h"

namespace vorn::platform::posix {

struct GlyphEntry {
  unsigned long index = 0;  // FreeType glyph index (0: the font lacks the character)
  double advance = 0;       // device units, rounded to whole units as a printer driver does
};

class CairoFont {
 public:
  // The font for `request` at `dpi` dots per inch; null when no face can be
  // found or cairo fails.
  static std::unique_ptr<CairoFont> create(std::shared_ptr<const ResolvedFace> face, const FontRequest& request,
                                           int dpi);

  cairo_scaled_font_t* scaledFont() const { return scaled_.get(); }
  const GlyphEntry& glyph(std::uint8_t code) const { return glyphs_[code]; }
  const std::shared_ptr<const ResolvedFace>& face() const { return face_; }
  const std::string& family() const { return face_->family; }
  double emSize() const { return emSize_; }
  // Widths are the em times this (a request with a width stretches the face).
  double horizontalScale() const { return xScale_; }
  double ascent() const { return ascent_; }
  double descent() const { return descent_; }
  bool underline() const { return underline_; }
  bool strikeOut() const { return strikeOut_; }
  // Centre of the underline stroke below the baseline, and its thickness (device units).
  double underlineOffset() const { return underlineOffset_; }
  double underlineThickness() const { return underlineThickness_; }
  // Centre of the strike-out stroke above the baseline, and its thickness.
  double strikeOutOffset() const { return strikeOutOffset_; }
  double strikeOutThickness() const { return strikeOutThickness_; }

  // The width of `text` in device units.
  double width(std::string_view text) const;
  // Where `text` started at `x` ends: the advances added one by one, as
  // layout() adds them.
  double end(std::string_view text, double x) const;
  // Glyphs for `text` starting at (x, y) on the baseline (blanks only
  // advance); returns the end x.
  double layout(std::string_view text, double x, double y, std::vector<cairo_glyph_t>& glyphs) const;

 private:
  CairoFont() = default;

  std::shared_ptr<const ResolvedFace> face_;
  CairoScaledFont scaled_;
  std::array<GlyphEntry, 256> glyphs_{};
  double emSize_ = 0;
  double xScale_ = 1;
  double ascent_ = 0;
  double descent_ = 0;
  bool underline_ = false;
  bool strikeOut_ = false;
  double underlineOffset_ = 0;
  double underlineThickness_ = 0;
  double strikeOutOffset_ = 0;
  double strikeOutThickness_ = 0;
};

}  // namespace vorn::platform::posix
