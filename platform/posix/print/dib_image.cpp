#include "platform/posix/print/dib_image.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace vorn::platform::posix {
namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::size_t kRgbQuadSize = 4;

// A colour mask as a shift and a width, to stretch its value to 8 bits.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  static Channel of(std::uint32_t mask) {
    Channel c{mask, 0, 0};
    if (mask == 0) return c;
    while (((mask >> c.shift) & 1) == 0) ++c.shift;
    while (c.shift + c.bits < 32 && ((mask >> (c.shift + c.bits)) & 1) != 0) ++c.bits;
    return c;
  }
  std::uint32_t level(std::uint32_t pixel) const {
    if (bits == 0) return 0;
    const std::uint32_t value = (pixel & mask) >> shift;
    const std::uint32_t top = (std::uint32_t{1} << std::min(bits, 31)) - 1;
    return bits >= 8 ? value >> (bits - 8) : (value * 255 + top / 2) / top;
  }
};

struct Masks {
  Channel red, green, blue;
};

std::uint32_t readU32(std::span<const std::byte> bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= std::to_integer<std::uint32_t>(bytes[offset + i]) << (8 * i);
  return value;
}

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

std::uint32_t pixelAt(std::span<const std::byte> row, int x, int bitCount, const std::vector<std::uint32_t>& palette,
                      const Masks& masks) {
  const auto ux = static_cast<std::size_t>(x);
  if (bitCount == 16 || (bitCount == 32 && masks.red.mask != 0)) {
    const std::uint32_t pixel = bitCount == 16 ? std::to_integer<std::uint32_t>(row[ux * 2]) |
                                                     (std::to_integer<std::uint32_t>(row[ux * 2 + 1]) << 8)
                                               : readU32(row, ux * 4);
    return (masks.red.level(pixel) << 16) | (masks.green.level(pixel) << 8) | masks.blue.level(pixel);
  }
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
  if (format.planes != 1) return nullptr;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
    return nullptr;
  }
  Masks masks;
  if (format.compression == kBiBitfields) {
    const auto table = info.subspan(BitmapInfoHeader::kSize);
    if ((bitCount != 16 && bitCount != 32) || table.size() < 3 * sizeof(std::uint32_t)) return nullptr;
    masks = {Channel::of(readU32(table, 0)), Channel::of(readU32(table, 4)), Channel::of(readU32(table, 8))};
  } else if (format.compression != kBiRgb) {
    return nullptr;
  } else if (bitCount == 16) {
    masks = {Channel::of(0x7C00), Channel::of(0x03E0), Channel::of(0x001F)};  // 5-5-5, the top bit unused
  }

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
      out[x] = pixelAt(row, static_cast<int>(x), bitCount, palette, masks);
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

}  // namespace vorn::platform::posix
