#include "platform/device_mode.h"

#include <algorithm>
#include <cstring>

namespace vorn::platform {
namespace {
// DEVMODEA member offsets.
constexpr std::size_t kSizeOffset = 36;
constexpr std::size_t kDriverExtraOffset = 38;
constexpr std::size_t kFieldsOffset = 40;
constexpr std::size_t kOrientationOffset = 44;
constexpr std::size_t kPaperSizeOffset = 46;
constexpr std::size_t kDefaultSourceOffset = 56;
constexpr std::size_t kPrintQualityOffset = 58;
constexpr std::size_t kDuplexOffset = 62;
constexpr std::size_t kYResolutionOffset = 64;
}  // namespace

DeviceMode::DeviceMode(std::size_t totalSize) : bytes_(std::max(totalSize, kPublicSize)) {
  writeShort(kSizeOffset, static_cast<std::int16_t>(kPublicSize));
  writeShort(kDriverExtraOffset, static_cast<std::int16_t>(bytes_.size() - kPublicSize));
}

std::int16_t DeviceMode::readShort(std::size_t offset) const {
  std::int16_t value;
  std::memcpy(&value, bytes_.data() + offset, sizeof value);
  return value;
}

void DeviceMode::writeShort(std::size_t offset, std::int16_t value) {
  std::memcpy(bytes_.data() + offset, &value, sizeof value);
}

std::uint32_t DeviceMode::fields() const {
  std::uint32_t value;
  std::memcpy(&value, bytes_.data() + kFieldsOffset, sizeof value);
  return value;
}

void DeviceMode::setFields(std::uint32_t value) {
  std::memcpy(bytes_.data() + kFieldsOffset, &value, sizeof value);
}

std::int16_t DeviceMode::orientation() const { return readShort(kOrientationOffset); }
void DeviceMode::setOrientation(std::int16_t value) { writeShort(kOrientationOffset, value); }
std::int16_t DeviceMode::paperSize() const { return readShort(kPaperSizeOffset); }
void DeviceMode::setPaperSize(std::int16_t value) { writeShort(kPaperSizeOffset, value); }
std::int16_t DeviceMode::defaultSource() const { return readShort(kDefaultSourceOffset); }
void DeviceMode::setDefaultSource(std::int16_t value) { writeShort(kDefaultSourceOffset, value); }
std::int16_t DeviceMode::printQuality() const { return readShort(kPrintQualityOffset); }
void DeviceMode::setPrintQuality(std::int16_t value) { writeShort(kPrintQualityOffset, value); }
std::int16_t DeviceMode::duplex() const { return readShort(kDuplexOffset); }
void DeviceMode::setDuplex(std::int16_t value) { writeShort(kDuplexOffset, value); }
std::int16_t DeviceMode::yResolution() const { return readShort(kYResolutionOffset); }
void DeviceMode::setYResolution(std::int16_t value) { writeShort(kYResolutionOffset, value); }

}  // namespace vorn::platform
