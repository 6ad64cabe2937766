#include "agent/render/load_files.h"

#include <algorithm>
#include <cstring>

namespace vorn {
namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Windows drops trailing dots and spaces from a path component, so ". ." or
// "..." name the parent folder as well as "..".
bool namesParent(std::string_view component) {
  const auto dots = std::count(component.begin(), component.end(), '.');
  const bool onlyDotsAndSpaces =
      std::all_of(component.begin(), component.end(), [](char c) { return c == '.' || c == ' '; });
  return onlyDotsAndSpaces && dots >= 2;
}

}  // namespace

bool IsSafeLoadName(std::string_view name) {
  if (!name.empty() && isSeparator(name.front())) return false;
  if (name.size() >= 2 && isLetter(name[0]) && name[1] == ':') return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !isSeparator(name[end])) ++end;
    if (namesParent(name.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

std::optional<LoadPath> ComposeLoadPath(std::string_view directory, std::string_view name,
                                        std::string_view extension) {
  if (!IsSafeLoadName(name)) return std::nullopt;
  const std::size_t length = directory.size() + 1 + name.size() + 1 + extension.size();
  if (length > kLoadPathMax) return std::nullopt;
  LoadPath path;
  char* out = path.chars_.data();
  out = std::copy(directory.begin(), directory.end(), out);
  *out++ = '\\';
  out = std::copy(name.begin(), name.end(), out);
  *out++ = '.';
  std::copy(extension.begin(), extension.end(), out);
  path.length_ = length;
  return path;
}

bool ReadExact(platform::File& file, std::span<std::byte> buffer) {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    std::size_t got = 0;
    if (file.read(buffer.subspan(filled), got) != 0 || got == 0) return false;
    filled += std::min(got, buffer.size() - filled);
  }
  return true;
}

}  // namespace vorn
