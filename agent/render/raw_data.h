// Raw printer data: inline data runs and macro files, sent unchanged through
// the device's pass-through escape.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "agent/render/render_state.h"

namespace vorn {

// The largest run the 16-bit count of a raw-data buffer can hold.
inline constexpr std::size_t kMaxRawDataSize = 65535;

// Sends "<loadDirectory>\<name>.mac". 0 when sent or when there is no such
// file, -1 when reading failed, the file is too large, or the device has no
// pass-through.
int SendMacroFile(RenderState& state, std::string_view name);

// Sends `bytes` as one raw-data buffer. 0 when the device took it, -1 otherwise.
int SendPassthrough(RenderState& state, std::span<const std::uint8_t> bytes);

}  // namespace vorn
