// Numbers as PDF writes them: integers without a point, others in fixed
// notation with at most `decimals` (0 to 9) decimals (no exponent, which PDF lacks).
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace vorn::pdf {

// Three decimals are a thousandth of a printer dot, or of a glyph width unit.
inline constexpr int kDecimals = 3;

inline double rounded(double value, int decimals = kDecimals) {
  constexpr double kPowersOfTen[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  const double scale = kPowersOfTen[std::clamp(decimals, 0, 9)];
  return std::round(value * scale) / scale;
}

inline void appendNumber(std::string& out, double value, int decimals = kDecimals) {
  const double r = rounded(value, decimals);
  if (!std::isfinite(r) || std::fabs(r) >= 1e15) {
    out += '0';  // nothing on a page is that far: a broken value must not break the file
    return;
  }
  char text[48];
  if (r == std::trunc(r)) {
    const auto result = std::to_chars(text, text + sizeof text, static_cast<std::int64_t>(r));
    out.append(text, static_cast<std::size_t>(result.ptr - text));
    return;
  }
  const auto result = std::to_chars(text, text + sizeof text, r, std::chars_format::fixed, decimals);
  const char* end = result.ptr;
  while (end[-1] == '0') --end;  // not an integer: a nonzero decimal stops this
  out.append(text, static_cast<std::size_t>(end - text));
}

}  // namespace vorn::pdf
