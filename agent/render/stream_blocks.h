// Where a print stream may be cut into blocks for VornPrintData without
// changing what it prints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vorn {

// The length of the longest prefix of `data` that ends between two complete
// sequences of the stream: a block never ends inside a command (its letter
// or parameter), a carriage return with its line feeds, an SO or a DC4
// sequence, since the interpreter carries no partly read sequence from one
// block to the next. `data` must start at such a boundary. 0 when no
// complete sequence fits; the stream's end is always a boundary.
std::size_t CompleteSequencesLength(std::span<const std::uint8_t> data);

// The most print data one host message carries (the agent's intake buffer of
// 8208 bytes less the message's 4-byte prefix). In the agent each message's
// data is a block of its own, so no longer sequence ever reaches the engine
// whole: a reader that cuts blocks itself holds at most this much of one.
inline constexpr std::size_t kLongestBlockSequence = 8204;

}  // namespace vorn
