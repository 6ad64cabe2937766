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

void moveToLineStart(RenderState& state) { MovePosition(state, state.line.lineStartX, state.line.baselineY); }

// Whether the current position lies beyond twice the sheet's longer side:
// no text that starts there shows on a page of either orientation, whatever
// its font's overhang. Only asked for lines longer than a buffer.
bool positionPastEveryPage(RenderState& state) {
  platform::Point position;
  if (!state.document.dc->getCurrentPosition(position)) return false;
  const std::int64_t longerSide = std::max(state.document.dc->getDeviceCaps(platform::kPhysicalWidth),
                                           state.document.dc->getDeviceCaps(platform::kPhysicalHeight));
  return longerSide > 0 && position.x > 2 * longerSide;
}

// TextOutA of the buffered run, unless the line has run past every page.
bool drawBuffer(RenderState& state) {
  if (!state.line.linePastPage) {
    if (!state.document.dc->textOut(0, 0, std::string_view(state.line.lineBuffer.data(), state.line.lineLength))) return false;
    state.line.lineCharactersDrawn += state.line.lineLength;
    if (state.line.lineCharactersDrawn > kLineBufferSize) state.line.linePastPage = positionPastEveryPage(state);
  }
  state.line.lineLength = 0;
  return true;
}

void payAdvance(RenderState& state) {
  state.line.baselineY = WrapAdd(state.line.baselineY, LineHeight(state));
  state.line.pendingAdvance = false;
  moveToLineStart(state);
}

}  // namespace

int FlushLine(RenderState& state, std::int32_t advance) {
  if (advance < 0 && state.line.lineLength == 0) return 0;  // an owed advance stays owed

  if (state.line.pendingAdvance) {
    std::int32_t next = WrapAdd(state.line.baselineY, LineHeight(state));
    if ((state.document.options & OPT_TOP_LINE) != 0) {
      if (state.line.baselineY == 0) {
        next = kTopLine;
      } else if (state.line.baselineY == kTopLine && state.document.pagesStarted == 1) {
        next = kSecondTopLine;
      }
    }
    state.line.baselineY = next;
    state.line.pendingAdvance = false;
    moveToLineStart(state);
  }

  if (state.line.baselineY > state.document.pageHeight && (state.document.options & OPT_NO_OVERFLOW) == 0) {
    if (state.document.dc->endPage() <= 0) return -1;
    state.document.pageOpen = false;
    if (BeginPage(state) != 0) return -2;
    // The line goes to the new page's first line, without the top-line rule.
    payAdvance(state);
  }

  if (state.line.lineLength > 0 && !drawBuffer(state)) return -3;

  if (advance == 0) {
    moveToLineStart(state);
  } else if (advance > 0) {
    // The first advance is owed; the others are made now.
    state.line.pendingAdvance = true;
    state.line.baselineY = WrapAdd(state.line.baselineY, WrapMul(LineHeight(state), advance - 1));
  }
  return 0;
}

void MovePosition(RenderState& state, std::int32_t x, std::int32_t y) {
  state.document.dc->moveTo(x, y);
  state.line.lineCharactersDrawn = 0;
  state.line.linePastPage = false;
}

int SyncPosition(RenderState& state) {
  if (FlushLine(state, -1) != 0) return -4;
  if (!state.document.pageOpen && BeginPage(state) != 0) return -1;
  // No top-line rule and no page break here: the next drawn line breaks the page.
  if (state.line.pendingAdvance) payAdvance(state);
  return 0;
}

}  // namespace vorn
