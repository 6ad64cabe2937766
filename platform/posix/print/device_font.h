// A font object of the printer device: a face at the requested size, with a
// glyph and an advance for each of the 256 single-byte codes, so that
// drawing a run needs no text conversion or shaping. The face's bytes are
// the ones read when the device first used its file; the PDF embeds those
// same bytes, and a memory device draws them with cairo.
#pragma once

#include <cairo.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "pdf/font_program.h"
#include "pdf/page.h"
#include "platform/device_context.h"
#include "platform/posix/print/cairo_handles.h"
#include "platform/posix/print/font_resolver.h"

namespace vorn::platform::posix {

// Windows-1252 as the PDF library takes a character set.
const pdf::ByteEncoding& windows1252Encoding();

class DeviceFont {
 public:
  // The font for `request` at `dpi` dots per inch from `program`, the face
  // `face` names; null when the face cannot be measured.
  static std::unique_ptr<DeviceFont> create(const ResolvedFace& face,
                                            std::shared_ptr<const pdf::FontProgram> program,
                                            const FontRequest& request, int dpi);
  struct Creating;  // only create() makes one
  explicit DeviceFont(const Creating&) {}
  ~DeviceFont();
  DeviceFont(const DeviceFont&) = delete;
  DeviceFont& operator=(const DeviceFont&) = delete;

  // How the PDF shows it: face, size, stretch, synthetic bold and slant, and
  // each code's advance in device units.
  const pdf::TextStyle& style() const { return style_; }
  unsigned glyph(std::uint8_t code) const { return glyphs_[code]; }
  // Rounded to whole device units, as a printer driver reports it.
  double advance(std::uint8_t code) const { return style_.advances[code]; }
  const std::string& family() const { return family_; }
  double emSize() const { return style_.emSize; }
  double horizontalScale() const { return style_.horizontalScale; }
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
  // Where `text` started at `x` ends: the advances added one by one.
  double end(std::string_view text, double x) const;
  // Glyphs for `text` starting at (x, y) on the baseline (blanks only
  // advance), for cairo; returns the end x.
  double layout(std::string_view text, double x, double y, std::vector<cairo_glyph_t>& glyphs) const;
  // The same face for cairo, made when a memory device first draws text;
  // null when cairo cannot use it.
  cairo_scaled_font_t* scaledFont() const;

 private:
  pdf::TextStyle style_;
  std::array<unsigned, 256> glyphs_{};
  std::string family_;
  double ascent_ = 0;
  double descent_ = 0;
  bool underline_ = false;
  bool strikeOut_ = false;
  double underlineOffset_ = 0;
  double underlineThickness_ = 0;
  double strikeOutOffset_ = 0;
  double strikeOutThickness_ = 0;
  mutable CairoScaledFont scaled_;
};

}  // namespace vorn::platform::posix
