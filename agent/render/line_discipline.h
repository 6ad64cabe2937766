// The print stream interpreter's line discipline: buffered text and owed line
// advances turned into positioned text output.
#pragma once

#include <cstdint>

#include "agent/render/render_state.h"

namespace vorn {

// Draws the buffered text. advance < 0: only that; 0: then back to the left
// margin of the same line; n > 0: then n line advances, the first one owed.
// 0, or -1 (EndPage at a page break), -2 (BeginPage at a page break), -3 (TextOutA).
int FlushLine(RenderState& state, std::int32_t advance);

// MoveToEx to (x, y), the start of new text on the line.
void MovePosition(RenderState& state, std::int32_t x, std::int32_t y);

// Draws buffered text, opens a page when none is open and pays an owed line
// advance, so that the current position is where the next output belongs.
// 0, -4 (drawing failed) or -1 (page start failed).
int SyncPosition(RenderState& state);

}  // namespace vorn
