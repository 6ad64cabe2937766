#include "platform/device_context.h"

#include <cstring>

namespace vorn::platform {
namespace {
template <typename T>
T readLittleEndian(std::span<const std::byte> bytes, std::size_t offset) {
  T value{};
  std::memcpy(&value, bytes.data() + offset, sizeof value);  // the header is little-endian, as is the host
  return value;
}
}  // namespace

BitmapInfoHeader BitmapInfoHeader::fromBytes(std::span<const std::byte, kSize> bytes) {
  BitmapInfoHeader h;
  h.size = readLittleEndian<std::uint32_t>(bytes, 0);
  h.width = readLittleEndian<std::int32_t>(bytes, 4);
  h.height = readLittleEndian<std::int32_t>(bytes, 8);
  h.planes = readLittleEndian<std::uint16_t>(bytes, 12);
  h.bitCount = readLittleEndian<std::uint16_t>(bytes, 14);
  h.compression = readLittleEndian<std::uint32_t>(bytes, 16);
  h.sizeImage = readLittleEndian<std::uint32_t>(bytes, 20);
  h.xPelsPerMeter = readLittleEndian<std::int32_t>(bytes, 24);
  h.yPelsPerMeter = readLittleEndian<std::int32_t>(bytes, 28);
  h.clrUsed = readLittleEndian<std::uint32_t>(bytes, 32);
  h.clrImportant = readLittleEndian<std::uint32_t>(bytes, 36);
  return h;
}

}  // namespace vorn::platform
