#include "pdf/fonts.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "pdf/font_subset.h"
#include "pdf/number.h"

namespace vorn::pdf {
namespace {

constexpr const char* kIdentitySystem = "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>";
constexpr char32_t kReplacementCharacter = 0xFFFD;

// A PDF name from a PostScript name: letters, digits and '-' only.
std::string nameOf(std::string_view name) {
  std::string out;
  for (const char c : name) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') out += c;
  }
  return out.empty() ? std::string("Font") : out.substr(0, 100);
}

// Six capitals naming a subset, from its glyphs (the same subset, the same tag).
std::string subsetTag(std::string_view name, const std::vector<unsigned>& glyphs) {
  std::uint64_t hash = 1469598103934665603ull;
  const auto mix = [&hash](std::uint64_t v) { hash = (hash ^ v) * 1099511628211ull; };
  for (const char c : name) mix(static_cast<unsigned char>(c));
  for (const unsigned g : glyphs) mix(g);
  std::string tag;
  for (int i = 0; i < 6; ++i, hash /= 26) tag += static_cast<char>('A' + hash % 26);
  return tag;
}

void appendHex(std::string& out, unsigned value, int digits) {
  char text[12];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  out += text;
}

void appendUtf16(std::string& out, char32_t unicode) {
  if (unicode > 0xFFFF) {
    const char32_t v = unicode - 0x10000;
    appendHex(out, 0xD800 + (v >> 10), 4);
    appendHex(out, 0xDC00 + (v & 0x3FF), 4);
  } else {
    appendHex(out, unicode, 4);
  }
}

std::string cmapHeader(std::string_view name, std::string_view system, int type) {
  return "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n/CIDSystemInfo" + std::string(system) +
         " def\n/CMapName/" + std::string(name) + " def\n/CMapType " + std::to_string(type) +
         " def\n/WMode 0 def\n1 begincodespacerange\n<00><FF>\nendcodespacerange\n";
}

constexpr const char* kCmapTrailer = "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";

}  // namespace

Fonts::Font& Fonts::use(const std::shared_ptr<const FontProgram>& program, const ByteEncoding& encoding) {
  auto [it, added] = fonts_.try_emplace({program.get(), &encoding});
  Font& font = it->second;
  if (added) {
    font.program = program;
    font.encoding = &encoding;
    font.object = writer_.reserveObject();
    font.glyphs = program->glyphsFor(encoding);
    const double perUnit = 1000.0 / program->metrics().unitsPerEm;
    for (std::size_t code = 0; code < font.widths.size(); ++code) {
      font.widths[code] = rounded(program->advance(font.glyphs[code]) * perUnit);
    }
  }
  return font;
}

void Fonts::finish() {
  for (const auto& [key, font] : fonts_) {
    if (font.used.any()) write(font);
  }
}

int Fonts::toUnicodeOf(const ByteEncoding& encoding) {
  auto [it, added] = toUnicode_.try_emplace(&encoding, 0);
  if (!added) return it->second;
  it->second = writer_.reserveObject();
  std::string map = cmapHeader("Adobe-Identity-UCS", "<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>", 2);
  // A CMap block holds at most 100 entries (readers drop a map with more).
  for (unsigned first = 0; first < 256; first += 100) {
    const unsigned last = std::min(first + 100, 256u);
    map += std::to_string(last - first) + " beginbfchar\n";
    for (unsigned code = first; code < last; ++code) {
      const char32_t unicode = isCharacter(encoding[code]) ? encoding[code] : kReplacementCharacter;
      map += '<';
      appendHex(map, code, 2);
      map += "><";
      appendUtf16(map, unicode);
      map += ">\n";
    }
    map += "endbfchar\n";
  }
  map += kCmapTrailer;
  writer_.writeStream(it->second, "", map);
  return it->second;
}

