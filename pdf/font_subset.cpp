#include "pdf/font_subset.h"

#include <hb-subset.h>

#include <memory>

namespace vorn::pdf {
namespace {

struct HbRelease {
  void operator()(hb_blob_t* blob) const { hb_blob_destroy(blob); }
  void operator()(hb_face_t* face) const { hb_face_destroy(face); }
  void operator()(hb_subset_input_t* input) const { hb_subset_input_destroy(input); }
  void operator()(hb_subset_plan_t* plan) const { hb_subset_plan_destroy(plan); }
};
template <typename T>
using HbPtr = std::unique_ptr<T, HbRelease>;

FontSubset wholeFace(const FontProgram& font, std::span<const unsigned> glyphs) {
  FontSubset whole;
  const auto bytes = font.bytes();
  whole.program.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (const unsigned glyph : glyphs) whole.newGlyph[glyph] = glyph;
  whole.newGlyph[0] = 0;
  return whole;
}

}  // namespace

FontSubset subsetOf(const FontProgram& font, std::span<const unsigned> glyphs, std::span<const char32_t> characters) {
  const auto bytes = font.bytes();
  HbPtr<hb_blob_t> blob(hb_blob_create(reinterpret_cast<const char*>(bytes.data()), static_cast<unsigned>(bytes.size()),
                                       HB_MEMORY_MODE_READONLY, nullptr, nullptr));
  // The upper half of a face index names a variable font's instance.
  HbPtr<hb_face_t> face(hb_face_create(blob.get(), static_cast<unsigned>(font.index()) & 0xFFFF));
  HbPtr<hb_subset_input_t> input(hb_subset_input_create_or_fail());
  if (!input) return wholeFace(font, glyphs);
  hb_set_t* glyphSet = hb_subset_input_glyph_set(input.get());
  hb_set_add(glyphSet, 0);
  for (const unsigned glyph : glyphs) hb_set_add(glyphSet, glyph);
  hb_set_t* unicodes = hb_subset_input_unicode_set(input.get());
  hb_set_clear(unicodes);
  for (const char32_t c : characters) hb_set_add(unicodes, c);
  hb_subset_input_set_flags(input.get(),
                            HB_SUBSET_FLAGS_NOTDEF_OUTLINE | HB_SUBSET_FLAGS_NO_HINTING | HB_SUBSET_FLAGS_DESUBROUTINIZE);
  hb_set_t* drop = hb_subset_input_set(input.get(), HB_SUBSET_SETS_DROP_TABLE_TAG);
  for (const char* tag : {"GSUB", "GPOS", "GDEF", "BASE", "JSTF", "MATH", "kern", "DSIG", "vhea", "vmtx"}) {
    hb_set_add(drop, hb_tag_from_string(tag, 4));
  }
  HbPtr<hb_subset_plan_t> plan(hb_subset_plan_create_or_fail(face.get(), input.get()));
  if (!plan) return wholeFace(font, glyphs);
  HbPtr<hb_face_t> cut(hb_subset_plan_execute_or_fail(plan.get()));
  if (!cut) return wholeFace(font, glyphs);
  HbPtr<hb_blob_t> result(hb_face_reference_blob(cut.get()));
  unsigned length = 0;
  const char* data = hb_blob_get_data(result.get(), &length);
  if (data == nullptr || length == 0) return wholeFace(font, glyphs);

  FontSubset subset;
  subset.program.assign(data, length);
  const hb_map_t* numbers = hb_subset_plan_old_to_new_glyph_mapping(plan.get());
  for (const unsigned glyph : glyphs) {
    const hb_codepoint_t renumbered = hb_map_get(numbers, glyph);
    if (renumbered == HB_MAP_VALUE_INVALID) return wholeFace(font, glyphs);
    subset.newGlyph[glyph] = renumbered;
  }
  subset.newGlyph[0] = 0;
  return subset;
}

}  // namespace vorn::pdf
