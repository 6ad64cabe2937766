// The rendering engine as its callers (the agent's print jobs, vornrender)
// use it: the option bits of a document and the Renderer.
#pragma once

#include <cstdint>

#include "agent/render/renderer.h"

namespace vorn {

// Renderer option bits, computed per job from the profile.
inline constexpr std::uint32_t OPT_COURIER = 0x02;
inline constexpr std::uint32_t OPT_TO_FILE = 0x04;
inline constexpr std::uint32_t OPT_TOP_LINE = 0x08;
inline constexpr std::uint32_t OPT_FIXED_LAYOUT = 0x10;
inline constexpr std::uint32_t OPT_NO_OVERFLOW = 0x20;
inline constexpr std::uint32_t OPT_EJECT_MARK = 0x40;

}  // namespace vorn
