// Turns buffered text and owed line advances into positioned text output.
#include "agent/render/line_discipline.h"

#include <algorithm>
#include <cstdint>

#include "agent/render/fonts.h"
#include "agent/render/page_setup.h"
#include "agent/render/vorn_print.h"
#include "agent/render/wrapping_math.h"

namespace vorn {
namespace {

// Under the top-line rule the first line of a page sits at 30 and, on the
// document's first page, the second one at 31.
constexpr std::int32_t kTopLine = 30;
constexpr std::int32_t kSecondTopLine = 31;

void moveToLineStart(RenderState& state) { MovePosition(state, state.lineStartX, state.baselineY); }

// Whether the current position lies beyond twice the sheet's longer side:
// no text that starts there shows on a page of either orientation, whatever
// its font's overhang. Only asked for lines longer than a buffer.
bool positionPastEveryPage(RenderState& state) {
  platform::Point position;
  if (!state.dc->getCurrentPosition(position)) return false;
  const std::int64_t longerSide = std::max(state.dc->getDeviceCaps(platform::kPhysicalWidth),
                                           state.dc->getDeviceCaps(platform::kPhysicalHeight));
  return longerSide > 0 && position.x > 2 * longerSide;
}

// TextOutA of the buffered run, unless the line has run past every page.
bool drawBuffer(RenderState& state) {
  if (!state.linePastPage) {
    if (!state.dc->textOut(0, 0, std::string_view(state.lineBuffer.data(), state.lineLength))) return false;
    state.lineCharactersDrawn += state.lineLength;
    if (state.lineCharactersDrawn > kLineBufferSize) state.linePastPage = positionPastEveryPage(state);
  }
  state.lineLength = 0;
  return true;
}

void payAdvance(RenderState& state) {
  state.baselineY = WrapAdd(state.baselineY, LineHeight(state));
  state.pendingAdvance = false;
  moveToLineStart(state);
}

}  // namespace

int FlushLine(RenderState& state, std::int32_t advance) {
  if (advance < 0 && state.lineLength == 0) return 0;  // an owed advance stays owed

  if (state.pendingAdvance) {
    std::int32_t next = WrapAdd(state.baselineY, LineHeight(state));
    if ((state.options & OPT_TOP_LINE) != 0) {
      if (state.baselineY == 0) {
        next = kTopLine;
      } else if (state.baselineY == kTopLine && state.pagesStarted == 1) {
        next = kSecondTopLine;
      }
    }
    state.baselineY = next;
    state.pendingAdvance = false;
    moveToLineStart(state);
  }

  if (state.baselineY > state.pageHeight && (state.options & OPT_NO_OVERFLOW) == 0) {
    if (state.dc->endPage() <= 0) return -1;
    state.pageOpen = false;
    if (BeginPage(state) != 0) return -2;
    // The line goes to the new page's first line, without the top-line rule.
    payAdvance(state);
  }

  if (state.lineLength > 0 && !drawBuffer(state)) return -3;

  if (advance == 0) {
    moveToLineStart(state);
  } else if (advance > 0) {
    // The first advance is owed; the others are made now.
    state.pendingAdvance = true;
    state.baselineY = WrapAdd(state.baselineY, WrapMul(LineHeight(state), advance - 1));
  }
  return 0;
}

void MovePosition(RenderState& state, std::int32_t x, std::int32_t y) {
  state.dc->moveTo(x, y);
  state.lineCharactersDrawn = 0;
  state.linePastPage = false;
}

int SyncPosition(RenderState& state) {
  if (FlushLine(state, -1) != 0) return -4;
  if (!state.pageOpen && BeginPage(state) != 0) return -1;
  // No top-line rule and no page break here: the next drawn line breaks the page.
  if (state.pendingAdvance) payAdvance(state);
  return 0;
}

}  // namespace vorn
