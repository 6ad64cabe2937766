// The rendering engine's entry points, as the agent's output layer calls them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "agent/render/render_state.h"

namespace vorn::platform {
class DeviceContext;
}

namespace vorn {

// Renderer option bits, computed per job from the profile.
inline constexpr std::uint32_t OPT_COURIER = 0x02;
inline constexpr std::uint32_t OPT_TO_FILE = 0x04;
inline constexpr std::uint32_t OPT_TOP_LINE = 0x08;
inline constexpr std::uint32_t OPT_FIXED_LAYOUT = 0x10;
inline constexpr std::uint32_t OPT_NO_OVERFLOW = 0x20;
inline constexpr std::uint32_t OPT_EJECT_MARK = 0x40;

// Opens the document on `dc` (owned by the caller, which deletes it after
// VornPrintEnd or after a failed start). 0 on success, -1 when the spooler
// refused the document, -2 when the text alignment could not be set.
int VornPrintStart(RenderState& state, std::string_view docName, platform::DeviceContext& dc,
                   std::uint32_t options);

// Interprets one block of print stream. 0, or a negative code on failure.
int VornPrintData(RenderState& state, std::span<const std::uint8_t> block);

// Ends the open document, if any.
void VornPrintEnd(RenderState& state);

}  // namespace vorn
