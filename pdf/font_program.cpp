#include "pdf/font_program.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_FONT_FORMATS_H
#include FT_TRUETYPE_TABLES_H

#include <fstream>
#include <iterator>

namespace vorn::pdf {

struct FontProgram::Face {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Face() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }
};

struct FontProgram::Loading {};

FontProgram::FontProgram(std::string bytes, int index, const Loading&) : bytes_(std::move(bytes)), index_(index) {}

FontProgram::~FontProgram() = default;

std::shared_ptr<const FontProgram> FontProgram::load(const std::filesystem::path& file, int index, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), {});
  if (!in || in.bad()) {
    error = "cannot read the font file " + file.string();
    return nullptr;
  }
  auto program = fromBytes(std::move(bytes), index, error);
  if (!program) error += " (" + file.string() + ")";
  return program;
}

std::shared_ptr<const FontProgram> FontProgram::fromBytes(std::string bytes, int index, std::string& error) {
  auto program = std::make_shared<FontProgram>(std::move(bytes), index, Loading{});
  program->face_ = std::make_unique<Face>();
  Face& f = *program->face_;
  if (FT_Init_FreeType(&f.library) != 0) {
    error = "FreeType cannot start";
    return nullptr;
  }
  const auto data = program->bytes();
  if (FT_New_Memory_Face(f.library, data.data(), static_cast<FT_Long>(data.size()), index, &f.face) != 0) {
    error = "not a font FreeType reads";
    return nullptr;
  }
  FT_Face face = f.face;
  const std::string_view format = FT_Get_Font_Format(face);
  if (!FT_IS_SFNT(face) || face->units_per_EM == 0 || (format != "TrueType" && format != "CFF")) {
    error = "not a TrueType or OpenType face";
    return nullptr;
  }
  FontMetrics& m = program->metrics_;
  m.unitsPerEm = face->units_per_EM;
  m.ascender = face->ascender;
  m.descender = face->descender;
  m.boundingBox = {static_cast<int>(face->bbox.xMin), static_cast<int>(face->bbox.yMin),
                   static_cast<int>(face->bbox.xMax), static_cast<int>(face->bbox.yMax)};
  m.underlinePosition = face->underline_position;
  m.underlineThickness = face->underline_thickness;
  m.fixedPitch = FT_IS_FIXED_WIDTH(face);
  m.italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
  m.cff = format == "CFF";
  m.capHeight = face->ascender;
  if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      os2 != nullptr && os2->version != 0xFFFF) {
    m.winAscent = os2->usWinAscent;
    m.winDescent = os2->usWinDescent;
    m.averageWidth = os2->xAvgCharWidth;
    m.strikeoutPosition = os2->yStrikeoutPosition;
    m.strikeoutSize = os2->yStrikeoutSize;
    if (os2->version >= 2 && os2->sCapHeight > 0) m.capHeight = os2->sCapHeight;
  }
  if (const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(face, FT_SFNT_POST))) {
    m.italicAngle = post->italicAngle / 65536.0;
  }
  if (const char* name = FT_Get_Postscript_Name(face)) m.postscriptName = name;
  if (m.postscriptName.empty() && face->family_name != nullptr) m.postscriptName = face->family_name;
  return program;
}

std::span<const unsigned char> FontProgram::bytes() const {
  return {reinterpret_cast<const unsigned char*>(bytes_.data()), bytes_.size()};
}

unsigned FontProgram::glyphOf(char32_t unicode) const { return FT_Get_Char_Index(face_->face, unicode); }

std::array<unsigned, 256> FontProgram::glyphsFor(const ByteEncoding& encoding) const {
  std::lock_guard lock(mutex_);
  unsigned substitute = glyphOf(kSubstituteCharacter);
  if (substitute == 0) substitute = glyphOf(kFallbackSubstitute);
  std::array<unsigned, 256> glyphs{};
  for (std::size_t code = 0; code < glyphs.size(); ++code) {
    const char32_t unicode = encoding[code];
    const unsigned glyph = isCharacter(unicode) ? glyphOf(unicode) : 0;
    glyphs[code] = glyph != 0 ? glyph : substitute;
  }
  return glyphs;
}

int FontProgram::advance(unsigned glyph) const {
  std::lock_guard lock(mutex_);
  FT_Fixed units = 0;
  if (FT_Get_Advance(face_->face, glyph, FT_LOAD_NO_SCALE, &units) != 0) return 0;
  return static_cast<int>(units);
}

}  // namespace vorn::pdf
