// The commands embedded in the print stream: STX, a letter and a parameter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "agent/render/render_state.h"

namespace vorn {

// Interprets the command whose STX is at block[position]; on return
// `position` is the index of the first byte after the command. 0, or nonzero
// when the end-page command failed.
int ExecuteCommand(RenderState& state, std::span<const std::uint8_t> block, std::size_t& position);

// The value of a command parameter: decimal digits, where bytes from 0x60 on
// make the value negative; wrapping 32-bit arithmetic.
std::int32_t ParameterValue(std::span<const std::uint8_t> parameter);

}  // namespace vorn