void Fonts::write(const Font& font) {
  const FontProgram& program = *font.program;
  const FontMetrics& m = program.metrics();
  std::vector<unsigned> glyphs;
  std::vector<char32_t> characters;
  for (unsigned code = 0; code < 256; ++code) {
    if (!font.used.test(code)) continue;
    glyphs.push_back(font.glyphs[code]);
    if (isCharacter((*font.encoding)[code])) characters.push_back((*font.encoding)[code]);
  }
  std::sort(glyphs.begin(), glyphs.end());
  glyphs.erase(std::unique(glyphs.begin(), glyphs.end()), glyphs.end());
  const FontSubset subset = subsetOf(program, glyphs, characters);
  const std::string psName = nameOf(m.postscriptName);
  const std::string baseName = subsetTag(psName, glyphs) + "+" + psName;

  const int fontFile = writer_.reserveObject();
  writer_.writeStream(fontFile, m.cff ? "/Subtype/OpenType" : "/Length1 " + std::to_string(subset.program.size()),
                      subset.program);

  const double perUnit = 1000.0 / m.unitsPerEm;
  const int flags = (m.fixedPitch ? 1 : 0) | 4 | (m.italic ? 64 : 0);  // fixed pitch, symbolic, italic
  std::string descriptor = "<</Type/FontDescriptor/FontName/" + baseName + "/Flags " + std::to_string(flags) +
                           "/FontBBox[";
  for (std::size_t i = 0; i < m.boundingBox.size(); ++i) {
    if (i > 0) descriptor += ' ';
    appendNumber(descriptor, m.boundingBox[i] * perUnit);
  }
  descriptor += "]/ItalicAngle ";
  appendNumber(descriptor, m.italicAngle);
  descriptor += "/Ascent ";
  appendNumber(descriptor, m.ascender * perUnit);
  descriptor += "/Descent ";
  appendNumber(descriptor, m.descender * perUnit);
  descriptor += "/CapHeight ";
  appendNumber(descriptor, m.capHeight * perUnit);
  descriptor += "/StemV 80";
  descriptor += m.cff ? "/FontFile3 " : "/FontFile2 ";
  descriptor += std::to_string(fontFile) + " 0 R>>";
  const int descriptorObject = writer_.reserveObject();
  writer_.writeObject(descriptorObject, descriptor);

  // The CID of each code used: the code itself, or the glyph's new number.
  const auto cidOf = [&](unsigned code) { return m.cff ? subset.newGlyph.at(font.glyphs[code]) : code; };
  const std::string cmapName = "Vorn-Bytes-" + std::to_string(font.object);
  std::string cmap = cmapHeader(cmapName, "<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>", 1);
  if (m.cff) {
    std::vector<unsigned> codes;
    for (unsigned code = 0; code < 256; ++code) {
      if (font.used.test(code)) codes.push_back(code);
    }
    for (std::size_t first = 0; first < codes.size(); first += 100) {
      const std::size_t count = std::min<std::size_t>(100, codes.size() - first);
      cmap += std::to_string(count) + " begincidchar\n";
      for (std::size_t i = first; i < first + count; ++i) {
        cmap += '<';
        appendHex(cmap, codes[i], 2);
        cmap += "> " + std::to_string(cidOf(codes[i])) + "\n";
      }
      cmap += "endcidchar\n";
    }
  } else {
    cmap += "1 begincidrange\n<00><FF> 0\nendcidrange\n";
  }
  cmap += kCmapTrailer;
  const int encoding = writer_.reserveObject();
  writer_.writeStream(encoding, "/Type/CMap/CMapName/" + cmapName + kIdentitySystem + "/WMode 0", cmap);

  // Widths by CID, in runs of consecutive CIDs.
  std::map<unsigned, double> widthOfCid;
  for (unsigned code = 0; code < 256; ++code) {
    if (font.used.test(code)) widthOfCid[cidOf(code)] = font.widths[code];
  }
  std::string widths = "[";
  unsigned next = 0;
  bool open = false;
  for (const auto& [cid, width] : widthOfCid) {
    if (!open || cid != next) {
      if (open) widths += ']';
      widths += std::to_string(cid) + '[';
      open = true;
    } else {
      widths += ' ';
    }
    appendNumber(widths, width);
    next = cid + 1;
  }
  if (open) widths += ']';
  widths += ']';

  std::string cidFont = std::string("<</Type/Font/Subtype/") + (m.cff ? "CIDFontType0" : "CIDFontType2") +
                        "/BaseFont/" + baseName + kIdentitySystem + "/FontDescriptor " +
                        std::to_string(descriptorObject) + " 0 R/DW 0/W " + widths;
  if (!m.cff) {
    std::string map(512, '\0');  // two bytes a CID
    for (unsigned code = 0; code < 256; ++code) {
      if (!font.used.test(code)) continue;
      const unsigned glyph = subset.newGlyph.at(font.glyphs[code]);
      map[2 * code] = static_cast<char>(glyph >> 8);
      map[2 * code + 1] = static_cast<char>(glyph & 0xFF);
    }
    const int cidToGid = writer_.reserveObject();
    writer_.writeStream(cidToGid, "", map);
    cidFont += "/CIDToGIDMap " + std::to_string(cidToGid) + " 0 R";
  }
  cidFont += ">>";
  const int descendant = writer_.reserveObject();
  writer_.writeObject(descendant, cidFont);
  writer_.writeObject(font.object, "<</Type/Font/Subtype/Type0/BaseFont/" + baseName + "/Encoding " +
                                       std::to_string(encoding) + " 0 R/DescendantFonts[" +
                                       std::to_string(descendant) + " 0 R]/ToUnicode " +
                                       std::to_string(toUnicodeOf(*font.encoding)) + " 0 R>>");
}

}  // namespace vorn::pdf
