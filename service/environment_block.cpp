#include "service/environment_block.h"

#include <algorithm>
#include <new>
#include <string>

#include "platform/ansi_code_page.h"

namespace vorn {
namespace {

// The strings of a block, up to its final zero; false when that zero does
// not lie within the block.
bool splitBlock(std::span<const char> block, std::vector<std::string_view>& strings) {
  std::size_t position = 0;
  while (position < block.size() && block[position] != '\0') {
    const auto rest = block.subspan(position);
    const auto end = std::find(rest.begin(), rest.end(), '\0');
    if (end == rest.end()) return false;
    const auto length = static_cast<std::size_t>(end - rest.begin());
    strings.emplace_back(rest.data(), length);
    position += length + 1;
  }
  return position < block.size();
}

// A string's variable name: up to its first '=' after the first character
// (Windows keeps strings such as "=C:=C:\" whose name begins with '=').
std::string_view variableName(std::string_view entry) {
  const auto equals = entry.find('=', 1);
  return equals == std::string_view::npos ? entry : entry.substr(0, equals);
}

}  // namespace

bool CopyEnvironmentBlock(std::span<const char> source, std::vector<char>& block) {
  block.assign(kEnvironmentBlockSize, '\0');
  std::size_t used = 0;
  std::size_t position = 0;
  while (position < source.size() && source[position] != '\0') {
    const auto rest = source.subspan(position);
    const auto end = std::find(rest.begin(), rest.end(), '\0');
    const auto length = static_cast<std::size_t>(end - rest.begin());
    // The string, its zero and the block's final zero.
    if (used + length + 2 > kEnvironmentCopyLimit) return false;
    std::copy(rest.begin(), end, block.begin() + static_cast<std::ptrdiff_t>(used));
    used += length + 1;
    position += length + 1;
  }
  return true;  // the block is zero-filled: the final zero is in place
}

int SetEnvironmentBlockVariable(std::span<char> block, std::string_view name, std::string_view value) {
  std::vector<std::string_view> strings;
  if (!splitBlock(block, strings)) return -1;
  std::string work;
  try {
    work.reserve(block.size());
    bool placed = false;
    const auto place = [&] {
      work.append(name).append("=").append(value).push_back('\0');
      placed = true;
    };
    for (const std::string_view entry : strings) {
      if (platform::equalsIgnoringCase(variableName(entry), name)) continue;  // replaced
      if (!placed && platform::compareIgnoringCase(name, entry) < 0) place();
      work.append(entry).push_back('\0');
    }
    if (!placed) place();
    work.push_back('\0');
  } catch (const std::bad_alloc&) {
    return -2;
  }
  if (work.size() > block.size()) return -1;
  std::copy(work.begin(), work.end(), block.begin());
  return 0;
}

}  // namespace vorn
