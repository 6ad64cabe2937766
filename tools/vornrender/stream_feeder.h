// Reading a print stream file in blocks for the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <span>

namespace vorn::tools {

// Bytes read from the stream file at a time.
inline constexpr std::size_t kStreamReadSize = std::size_t{1} << 20;

// Hands the stream to `render` in blocks that end only between complete
// sequences, so that the result is the one of a single block while memory
// stays at about one read's worth. A sequence that runs on longer than one
// host message could carry (a command parameter that is never terminated)
// is cut there, as the agent's intake cuts it at the end of a message, so
// that no block, and nothing held, exceeds kStreamReadSize.
// 0, the first non-zero result of `render`, or 1 when reading failed
// (`readFailed` set).
int feedStream(std::istream& in, const std::function<int(std::span<const std::uint8_t>)>& render,
               bool& readFailed);

}  // namespace vorn::tools
