// The printers this machine knows and the spooler that prints on them.
// Stands for: OpenPrinterA, DocumentPropertiesA, ClosePrinter (winspool) and
// CreateDCA("WINSPOOL", …) (gdi32).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/device_context.h"
#include "platform/device_mode.h"

namespace vorn::platform {

class Registry;

// An open printer; destroying it closes it (ClosePrinter).
class PrinterHandle {
 public:
  virtual ~PrinterHandle() = default;

  // DocumentPropertiesA without a window. mode 0 (no buffers): the size in
  // bytes of the settings record the driver needs, or below 0 on failure.
  // kDmOutBuffer: fills `out` with the printer's current default settings.
  // kDmInBuffer | kDmOutBuffer: merges `in` into the settings and writes the
  // result to `out` (the two may be the same record).
  // Returns kIdOk on success; otherwise below 0 with the last error set.
  virtual int documentProperties(DeviceMode* out, const DeviceMode* in, std::uint32_t mode) = 0;
};

class PrinterSystem {
 public:
  virtual ~PrinterSystem() = default;

  // OpenPrinterA with no defaults. kErrorInvalidPrinterName (1801) for a name
  // the system does not know.
  virtual std::uint32_t openPrinter(std::string_view name, std::unique_ptr<PrinterHandle>& printer) = 0;

  // CreateDCA("WINSPOOL", name, NULL, init): a device context for the
  // printer, with its default settings when `init` is null. Null on failure,
  // with the last error set.
  virtual std::unique_ptr<DeviceContext> createDC(std::string_view printerName,
                                                  const DeviceMode* init) = 0;
};

// The machine's printers: the built-in PDF printers configured in `registry`
// first, then the print spooler's queues.
std::unique_ptr<PrinterSystem> createPrinterSystem(Registry& registry);

}  // namespace vorn::platform
