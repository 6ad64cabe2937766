// Fonts for the stream's formatting parameters, the 16-slot font cache, and
// the line and column grid that follows from the pitches.
#pragma once

#include <cstdint>

#include "agent/render/render_state.h"
#include "platform/device_context.h"

namespace vorn {

// The formatting parameters as a font key.
FontKey CurrentParameters(const RenderState& state);

// The CreateFontA request for `key` (whose fontHeight is already derived).
platform::FontRequest FontRequestFor(const RenderState& state, const FontKey& key);

// Makes the font for the current parameters current in the device context,
// drawing buffered text first when the font changes. 0, or -1 on failure.
int SelectFont(RenderState& state);

// Line and column pitch in device units, for the font selected last.
std::int32_t LineHeight(const RenderState& state);
std::int32_t ColumnWidth(const RenderState& state);

// Page origin from the margins: the first line's origin and the left margin,
// in printable-area coordinates, never negative.
std::int32_t LineOrigin(const RenderState& state);
std::int32_t LeftMarginX(const RenderState& state);

// Gives the device its own font back and deletes every cached font.
void ReleaseFonts(RenderState& state);

}  // namespace vorn
