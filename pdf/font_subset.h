// A face cut down to the glyphs a document used, with HarfBuzz.
#pragma once

#include <span>
#include <string>
#include <unordered_map>

#include "pdf/font_program.h"

namespace vorn::pdf {

struct FontSubset {
  std::string program;                              // the font file of the subset
  std::unordered_map<unsigned, unsigned> newGlyph;  // each kept glyph's number in it
};

// The face with `glyphs` (and what they are built from), glyphs numbered
// anew from 0 (.notdef) in their old order, its character map keeping
// `characters` (text extraction that reads the font rather than the
// ToUnicode map finds them there); hinting and layout tables go. The whole
// face, numbers kept, when the subsetter cannot cut it.
FontSubset subsetOf(const FontProgram& font, std::span<const unsigned> glyphs, std::span<const char32_t> characters);

}  // namespace vorn::pdf
