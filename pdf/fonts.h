// The fonts of one PDF. Each face (a font file and a face index) is embedded
// once per document, as a subset of the glyphs the pages used, and shown
// through one composite (Type 0) font whose one-byte codes are the text
// itself:
// - TrueType outlines: each code is its own CID, and a CIDToGIDMap takes it
//   to its glyph, so that two codes drawn with one glyph keep their own text;
// - CFF outlines (where PDF has no CIDToGIDMap): the embedded CMap takes each
//   code to its glyph's number in the subset.
// CIDs stay below 256 in both, which every reader's text extraction follows.
// /W holds the font program's own advances; a ToUnicode map per character
// set gives the text back.
#pragma once

#include <array>
#include <bitset>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "pdf/file_writer.h"
#include "pdf/font_program.h"

namespace vorn::pdf {

class Fonts {
 public:
  explicit Fonts(FileWriter& writer) : writer_(writer) {}

  struct Font {
    std::shared_ptr<const FontProgram> program;  // kept until the document ends
    const ByteEncoding* encoding = nullptr;
    int object = 0;                       // the Type 0 font
    std::array<unsigned, 256> glyphs{};   // of each code, in the face
    std::array<double, 256> widths{};     // each code's advance, 1/1000 em
    std::bitset<256> used;
  };

  // The document's font for `program` with codes of `encoding` (which lives
  // as long as the document).
  Font& use(const std::shared_ptr<const FontProgram>& program, const ByteEncoding& encoding);
  // Writes every font used.
  void finish();

 private:
  void write(const Font& font);
  int toUnicodeOf(const ByteEncoding& encoding);

  FileWriter& writer_;
  std::map<std::pair<const FontProgram*, const ByteEncoding*>, Font> fonts_;
  std::map<const ByteEncoding*, int> toUnicode_;
};

}  // namespace vorn::pdf
