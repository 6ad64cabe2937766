// A font file's face as a document uses it: the file's bytes, read once when
// the face is first used and kept, so that the glyphs a page was laid out
// with are the glyphs the document embeds, whatever happens to the file
// afterwards. Only TrueType and OpenType (glyf or CFF outlines) faces load.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace vorn::pdf {

// A single-byte character set: the Unicode character of each code. Codes
// whose character is a control (U+0000 to U+001F, U+007F to U+009F) stand for
// no character: they are drawn with the substitute glyph and extract as
// U+FFFD.
using ByteEncoding = std::array<char32_t, 256>;

// Drawn for codes that stand for no character, and for characters a face
// lacks: WHITE SQUARE, which every face the system picks by default has
// (Liberation Mono, Sans and Serif, Nimbus Mono PS in every style); "?" in a
// face without it.
inline constexpr char32_t kSubstituteCharacter = 0x25A1;
inline constexpr char32_t kFallbackSubstitute = U'?';

// Whether a code's character is one of its own (not a control).
inline bool isCharacter(char32_t unicode) { return unicode >= 0x20 && (unicode < 0x7F || unicode > 0x9F); }

struct FontMetrics {
  int unitsPerEm = 1000;
  int ascender = 0;  // font units, up positive
  int descender = 0;  // below the baseline: negative
  int winAscent = 0;  // OS/2 cell, 0 when the face has none
  int winDescent = 0;
  int averageWidth = 0;  // OS/2 xAvgCharWidth, 0 when absent
  int capHeight = 0;
  std::array<int, 4> boundingBox{};  // xMin yMin xMax yMax
  double italicAngle = 0;
  int underlinePosition = 0;  // centre of the stroke, up positive
  int underlineThickness = 0;
  int strikeoutPosition = 0;  // bottom of the stroke, 0 size when absent
  int strikeoutSize = 0;
  bool fixedPitch = false;
  bool italic = false;
  bool cff = false;  // CFF outlines (FontFile3 /OpenType), else TrueType (FontFile2)
  std::string postscriptName;
};

class FontProgram {
 public:
  // The face `index` of `file`, read whole now; null with `error` set when it
  // cannot be read or is no TrueType or OpenType face.
  static std::shared_ptr<const FontProgram> load(const std::filesystem::path& file, int index, std::string& error);
  // The same from bytes in memory.
  static std::shared_ptr<const FontProgram> fromBytes(std::string bytes, int index, std::string& error);
  struct Loading;  // only load() and fromBytes() make one
  FontProgram(std::string bytes, int index, const Loading&);
  ~FontProgram();
  FontProgram(const FontProgram&) = delete;
  FontProgram& operator=(const FontProgram&) = delete;

  std::span<const unsigned char> bytes() const;
  int index() const { return index_; }
  const FontMetrics& metrics() const { return metrics_; }

  // The glyph of each code of `encoding` (never 0, the .notdef glyph, when the
  // face has the substitute or a question mark).
  std::array<unsigned, 256> glyphsFor(const ByteEncoding& encoding) const;
  // A glyph's advance in font units.
  int advance(unsigned glyph) const;

 private:
  struct Face;
  unsigned glyphOf(char32_t unicode) const;

  std::string bytes_;
  int index_ = 0;
  FontMetrics metrics_;
  std::unique_ptr<Face> face_;
  mutable std::mutex mutex_;  // FreeType's face is not to be used by two threads at once
};

}  // namespace vorn::pdf
