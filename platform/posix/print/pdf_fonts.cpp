#include "platform/posix/print/pdf_fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_FONT_FORMATS_H
#include FT_TRUETYPE_TABLES_H
#include <hb-subset.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/ansi_code_page.h"
#include "platform/posix/print/pdf_number.h"

namespace vorn::platform::posix {
namespace {

struct FreeTypeLibraryRelease {
  void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FreeTypeFaceRelease {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct HbBlobRelease {
  void operator()(hb_blob_t* blob) const { hb_blob_destroy(blob); }
};
struct HbFaceRelease {
  void operator()(hb_face_t* face) const { hb_face_destroy(face); }
};
struct HbSubsetInputRelease {
  void operator()(hb_subset_input_t* input) const { hb_subset_input_destroy(input); }
};
using FreeTypeLibrary = std::unique_ptr<std::remove_pointer_t<FT_Library>, FreeTypeLibraryRelease>;
using FreeTypeFace = std::unique_ptr<std::remove_pointer_t<FT_Face>, FreeTypeFaceRelease>;
using HbBlob = std::unique_ptr<hb_blob_t, HbBlobRelease>;
using HbFace = std::unique_ptr<hb_face_t, HbFaceRelease>;
using HbSubsetInput = std::unique_ptr<hb_subset_input_t, HbSubsetInputRelease>;

constexpr const char* kIdentitySystem = "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>";

bool readFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

// The face cut down to `glyphs`, glyph numbers kept; the whole face when the
// subsetter cannot handle it.
std::string subsetOf(std::string_view font, unsigned index, const std::vector<unsigned long>& glyphs) {
  HbBlob blob(hb_blob_create(font.data(), static_cast<unsigned>(font.size()), HB_MEMORY_MODE_READONLY, nullptr,
                             nullptr));
  HbFace face(hb_face_create(blob.get(), index & 0xFFFF));  // the upper half names a variable font's instance
  HbSubsetInput input(hb_subset_input_create_or_fail());
  if (!input) return std::string(font);
  for (const unsigned long glyph : glyphs) hb_set_add(hb_subset_input_glyph_set(input.get()), glyph);
  hb_set_clear(hb_subset_input_unicode_set(input.get()));
  hb_subset_input_set_flags(input.get(), HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NOTDEF_OUTLINE |
                                             HB_SUBSET_FLAGS_NO_HINTING | HB_SUBSET_FLAGS_DESUBROUTINIZE);
  hb_set_t* drop = hb_subset_input_set(input.get(), HB_SUBSET_SETS_DROP_TABLE_TAG);
  for (const char* tag : {"GSUB", "GPOS", "GDEF", "BASE", "JSTF", "MATH", "kern", "DSIG", "vhea", "vmtx"}) {
    hb_set_add(drop, hb_tag_from_string(tag, 4));
  }
  HbFace subset(hb_subset_or_fail(face.get(), input.get()));
  if (!subset) return std::string(font);
  HbBlob result(hb_face_reference_blob(subset.get()));
  unsigned length = 0;
  const char* data = hb_blob_get_data(result.get(), &length);
  if (data == nullptr || length == 0) return std::string(font);
  return std::string(data, length);
}

// A PDF name from a PostScript name: letters, digits and '-' only.
std::string nameOf(std::string_view name) {
  std::string out;
  for (const char c : name) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') out += c;
  }
  return out.empty() ? std::string("Font") : out;
}

// Six capitals naming a subset, from its glyphs (the same subset, the same tag).
std::string subsetTag(std::string_view name, const std::vector<unsigned long>& glyphs) {
  std::uint64_t hash = 1469598103934665603ull;
  const auto mix = [&hash](std::uint64_t v) { hash = (hash ^ v) * 1099511628211ull; };
  for (const char c : name) mix(static_cast<unsigned char>(c));
  for (const unsigned long g : glyphs) mix(g);
  std::string tag;
  for (int i = 0; i < 6; ++i, hash /= 26) tag += static_cast<char>('A' + hash % 26);
  return tag;
}

std::string hexByte(unsigned code) {
  char text[5];
  std::snprintf(text, sizeof text, "<%02X>", code & 0xFF);
  return text;
}

// Codes to Unicode for text extraction: the Windows-1252 table, the same for every face.
std::string toUnicodeMap() {
  std::string map =
      "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
      "/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
      "1 begincodespacerange\n<00><FF>\nendcodespacerange\n";
  for (unsigned first = 0; first < 256; first += 128) {
    map += "128 beginbfchar\n";
    for (unsigned code = first; code < first + 128; ++code) {
      char entry[24];
      std::snprintf(entry, sizeof entry, "<%02X><%04X>\n", code, static_cast<unsigned>(unicodeFromAnsi(static_cast<std::uint8_t>(code))));
      map += entry;
    }
    map += "endbfchar\n";
  }
  map += "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
  return map;
}

}  // namespace

PdfFonts::Use PdfFonts::use(const CairoFont& font, int dpi, std::string_view text) {
  const ResolvedFace* resolved = font.face().get();
  auto [sizeIt, newSize] = sizes_.try_emplace(SizeKey{resolved, font.emSize(), font.horizontalScale(), dpi});
  Size& size = sizeIt->second;
  if (newSize) {
    auto [faceIt, newFace] = faces_.try_emplace(resolved);
    Face& face = faceIt->second;
    if (newFace) {
      face.resolved = font.face();
      for (unsigned code = 0; code < 256; ++code) face.glyphs[code] = font.glyph(static_cast<std::uint8_t>(code)).index;
      face.descriptor = writer_.reserveObject();
      face.encoding = writer_.reserveObject();
    }
    size.face = &face;
    size.font = writer_.reserveObject();
    // Widths against the size as written, so that each advance is the
    // device's rounded one however the size was rounded.
    const double pointsPerDot = 72.0 / std::max(dpi, 1);
    size.points = roundedForPdf(font.emSize() * pointsPerDot);
    const double em = size.points * font.horizontalScale();
    for (unsigned code = 0; code < 256; ++code) {
      const double advance = font.glyph(static_cast<std::uint8_t>(code)).advance * pointsPerDot;
      size.widths[code] = em > 0 ? advance * 1000.0 / em : 0;
    }
  }
  for (const char c : text) size.used.set(static_cast<unsigned char>(c));
  return {size.font, size.points};
}

bool PdfFonts::finish() {
  if (faces_.empty()) return true;
  toUnicode_ = writer_.reserveObject();
  writer_.writeStream(toUnicode_, "", toUnicodeMap());
  bool ok = true;
  for (auto& [resolved, face] : faces_) {
    std::vector<Size*> sizes;
    for (auto& [key, size] : sizes_) {
      if (size.face != &face) continue;
      face.used |= size.used;
      sizes.push_back(&size);
    }
    std::string bytes;
    if (!readFile(resolved->file, bytes)) {
      ok = false;
      continue;
    }
    ok = writeFace(face, bytes, std::move(sizes)) && ok;
  }
  return ok;
}

bool PdfFonts::writeFace(Face& face, std::string_view program, std::vector<Size*> sizes) {
  FT_Library rawLibrary = nullptr;
  if (FT_Init_FreeType(&rawLibrary) != 0) return false;
  FreeTypeLibrary library(rawLibrary);
  FT_Face rawFace = nullptr;
  if (FT_New_Memory_Face(library.get(), reinterpret_cast<const FT_Byte*>(program.data()),
                         static_cast<FT_Long>(program.size()), face.resolved->index, &rawFace) != 0) {
    return false;
  }
  FreeTypeFace ft(rawFace);
  if (!FT_IS_SFNT(ft.get()) || ft->units_per_EM == 0) return false;  // only TrueType and OpenType faces embed
  const bool cff = std::string_view(FT_Get_Font_Format(ft.get())) == "CFF";

  std::vector<unsigned long> glyphs{0};
  for (unsigned code = 0; code < 256; ++code) {
    if (face.used.test(code)) glyphs.push_back(face.glyphs[code]);
  }
  const char* postscriptName = FT_Get_Postscript_Name(ft.get());
  const std::string psName = nameOf(postscriptName != nullptr ? postscriptName : face.resolved->family);
  const std::string baseName = subsetTag(psName, glyphs) + "+" + psName;

  const std::string subset = subsetOf(program, static_cast<unsigned>(face.resolved->index), glyphs);
  const int fontFile = writer_.reserveObject();
  writer_.writeStream(fontFile, cff ? "/Subtype/OpenType" : "", subset);

  const double perUnit = 1000.0 / ft->units_per_EM;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft.get(), FT_SFNT_OS2));
  const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(ft.get(), FT_SFNT_POST));
  const double capHeight = os2 != nullptr && os2->version >= 2 && os2->sCapHeight > 0 ? os2->sCapHeight : ft->ascender;
  const bool italic = (ft->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
  const int flags = (FT_IS_FIXED_WIDTH(ft.get()) ? 1 : 0) | 4 | (italic ? 64 : 0);  // fixed pitch, symbolic, italic
  std::string descriptor = "<</Type/FontDescriptor/FontName/" + baseName + "/Flags " + std::to_string(flags) +
                           "/FontBBox[";
  appendNumber(descriptor, ft->bbox.xMin * perUnit);
  descriptor += ' ';
  appendNumber(descriptor, ft->bbox.yMin * perUnit);
  descriptor += ' ';
  appendNumber(descriptor, ft->bbox.xMax * perUnit);
  descriptor += ' ';
  appendNumber(descriptor, ft->bbox.yMax * perUnit);
  descriptor += "]/ItalicAngle ";
  appendNumber(descriptor, post != nullptr ? post->italicAngle / 65536.0 : 0);
  descriptor += "/Ascent ";
  appendNumber(descriptor, ft->ascender * perUnit);
  descriptor += "/Descent ";
  appendNumber(descriptor, ft->descender * perUnit);
  descriptor += "/CapHeight ";
  appendNumber(descriptor, capHeight * perUnit);
  descriptor += "/StemV 80";
  descriptor += cff ? "/FontFile3 " : "/FontFile2 ";
  descriptor += std::to_string(fontFile) + " 0 R>>";
  writer_.writeObject(face.descriptor, descriptor);

  // The codes used, each to its glyph number (the CID; glyph numbers were kept).
  std::string cmap =
      "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>def\n"
      "/CMapName/VornWinAnsi def\n/CMapType 1 def\n"
      "1 begincodespacerange\n<00><FF>\nendcodespacerange\n";
  std::vector<unsigned> codes;
  for (unsigned code = 0; code < 256; ++code) {
    if (face.used.test(code)) codes.push_back(code);
  }
  for (std::size_t first = 0; first < codes.size(); first += 100) {
    const std::size_t count = std::min<std::size_t>(100, codes.size() - first);
    cmap += std::to_string(count) + " begincidchar\n";
    for (std::size_t i = first; i < first + count; ++i) {
      cmap += hexByte(codes[i]) + std::to_string(face.glyphs[codes[i]]) + "\n";
    }
    cmap += "endcidchar\n";
  }
  cmap += "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
  writer_.writeStream(face.encoding, std::string("/Type/CMap/CMapName/VornWinAnsi") + kIdentitySystem, cmap);

  for (Size* size : sizes) {
    std::string widths = "[";
    for (unsigned code = 0; code < 256; ++code) {
      if (!size->used.test(code)) continue;
      widths += std::to_string(face.glyphs[code]) + '[';
      appendNumber(widths, size->widths[code]);
      widths += ']';
    }
    widths += ']';
    const int descendant = writer_.reserveObject();
    writer_.writeObject(descendant, std::string("<</Type/Font/Subtype/") + (cff ? "CIDFontType0" : "CIDFontType2") +
                                        "/BaseFont/" + baseName + kIdentitySystem + "/FontDescriptor " +
                                        std::to_string(face.descriptor) + " 0 R/DW 0/W " + widths +
                                        (cff ? "" : "/CIDToGIDMap/Identity") + ">>");
    writer_.writeObject(size->font, "<</Type/Font/Subtype/Type0/BaseFont/" + baseName + "/Encoding " +
                                        std::to_string(face.encoding) + " 0 R/DescendantFonts[" +
                                        std::to_string(descendant) + " 0 R]/ToUnicode " +
                                        std::to_string(toUnicode_) + " 0 R>>");
  }
  return true;
}

}  // namespace vorn::platform::posix
