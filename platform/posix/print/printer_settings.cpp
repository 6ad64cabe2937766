#include "platform/posix/print/printer_settings.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/posix/print/paper.h"

namespace vorn::platform::posix {
namespace {

constexpr std::size_t kDeviceNameSize = 32;  // dmDeviceName
constexpr std::size_t kSpecVersionOffset = 32;
constexpr std::uint16_t kSpecVersion = 0x0401;
constexpr int kMinResolution = 72;
constexpr int kMaxResolution = 4800;

bool validOrientation(std::int16_t value) {
  return value == kDmOrientPortrait || value == kDmOrientLandscape;
}
bool validDuplex(std::int16_t value) { return value >= kDmDupSimplex && value <= kDmDupHorizontal; }
bool validResolution(int value) { return value >= kMinResolution && value <= kMaxResolution; }

PageSettings defaultsOf(const PrinterDescription& printer) {
  PageSettings s;
  s.paperSize = printer.paperSize;
  s.resolution = printer.resolution;
  return s;
}

// Applies the flagged, valid members of `mode` to `settings`.
void applyFlagged(const PrinterDescription& printer, const DeviceMode& mode, PageSettings& settings) {
  const std::uint32_t fields = mode.fields();
  if ((fields & kDmOrientation) && validOrientation(mode.orientation())) {
    settings.orientation = mode.orientation();
  }
  if ((fields & kDmPaperSize) && paperByCode(mode.paperSize())) settings.paperSize = mode.paperSize();
  if (fields & kDmDefaultSource) settings.defaultSource = mode.defaultSource();
  if ((fields & kDmDuplex) && printer.duplexSupported && validDuplex(mode.duplex())) {
    settings.duplex = mode.duplex();
  }
  if ((fields & kDmPrintQuality) && validResolution(mode.printQuality())) {
    settings.resolution = mode.printQuality();
  }
}

void writeRecord(const PrinterDescription& printer, const PageSettings& s, DeviceMode& out) {
  auto bytes = out.bytes();
  const std::size_t publicPart = std::min(bytes.size(), DeviceMode::kPublicSize);
  // Keep the size members the record was built with; clear the rest of the public part.
  std::array<std::byte, 4> sizes{};
  std::memcpy(sizes.data(), bytes.data() + 36, sizes.size());
  std::fill(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(publicPart), std::byte{0});
  std::memcpy(bytes.data() + 36, sizes.data(), sizes.size());

  const std::size_t nameLength = std::min(printer.name.size(), kDeviceNameSize - 1);
  std::memcpy(bytes.data(), printer.name.data(), nameLength);
  std::memcpy(bytes.data() + kSpecVersionOffset, &kSpecVersion, sizeof kSpecVersion);

  std::uint32_t fields = kDmOrientation | kDmPaperSize | kDmDefaultSource | kDmPrintQuality | kDmYResolution;
  if (printer.duplexSupported) fields |= kDmDuplex;
  out.setFields(fields);
  out.setOrientation(s.orientation);
  out.setPaperSize(s.paperSize);
  out.setDefaultSource(s.defaultSource);
  out.setPrintQuality(static_cast<std::int16_t>(s.resolution));
  out.setYResolution(static_cast<std::int16_t>(s.resolution));
  out.setDuplex(printer.duplexSupported ? s.duplex : std::int16_t{0});
}

}  // namespace

void fillDefaults(const PrinterDescription& printer, DeviceMode& out) {
  writeRecord(printer, defaultsOf(printer), out);
}

void mergeSettings(const PrinterDescription& printer, const DeviceMode& in, DeviceMode& out) {
  PageSettings s = defaultsOf(printer);
  applyFlagged(printer, in, s);  // read `in` completely before `out` is written: they may alias
  writeRecord(printer, s, out);
}

PageSettings pageSettings(const PrinterDescription& printer, const DeviceMode* mode) {
  PageSettings s = defaultsOf(printer);
  if (mode != nullptr) applyFlagged(printer, *mode, s);
  return s;
}

}  // namespace vorn::platform::posix
