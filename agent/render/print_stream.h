// The print stream interpreter's line discipline and commands, used by the
// font, page and bitmap parts of the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "agent/render/render_state.h"

namespace vorn {

// Draws the buffered text. advance < 0: only that; 0: then back to the left
// margin of the same line; n > 0: then n line advances, the first one owed.
// 0, or -1 (EndPage at a page break), -2 (BeginPage at a page break), -3 (TextOutA).
int FlushLine(RenderState& state, std::int32_t advance);

// Draws buffered text, opens a page when none is open and pays an owed line
// advance, so that the current position is where the next output belongs.
// 0, -4 (drawing failed) or -1 (page start failed).
int SyncPosition(RenderState& state);

// Interprets the command whose STX is at block[position]; on return
// `position` is the index of the first byte after the command. 0, or nonzero
// when the end-page command failed.
int ExecuteCommand(RenderState& state, std::span<const std::uint8_t> block, std::size_t& position);

// The value of a command parameter: decimal digits, where bytes from 0x60 on
// make the value negative; wrapping 32-bit arithmetic.
std::int32_t ParameterValue(std::span<const std::uint8_t> parameter);

}  // namespace vorn
