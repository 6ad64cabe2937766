#include "platform/posix/print/device_font.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

#include "platform/ansi_code_page.h"

namespace vorn::platform::posix {
namespace {

constexpr double kDefaultPointSize = 12.0;  // a request of height 0

// The em size for a request: a negative height is the character height (the
// em), a positive one the cell height (ascent plus descent, as Windows
// measures them from the OS/2 table).
double emSizeFor(const pdf::FontMetrics& m, std::int32_t height, int dpi) {
  if (height < 0) return -static_cast<double>(height);
  if (height == 0) return kDefaultPointSize * dpi / 72.0;
  double cellUnits = static_cast<double>(m.ascender - m.descender);
  if (m.winAscent + m.winDescent > 0) cellUnits = m.winAscent + m.winDescent;
  if (cellUnits <= 0) return height;
  return height * m.unitsPerEm / cellUnits;
}

// A FreeType face over a font program's bytes, for cairo; it keeps the
// program alive as long as cairo holds the face.
struct CairoFaceSource {
  std::shared_ptr<const pdf::FontProgram> program;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~CairoFaceSource() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }
};
const cairo_user_data_key_t kSourceKey{};

CairoFontFace cairoFaceOf(const std::shared_ptr<const pdf::FontProgram>& program, bool embolden) {
  auto source = std::make_unique<CairoFaceSource>();
  source->program = program;
  const auto bytes = program->bytes();
  if (FT_Init_FreeType(&source->library) != 0 ||
      FT_New_Memory_Face(source->library, bytes.data(), static_cast<FT_Long>(bytes.size()), program->index(),
                         &source->face) != 0) {
    return nullptr;
  }
  CairoFontFace face(cairo_ft_font_face_create_for_ft_face(source->face, 0));
  if (cairo_font_face_status(face.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  // cairo releases the source with the face.
  if (cairo_font_face_set_user_data(face.get(), &kSourceKey, source.get(), [](void* data) {
        std::unique_ptr<CairoFaceSource>(static_cast<CairoFaceSource*>(data));
      }) != CAIRO_STATUS_SUCCESS) {
    return nullptr;
  }
  source.release();
  if (embolden) cairo_ft_font_face_set_synthesize(face.get(), CAIRO_FT_SYNTHESIZE_BOLD);
  return face;
}

}  // namespace

const pdf::ByteEncoding& windows1252Encoding() {
  static const pdf::ByteEncoding encoding = [] {
    pdf::ByteEncoding table{};
    for (unsigned code = 0; code < table.size(); ++code) table[code] = unicodeFromAnsi(static_cast<std::uint8_t>(code));
    return table;
  }();
  return encoding;
}

struct DeviceFont::Creating {};

DeviceFont::~DeviceFont() = default;

std::unique_ptr<DeviceFont> DeviceFont::create(const ResolvedFace& face, std::shared_ptr<const pdf::FontProgram> program,
                                               const FontRequest& request, int dpi) {
  if (!program || dpi <= 0) return nullptr;
  auto font = std::make_unique<DeviceFont>(Creating{});
  const pdf::FontMetrics& m = program->metrics();
  const double em = emSizeFor(m, request.height, dpi);
  const double perUnit = em / m.unitsPerEm;
  double xScale = 1;
  if (request.width > 0 && m.averageWidth > 0) {
    xScale = request.width / (m.averageWidth * perUnit);  // a width asks for that average character width
  }
  font->family_ = face.family;
  font->underline_ = request.underline != 0;
  font->strikeOut_ = request.strikeOut != 0;
  font->ascent_ = m.ascender * perUnit;
  font->descent_ = -m.descender * perUnit;
  font->underlineOffset_ = -m.underlinePosition * perUnit;
  font->underlineThickness_ = std::max(1.0, m.underlineThickness * perUnit);
  if (m.strikeoutSize > 0) {
    font->strikeOutOffset_ = (m.strikeoutPosition + m.strikeoutSize / 2.0) * perUnit;
    font->strikeOutThickness_ = std::max(1.0, m.strikeoutSize * perUnit);
  } else {
    font->strikeOutOffset_ = em * 0.25;
    font->strikeOutThickness_ = font->underlineThickness_;
  }
  font->glyphs_ = program->glyphsFor(windows1252Encoding());
  pdf::TextStyle& style = font->style_;
  for (unsigned code = 0; code < 256; ++code) {
    // The design advance, rounded to whole device units as a printer driver reports it.
    style.advances[code] = std::round(program->advance(font->glyphs_[code]) * perUnit * xScale);
  }
  style.program = std::move(program);
  style.encoding = &windows1252Encoding();
  style.emSize = em;
  style.horizontalScale = xScale;
  style.slant = face.slant;
  style.embolden = face.embolden;
  return font;
}

double DeviceFont::width(std::string_view text) const {
  double total = 0;
  for (const char c : text) total += style_.advances[static_cast<std::uint8_t>(c)];
  return total;
}

double DeviceFont::end(std::string_view text, double x) const {
  for (const char c : text) x += style_.advances[static_cast<std::uint8_t>(c)];
  return x;
}

double DeviceFont::layout(std::string_view text, double x, double y, std::vector<cairo_glyph_t>& glyphs) const {
  glyphs.clear();
  glyphs.reserve(text.size());
  for (const char c : text) {
    const auto code = static_cast<std::uint8_t>(c);
    if (c != ' ') glyphs.push_back(cairo_glyph_t{glyphs_[code], x, y});  // blanks only advance
    x += style_.advances[code];
  }
  return x;
}

cairo_scaled_font_t* DeviceFont::scaledFont() const {
  if (scaled_) return scaled_.get();
  CairoFontFace face = cairoFaceOf(style_.program, style_.embolden);
  if (!face) return nullptr;
  CairoFontOptions options(cairo_font_options_create());
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  // One user unit is one device unit; the slant leans the glyphs' tops to the right (y grows downward).
  cairo_matrix_t fontMatrix;
  cairo_matrix_init(&fontMatrix, style_.emSize * style_.horizontalScale, 0, -style_.slant * style_.emSize,
                    style_.emSize, 0, 0);
  cairo_matrix_t identity;
  cairo_matrix_init_identity(&identity);
  CairoScaledFont scaled(cairo_scaled_font_create(face.get(), &fontMatrix, &identity, options.get()));
  if (cairo_scaled_font_status(scaled.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  scaled_ = std::move(scaled);
  return scaled_.get();
}

}  // namespace vorn::platform::posix
