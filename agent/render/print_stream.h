// The print stream's main loop: text, line and page controls, commands.
#pragma once

#include <cstdint>
#include <span>

#include "agent/render/render_state.h"

namespace vorn {

// Interprets one block of print stream on the open document. 0, or a
// negative code on failure (-1 when no document is open).
int VornPrintData(RenderState& state, std::span<const std::uint8_t> block);

}  // namespace vorn
