// What the printer system knows about one printer, and how its settings
// record (DEVMODE) is filled from the printer's defaults and merged with a
// caller's changes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/device_mode.h"

namespace vorn::platform::posix {

// Paper source codes (dmDefaultSource).
inline constexpr std::int16_t kDmBinAuto = 7;

enum class PrinterKind { builtinPdf, cups };

struct PrinterDescription {
  PrinterKind kind = PrinterKind::builtinPdf;
  std::string name;                     // as the system names it (8-bit)
  int resolution = 600;                 // dots per inch
  std::int16_t paperSize = kDmPaperA4;  // dmPaperSize code
  int marginThousandths = 0;            // unprintable border on every side, 1/1000 inch
  bool duplexSupported = false;
  std::filesystem::path outputFolder;   // built-in printers: where documents go
};

// The settings a device prints a page with, taken from a settings record.
struct PageSettings {
  std::int16_t orientation = kDmOrientPortrait;
  std::int16_t paperSize = kDmPaperA4;
  std::int16_t defaultSource = kDmBinAuto;
  std::int16_t duplex = kDmDupSimplex;
  int resolution = 600;
};

// The size of the settings record the printers here use.
inline constexpr std::size_t kDeviceModeSize = DeviceMode::kPublicSize;

// Writes the printer's default settings into `out` (whose size is at least
// kDeviceModeSize), with dmFields naming the members it carries; DM_DUPLEX
// only for a printer that supports duplex.
void fillDefaults(const PrinterDescription& printer, DeviceMode& out);

// The printer's defaults with the members that `in` flags and the printer
// supports replaced by `in`'s values (invalid values are ignored). `in` and
// `out` may be the same record.
void mergeSettings(const PrinterDescription& printer, const DeviceMode& in, DeviceMode& out);

// The page settings a record stands for: its flagged, valid members over the
// printer's defaults.
PageSettings pageSettings(const PrinterDescription& printer, const DeviceMode* mode);

}  // namespace vorn::platform::posix
