#include "agent/render/fonts.h"

#include "agent/render/line_discipline.h"
#include "agent/render/vorn_print.h"
#include "agent/render/wrapping_math.h"

namespace vorn {
namespace {

constexpr std::uint32_t kFamilyDontCare = 0x00;
constexpr std::uint32_t kFamilyRoman = 0x10;
constexpr std::uint32_t kFamilySwiss = 0x20;
constexpr std::uint32_t kFamilyModern = 0x30;
constexpr std::uint32_t kFixedPitch = 1;
constexpr std::uint32_t kVariablePitch = 2;

struct Face {
  const char* name;
  std::uint32_t family;
};

// Typeface codes are compared unsigned, so a negative code is just another unknown code.
Face faceFor(std::int32_t typeface, bool courierOption) {
  const char* courier = courierOption ? "Courier" : "Courier New";
  switch (static_cast<std::uint32_t>(typeface)) {
    case 0:
    case 1:
      return {courier, kFamilyModern};
    case 2:
    case 4:
      return {"Arial", kFamilySwiss};
    case 3:
      return {"Times New Roman", kFamilyRoman};
    default:
      return {courier, kFamilyDontCare};
  }
}

// (k / 2 + 10 * dpi) / k: pitch per ten inches to device units, rounded.
std::int32_t pitchToUnits(std::int32_t pitch, std::int32_t dpi) {
  const std::int32_t k = pitch == 0 ? 1 : pitch;
  return WrapDiv(WrapAdd(k / 2, WrapMul(10, dpi)), k);
}

// (units * tenths + 5) / 10 - offset, and 0 when that is negative.
std::int32_t marginToUnits(std::int32_t units, std::int32_t tenths, std::int32_t offset) {
  const std::int32_t value = WrapAdd(WrapAdd(WrapMul(units, tenths), 5) / 10, -offset);
  return value < 0 ? 0 : value;
}

}  // namespace

FontKey CurrentParameters(const RenderState& state) {
  return FontKey{state.format.linePitch, state.format.charPitch, state.format.underline,    state.format.strokeWeight,
                 state.format.italic,    state.format.typeface,  state.format.proportional, state.format.fontHeight};
}

platform::FontRequest FontRequestFor(const RenderState& state, const FontKey& key) {
  std::int32_t decipoints = key.fontHeight;
  if (key.proportional == 0 && key.charPitch != 0) decipoints = 12000 / key.charPitch;
  if (decipoints == 0) decipoints = 120;

  // The division truncates toward zero; step 0 gives 500, not GDI's 400.
  std::int32_t weight = WrapAdd(500, WrapMul(key.strokeWeight, 500) / 7);
  if (weight <= 0) weight = 1;

  const Face face = faceFor(key.typeface, (state.document.options & OPT_COURIER) != 0);
  const std::uint32_t pitch = key.proportional != 0 ? kVariablePitch : kFixedPitch;

  platform::FontRequest request;
  // Negative: the height of the characters, not of the character cell.
  request.height = -MulDiv(decipoints, state.document.dpiY, 720);
  request.weight = weight;
  request.italic = static_cast<std::uint32_t>(key.italic);
  request.underline = static_cast<std::uint32_t>(key.underline);
  request.pitchAndFamily = pitch + face.family;
  request.faceName = face.name;
  return request;
}

int SelectFont(RenderState& state) {
  state.format.fontDirty = false;
  if (CurrentParameters(state) == state.fonts.currentKey) return 0;

  if (FlushLine(state, -1) != 0) return -1;  // text so far is drawn in the old font

  // A derived height is kept: it does not follow later line pitch changes.
  if (state.format.fontHeight == 0) state.format.fontHeight = state.format.linePitch == 0 ? 120 : 7200 / state.format.linePitch;
  const FontKey key = CurrentParameters(state);

  platform::GdiObject font = platform::kNoObject;
  for (const FontSlot& slot : state.fonts.FontCache) {
    if (slot.font != platform::kNoObject && slot.key == key) {
      font = slot.font;
      break;
    }
  }
  const bool created = font == platform::kNoObject;
  if (created) {
    font = state.document.dc->createFont(FontRequestFor(state, key));
    if (font == platform::kNoObject) return -1;
  }

  const platform::GdiObject replaced = state.document.dc->selectObject(font);
  if (state.fonts.originalFont == platform::kNoObject) state.fonts.originalFont = replaced;

  if (created) {
    // Slots are reused in rotation: the font created longest ago goes.
    std::int32_t index = state.fonts.cacheLast + 1;
    if (index >= static_cast<std::int32_t>(kFontCacheSlots)) index = 0;
    FontSlot& slot = state.fonts.FontCache[static_cast<std::size_t>(index)];
    if (slot.font != platform::kNoObject) state.document.dc->deleteObject(slot.font);
    slot = FontSlot{font, key};
    state.fonts.cacheLast = index;
  }

  state.fonts.currentKey = key;
  return 0;
}

std::int32_t LineHeight(const RenderState& state) { return pitchToUnits(state.fonts.currentKey.linePitch, state.document.dpiY); }

std::int32_t ColumnWidth(const RenderState& state) { return pitchToUnits(state.fonts.currentKey.charPitch, state.document.dpiX); }

std::int32_t LineOrigin(const RenderState& state) {
  return marginToUnits(LineHeight(state), state.format.topMargin, state.document.offsetY);
}

std::int32_t LeftMarginX(const RenderState& state) {
  return marginToUnits(ColumnWidth(state), state.format.leftMargin, state.document.offsetX);
}

void ReleaseFonts(RenderState& state) {
  if (state.fonts.originalFont != platform::kNoObject) state.document.dc->selectObject(state.fonts.originalFont);
  for (FontSlot& slot : state.fonts.FontCache) {
    if (slot.font != platform::kNoObject) state.document.dc->deleteObject(slot.font);
    slot.font = platform::kNoObject;  // never deleted twice
  }
}

}  // namespace vorn
