// Commands embedded in the print stream: STX, a letter, and a parameter.
#include "agent/render/commands.h"

#include <algorithm>
#include <string_view>

#include "agent/render/bitmaps.h"
#include "agent/render/fonts.h"
#include "agent/render/line_discipline.h"
#include "agent/render/stream_codes.h"
#include "agent/render/vorn_print.h"
#include "agent/render/wrapping_math.h"

namespace vorn {
namespace {

constexpr std::size_t kImageNameMax = 24;

// The image-or-macro name: the first 24 parameter bytes without trailing spaces.
std::string_view imageName(std::span<const std::uint8_t> parameter) {
  std::string_view name(reinterpret_cast<const char*>(parameter.data()),
                        std::min(parameter.size(), kImageNameMax));
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}

void setSelector(RenderState& state, std::int32_t& selector, std::int32_t value) {
  if (value == selector) return;
  selector = value;
  state.format.deviceModeDirty = true;
}

int endPageCommand(RenderState& state) {
  if (FlushLine(state, -1) != 0) return -1;
  if (state.document.pageOpen) {
    if (state.document.dc->endPage() <= 0) return -1;
    state.document.pageOpen = false;
  }
  return 0;
}

}  // namespace

std::int32_t ParameterValue(std::span<const std::uint8_t> parameter) {
  std::uint32_t value = 0;
  bool negative = false;
  for (const std::uint8_t byte : parameter) {
    std::uint32_t digit;
    if (byte < 0x60) {
      digit = static_cast<std::uint32_t>(byte) - 0x30u;  // below '0' wraps to a negative digit
    } else {
      digit = static_cast<std::uint32_t>(byte) - 0x60u;
      negative = true;
    }
    value = value * 10u + digit;
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

int ExecuteCommand(RenderState& state, std::span<const std::uint8_t> block, std::size_t& position) {
  const std::size_t end = block.size();
  std::size_t cursor = position + 1;
  if (cursor >= end) {  // the letter lies beyond the block: nothing to do
    position = end;
    return 0;
  }
  const std::uint8_t letter = block[cursor++];
  const std::size_t parameterStart = cursor;
  while (cursor < end && block[cursor] >= stream::kFirstText) ++cursor;
  position = cursor;  // the control byte that ended the parameter is read as stream
  const auto parameter = block.subspan(parameterStart, cursor - parameterStart);

  switch (letter) {
    case stream::kHeaderRecord:
    case stream::kEndOfReport:
    case stream::kIgnored0:
    case stream::kIgnored1:
      return 0;
    case stream::kImageOrMacro:
      SyncPosition(state);
      PlaceImageOrMacro(state, imageName(parameter));
      return 0;
    default:
      break;
  }

  state.format.fontDirty = true;
  const std::int32_t value = ParameterValue(parameter);
  const bool fixedLayout = (state.document.options & OPT_FIXED_LAYOUT) != 0;
  switch (letter) {
    case stream::kPaperSource:
      setSelector(state, state.format.paperSource, value);
      break;
    case stream::kEndPage:
      return endPageCommand(state);
    case stream::kTopMargin:
      if (!fixedLayout) state.format.topMargin = value;
      break;
    case stream::kLeftMargin:
      if (!fixedLayout) state.format.leftMargin = value;
      break;
    case stream::kLinePitch:
      if (!fixedLayout) state.format.linePitch = value;
      break;
    case stream::kCharPitch:
      if (!fixedLayout) state.format.charPitch = value;
      break;
    case stream::kUnderline:
      state.format.underline = value;
      break;
    case stream::kStrokeWeight:
      state.format.strokeWeight = value;
      break;
    case stream::kItalic:
      state.format.italic = value;
      break;
    case stream::kOrientation:
      setSelector(state, state.format.orientation, value);
      break;
    case stream::kTypeface:
      state.format.typeface = value;
      break;
    case stream::kProportional:
      state.format.proportional = value;
      if (value != 0 && state.format.typeface <= 1) {
        state.format.typeface = 2;
      } else if (value == 0 && state.format.typeface > 1) {
        state.format.typeface = 0;
      }
      break;
    case stream::kFontHeight:
      state.format.fontHeight = value;
      break;
    case stream::kColumn:
      SyncPosition(state);
      MovePosition(state, WrapAdd(WrapMul(value, ColumnWidth(state)), state.line.lineStartX), state.line.baselineY);
      break;
    case stream::kDuplex:
      setSelector(state, state.format.duplex, value);
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace vorn
