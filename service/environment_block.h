// The environment an agent starts with: the service's own environment copied
// into a block of fixed size, and variables put into such a block in the
// order Windows keeps them (by name, without regard to case).
//
// A block is a sequence of "NAME=value\0" strings followed by one more "\0".
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace vorn {

// The block an agent's environment is built in, and how much of it the copy
// of the service's environment may use: the rest keeps room for the
// variables the launcher adds.
inline constexpr std::size_t kEnvironmentBlockSize = 24576;
inline constexpr std::size_t kEnvironmentCopyLimit = 24476;

// Copies the strings of `source` (an environment block) into a new block of
// kEnvironmentBlockSize bytes, using at most kEnvironmentCopyLimit of them.
// false when a string, with its zero and the block's final zero, would not
// fit: `block` is then unusable.
bool CopyEnvironmentBlock(std::span<const char> source, std::vector<char>& block);

// Puts "name=value" into `block`: a string of the same name (compared
// without regard to case) is replaced; otherwise the new string goes just
// before the first string that the name sorts before, or last.
//   0: done; -1: the block has no final zero within its size, or no room for
//   the result; -2: no memory for the work copy. The block is unchanged
//   unless the result is 0.
int SetEnvironmentBlockVariable(std::span<char> block, std::string_view name, std::string_view value);

}  // namespace vorn
