#include "platform/posix/print/cairo_font.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/ansi_code_page.h"

namespace vorn::platform::posix {
namespace {

constexpr double kDefaultPointSize = 12.0;  // a request of height 0

// Keeps the FreeType face of a cairo-ft scaled font locked while in scope.
class LockedFace {
 public:
  explicit LockedFace(cairo_scaled_font_t* font) : font_(font), face_(cairo_ft_scaled_font_lock_face(font)) {}
  ~LockedFace() {
    if (face_ != nullptr) cairo_ft_scaled_font_unlock_face(font_);
  }
  LockedFace(const LockedFace&) = delete;
  LockedFace& operator=(const LockedFace&) = delete;
  FT_Face get() const { return face_; }

 private:
  cairo_scaled_font_t* font_;
  FT_Face face_;
};

// The em size for a request: a negative height is the character height (the
// em), a positive one the cell height (ascent plus descent, as Windows
// measures them from the OS/2 table).
double emSizeFor(FT_Face face, std::int32_t height, int dpi) {
  if (height < 0) return -static_cast<double>(height);
  if (height == 0) return kDefaultPointSize * dpi / 72.0;
  double cellUnits = static_cast<double>(face->ascender - face->descender);
  if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    cellUnits = os2->usWinAscent + os2->usWinDescent;
  }
  if (cellUnits <= 0 || face->units_per_EM == 0) return height;
  return height * face->units_per_EM / cellUnits;
}

}  // namespace

std::unique_ptr<CairoFont> CairoFont::create(std::shared_ptr<const ResolvedFace> face, const FontRequest& request,
                                             int dpi) {
  if (!face || dpi <= 0) return nullptr;
  std::unique_ptr<CairoFont> font(new CairoFont());
  font->face_ = std::move(face);
  font->underline_ = request.underline != 0;
  font->strikeOut_ = request.strikeOut != 0;

  CairoFontOptions options(cairo_font_options_create());
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);

  // A unit scaled font first, to read the face's design metrics.
  cairo_matrix_t unit;
  cairo_matrix_init_scale(&unit, 1, 1);
  cairo_matrix_t ctm;
  cairo_matrix_init_scale(&ctm, 72.0 / dpi, 72.0 / dpi);  // one user unit is one printer dot
  CairoScaledFont probe(cairo_scaled_font_create(font->face_->face.get(), &unit, &ctm, options.get()));
  if (cairo_scaled_font_status(probe.get()) != CAIRO_STATUS_SUCCESS) return nullptr;

  double em = 0;
  double xScale = 1;
  {
    LockedFace locked(probe.get());
    FT_Face ft = locked.get();
    if (ft == nullptr || ft->units_per_EM == 0) return nullptr;
    em = emSizeFor(ft, request.height, dpi);
    const double perUnit = em / ft->units_per_EM;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
        request.width > 0 && os2 != nullptr && os2->xAvgCharWidth > 0) {
      xScale = request.width / (os2->xAvgCharWidth * perUnit);  // a width asks for that average character width
    }
    font->underlineOffset_ = -ft->underline_position * perUnit;
    font->underlineThickness_ = std::max(1.0, ft->underline_thickness * perUnit);
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
      font->strikeOutOffset_ = (os2->yStrikeoutPosition + os2->yStrikeoutSize / 2.0) * perUnit;
      font->strikeOutThickness_ = std::max(1.0, os2->yStrikeoutSize * perUnit);
    } else {
      font->strikeOutOffset_ = em * 0.25;
      font->strikeOutThickness_ = font->underlineThickness_;
    }
    for (unsigned code = 0; code < 256; ++code) {
      GlyphEntry& entry = font->glyphs_[code];
      entry.index = FT_Get_Char_Index(ft, unicodeFromAnsi(static_cast<std::uint8_t>(code)));
      // Design advance, unhinted, rounded to whole device units as a printer driver reports it.
      if (FT_Load_Glyph(ft, static_cast<FT_UInt>(entry.index), FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) == 0) {
        entry.advance = std::round(ft->glyph->metrics.horiAdvance * perUnit * xScale);
      }
    }
  }

  cairo_matrix_t fontMatrix;
  cairo_matrix_init_scale(&fontMatrix, em * xScale, em);
  font->scaled_.reset(cairo_scaled_font_create(font->face_->face.get(), &fontMatrix, &ctm, options.get()));
  if (cairo_scaled_font_status(font->scaled_.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_font_extents_t extents;
  cairo_scaled_font_extents(font->scaled_.get(), &extents);
  font->emSize_ = em;
  font->xScale_ = xScale;
  font->ascent_ = extents.ascent;
  font->descent_ = extents.descent;
  return font;
}

double CairoFont::width(std::string_view text) const {
  double total = 0;
  for (char c : text) total += glyphs_[static_cast<std::uint8_t>(c)].advance;
  return total;
}

double CairoFont::end(std::string_view text, double x) const {
  for (char c : text) x += glyphs_[static_cast<std::uint8_t>(c)].advance;
  return x;
}

double CairoFont::layout(std::string_view text, double x, double y, std::vector<cairo_glyph_t>& glyphs) const {
  glyphs.clear();
  glyphs.reserve(text.size());
  for (char c : text) {
    const GlyphEntry& entry = glyphs_[static_cast<std::uint8_t>(c)];
    if (c != ' ') glyphs.push_back(cairo_glyph_t{entry.index, x, y});  // blanks only advance
    x += entry.advance;
  }
  return x;
}

}  // namespace vorn::platform::posix
