// Bitmap files built byte by byte for the loader's tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace vorn::testing {

struct BmpSpec {
  std::int32_t width = 4;
  std::int32_t height = 3;
  std::uint16_t bits = 24;
  std::uint32_t colours = 0;  // colour table entries
  std::uint32_t infoSize = 40;
  std::uint32_t compression = 0;
  std::uint32_t clrUsed = 0;
};

inline void putLe(std::vector<std::byte>& bytes, std::size_t offset, std::uint32_t value, int size = 4) {
  for (int i = 0; i < size; ++i) bytes[offset + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

inline std::uint32_t rowStride(const BmpSpec& spec) {
  return (static_cast<std::uint32_t>(spec.width) * spec.bits + 31) / 32 * 4;
}

inline std::vector<std::byte> makeBmp(const BmpSpec& spec) {
  const std::uint32_t rows = static_cast<std::uint32_t>(std::abs(spec.height));
  const std::uint32_t pixelOffset = 14 + spec.infoSize + spec.colours * 4;
  const std::uint32_t fileSize = pixelOffset + rowStride(spec) * rows;
  std::vector<std::byte> bytes(fileSize);
  bytes[0] = std::byte{'B'};
  bytes[1] = std::byte{'M'};
  putLe(bytes, 2, fileSize);
  putLe(bytes, 10, pixelOffset);
  putLe(bytes, 14, spec.infoSize);
  putLe(bytes, 18, static_cast<std::uint32_t>(spec.width));
  putLe(bytes, 22, static_cast<std::uint32_t>(spec.height));
  putLe(bytes, 26, 1, 2);
  putLe(bytes, 28, spec.bits, 2);
  putLe(bytes, 30, spec.compression);
  putLe(bytes, 34, rowStride(spec) * rows);
  putLe(bytes, 46, spec.clrUsed);
  for (std::uint32_t i = 0; i < spec.colours; ++i) {
    putLe(bytes, 14 + spec.infoSize + i * 4, (i & 0xFF) * 0x010101u);
  }
  for (std::size_t i = pixelOffset; i < bytes.size(); ++i) bytes[i] = static_cast<std::byte>(i * 7);
  return bytes;
}

}  // namespace vorn::testing
