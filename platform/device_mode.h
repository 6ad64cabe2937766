// A printer's settings record as the driver sizes and fills it.
// Stands for: the DEVMODEA buffer (public part followed by driver data).
//
// The record is kept as the driver's bytes, with the public members at their
// DEVMODEA offsets, so that the Windows build hands the same buffer to the
// spooler unchanged and the POSIX printer system reads what the system wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vorn::platform {

// dmFields bits.
inline constexpr std::uint32_t kDmOrientation = 0x00000001;
inline constexpr std::uint32_t kDmPaperSize = 0x00000002;
inline constexpr std::uint32_t kDmDefaultSource = 0x00000200;
inline constexpr std::uint32_t kDmPrintQuality = 0x00000400;
inline constexpr std::uint32_t kDmDuplex = 0x00001000;
inline constexpr std::uint32_t kDmYResolution = 0x00002000;

// Member values.
inline constexpr std::int16_t kDmOrientPortrait = 1;
inline constexpr std::int16_t kDmOrientLandscape = 2;
inline constexpr std::int16_t kDmDupSimplex = 1;
inline constexpr std::int16_t kDmDupVertical = 2;
inline constexpr std::int16_t kDmDupHorizontal = 3;
inline constexpr std::int16_t kDmPaperLetter = 1;
inline constexpr std::int16_t kDmPaperA4 = 9;

// DocumentPropertiesA modes and result.
inline constexpr std::uint32_t kDmOutBuffer = 2;
inline constexpr std::uint32_t kDmInBuffer = 8;
inline constexpr int kIdOk = 1;

class DeviceMode {
 public:
  // sizeof(DEVMODEA): the public members; a driver's record is at least this long.
  static constexpr std::size_t kPublicSize = 156;

  // A zero-filled record of `totalSize` bytes (at least kPublicSize), with
  // dmSize and dmDriverExtra set to match.
  explicit DeviceMode(std::size_t totalSize);

  std::size_t totalSize() const { return bytes_.size(); }
  std::span<std::byte> bytes() { return bytes_; }
  std::span<const std::byte> bytes() const { return bytes_; }

  std::uint32_t fields() const;
  void setFields(std::uint32_t value);
  std::int16_t orientation() const;
  void setOrientation(std::int16_t value);
  std::int16_t paperSize() const;
  void setPaperSize(std::int16_t value);
  std::int16_t defaultSource() const;
  void setDefaultSource(std::int16_t value);
  std::int16_t printQuality() const;  // dots per inch when positive
  void setPrintQuality(std::int16_t value);
  std::int16_t duplex() const;
  void setDuplex(std::int16_t value);
  std::int16_t yResolution() const;
  void setYResolution(std::int16_t value);

 private:
  std::int16_t readShort(std::size_t offset) const;
  void writeShort(std::size_t offset, std::int16_t value);

  std::vector<std::byte> bytes_;
};

}  // namespace vorn::platform
