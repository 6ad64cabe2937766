#pragma once

#include <string>
#include <string_view>

namespace vorn::test {

// The bytes of a .reg file as "reg export" writes it: UTF-16LE with a byte-order mark.
inline std::string utf16File(std::u16string_view text) {
  std::string out = "\xFF\xFE";
  for (const char16_t unit : text) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  return out;
}

inline std::string asciiAsUtf16File(std::string_view ascii) {
  return utf16File(std::u16string(ascii.begin(), ascii.end()));
}

}  // namespace vorn::test
