// 32-bit arithmetic that wraps instead of overflowing, as the stream's values
// may be anything a host sends; and MulDiv.
#pragma once

#include <cstdint>

namespace vorn {

constexpr std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

constexpr std::int32_t WrapMul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// a / b truncating toward zero; INT32_MIN / -1 wraps to INT32_MIN instead of trapping.
constexpr std::int32_t WrapDiv(std::int32_t a, std::int32_t b) {
  return b == -1 ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(a)) : a / b;
}

// number * numerator / denominator with a 64-bit intermediate, rounded to the
// nearest integer (halves away from zero); -1 when the denominator is 0 or the
// result does not fit.
constexpr std::int32_t MulDiv(std::int32_t number, std::int32_t numerator, std::int32_t denominator) {
  if (denominator == 0) return -1;
  std::int64_t product = static_cast<std::int64_t>(number) * numerator;
  std::int64_t divisor = denominator;
  if (divisor < 0) {
    product = -product;
    divisor = -divisor;
  }
  const std::int64_t half = divisor / 2;
  const std::int64_t result = product >= 0 ? (product + half) / divisor : (product - half) / divisor;
  if (result > 2147483647 || result < -2147483647) return -1;
  return static_cast<std::int32_t>(result);
}

}  // namespace vorn
