#include "platform/win32/print/dib_layout.h"

#include <windows.h>

#include <limits>

namespace vorn::platform::win32 {

std::optional<DibLayout> dibLayout(const BitmapInfoHeader& header) {
  constexpr std::uint64_t kMaxBytes = std::numeric_limits<std::int32_t>::max();
  if (header.size < BitmapInfoHeader::kSize || header.width <= 0 || header.height == 0) return std::nullopt;
  const std::uint64_t width = static_cast<std::uint64_t>(header.width);
  const std::uint64_t height = header.height < 0 ? 0 - static_cast<std::int64_t>(header.height)
                                                 : static_cast<std::uint64_t>(header.height);
  switch (header.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return std::nullopt;
  }
  std::uint64_t colours = header.clrUsed;
  if (colours == 0 && header.bitCount <= 8) colours = 1u << header.bitCount;
  if (header.compression == BI_BITFIELDS) colours += 3;  // the three masks
  if (colours > 256 + 3) return std::nullopt;

  std::uint64_t bits = 0;
  if (header.compression == BI_RGB || header.compression == BI_BITFIELDS) {
    const std::uint64_t stride = (width * header.bitCount + 31) / 32 * 4;
    bits = stride * height;
  } else {
    bits = header.sizeImage;  // compressed: the header tells
  }
  if (bits == 0 || bits > kMaxBytes || width > kMaxBytes || height > kMaxBytes) return std::nullopt;
  return DibLayout{header.size + colours * 4, static_cast<std::size_t>(bits)};
}

}  // namespace vorn::platform::win32
