// The fonts of a PDF the printer device writes. Each face is embedded once,
// as a subset holding the glyphs the document used (glyph numbers kept);
// each face and size is a Type 0 font whose one-byte codes are the
// Windows-1252 text itself: an embedded CMap takes each code to its glyph,
// the widths are the device's rounded advances, and a ToUnicode map gives
// the text back to extraction and search.
#pragma once

#include <array>
#include <bitset>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/posix/print/cairo_font.h"
#include "platform/posix/print/pdf_writer.h"

namespace vorn::platform::posix {

class PdfFonts {
 public:
  explicit PdfFonts(PdfWriter& writer) : writer_(writer) {}

  struct Use {
    int object = 0;       // the Type 0 font
    double size = 0;      // its size in points for Tf, as written
  };
  // The font for `font` on a page of `dpi`, noting the characters of `text` as used.
  Use use(const CairoFont& font, int dpi, std::string_view text);
  // Writes every font used; false when a face could not be read.
  bool finish();

 private:
  struct Face {
    std::shared_ptr<const ResolvedFace> resolved;
    std::array<unsigned long, 256> glyphs{};  // glyph of each code
    std::bitset<256> used;                     // codes used at any size
    int descriptor = 0;
    int encoding = 0;
  };
  struct Size {
    Face* face = nullptr;
    int font = 0;                           // the Type 0 font's object
    double points = 0;                      // the size, rounded as Tf gets it
    std::array<double, 256> widths{};       // glyph space (1/1000 em) for each code
    std::bitset<256> used;
  };
  using SizeKey = std::tuple<const ResolvedFace*, double, double, int>;

  // `program` is the face's font file.
  bool writeFace(Face& face, std::string_view program, std::vector<Size*> sizes);

  PdfWriter& writer_;
  std::map<const ResolvedFace*, Face> faces_;
  std::map<SizeKey, Size> sizes_;
  int toUnicode_ = 0;
};

}  // namespace vorn::platform::posix
