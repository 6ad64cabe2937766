// Files of the load directory: composing their paths from names the stream
// supplies, and reading them whole.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "platform/file.h"

namespace vorn {

// Paths in the load directory hold at most this many characters.
inline constexpr std::size_t kLoadPathMax = 111;

class LoadPath {
 public:
  std::string_view view() const { return {chars_.data(), length_}; }

 private:
  friend std::optional<LoadPath> ComposeLoadPath(std::string_view, std::string_view, std::string_view);
  std::array<char, kLoadPathMax + 1> chars_{};
  std::size_t length_ = 0;
};

// Whether a name from the stream stays inside the load directory: not an
// absolute path or drive, and no parent-folder component.
bool IsSafeLoadName(std::string_view name);

// "<directory>\<name>.<extension>"; none when the name is unsafe or the path
// would be longer than kLoadPathMax.
std::optional<LoadPath> ComposeLoadPath(std::string_view directory, std::string_view name,
                                        std::string_view extension);

// Reads exactly buffer.size() bytes; false on an error or an early end of file.
bool ReadExact(platform::File& file, std::span<std::byte> buffer);

}  // namespace vorn
