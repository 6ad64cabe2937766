#include "platform/posix/print/dib_image.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace vorn::platform::posix {
namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::size_t kRgbQuadSize = 4;

std::uint32_t rgb(std::byte r, std::byte g, std::byte b) {
  return (std::to_integer<std::uint32_t>(r) << 16) | (std::to_integer<std::uint32_t>(g) << 8) |
         std::to_integer<std::uint32_t>(b);
}

// The colour table as RGB values; at most 2^bitCount entries, and only those present in `info`.
std::vector<std::uint32_t> paletteOf(const BitmapInfoHeader& format, std::span<const std::byte> info) {
  std::vector<std::uint32_t> palette;
  if (format.bitCount > 8) return palette;
  std::size_t entries = std::size_t{1} << format.bitCount;
  if (format.clrUsed != 0 && format.clrUsed < entries) entries = format.clrUsed;
  const auto table = info.subspan(BitmapInfoHeader::kSize);
  entries = std::min(entries, table.size() / kRgbQuadSize);
  palette.reserve(entries);
  for (std::size_t i = 0; i < entries; ++i) {
    const auto quad = table.subspan(i * kRgbQuadSize, kRgbQuadSize);  // blue, green, red, reserved
    palette.push_back(rgb(quad[2], quad[1], quad[0]));
  }
  return palette;
}

std::uint32_t pixelAt(std::span<const std::byte> row, int x, int bitCount, const std::vector<std::uint32_t>& palette) {
  const auto ux = static_cast<std::size_t>(x);
  std::size_t index = 0;
  switch (bitCount) {
    case 1:
      index = (std::to_integer<unsigned>(row[ux / 8]) >> (7 - ux % 8)) & 0x1;
      break;
    case 4:
      index = (std::to_integer<unsigned>(row[ux / 2]) >> (ux % 2 == 0 ? 4 : 0)) & 0xF;
      break;
    case 8:
      index = std::to_integer<unsigned>(row[ux]);
      break;
    case 24:
      return rgb(row[ux * 3 + 2], row[ux * 3 + 1], row[ux * 3]);
    case 32:
      return rgb(row[ux * 4 + 2], row[ux * 4 + 1], row[ux * 4]);
    default:
      return 0;
  }
  return index < palette.size() ? palette[index] : 0;
}

}  // namespace

CairoSurface imageFromDib(const BitmapInfoHeader& header, std::span<const std::byte> bits,
                          std::span<const std::byte> info) {
  if (info.size() < BitmapInfoHeader::kSize) return nullptr;
  const BitmapInfoHeader format = BitmapInfoHeader::fromBytes(info.first<BitmapInfoHeader::kSize>());
  const int bitCount = format.bitCount;
  if (format.compression != kBiRgb || format.planes != 1) return nullptr;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) return nullptr;

  const std::int64_t width = format.width;
  const std::int64_t signedHeight = format.height;
  const std::int64_t height = std::llabs(signedHeight);
  if (width <= 0 || height <= 0 || width > kMaxDibSide || height > kMaxDibSide) return nullptr;
  if (header.width != format.width || std::llabs(header.height) != height) return nullptr;

  const std::size_t stride = static_cast<std::size_t>((width * bitCount + 31) / 32 * 4);
  const std::size_t needed = stride * static_cast<std::size_t>(height);
  if (bits.size() < needed) return nullptr;

  const std::vector<std::uint32_t> palette = paletteOf(format, info);
  CairoSurface surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width), static_cast<int>(height)));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int outStride = cairo_image_surface_get_stride(surface.get());
  const bool bottomUp = signedHeight > 0;

  for (std::int64_t y = 0; y < height; ++y) {
    const std::int64_t sourceRow = bottomUp ? height - 1 - y : y;
    const auto row = bits.subspan(static_cast<std::size_t>(sourceRow) * stride, stride);
    auto* out = reinterpret_cast<std::uint32_t*>(data + y * outStride);
    for (std::int64_t x = 0; x < width; ++x) {
      out[x] = pixelAt(row, static_cast<int>(x), bitCount, palette);
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

}  // namespace vorn::platform::posix
