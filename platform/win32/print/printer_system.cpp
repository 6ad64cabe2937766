// The printer system on Windows: the spooler's printers through winspool
// (OpenPrinterA, DocumentPropertiesA, ClosePrinter) and their device
// contexts through CreateDCA("WINSPOOL", …).
#include "platform/printer_system.h"

#include <windows.h>
#include <winspool.h>

#include <string>

#include "platform/error.h"
#include "platform/registry.h"
#include "platform/win32/print/gdi_device_context.h"

namespace vorn::platform {
namespace {

DEVMODEA* devmodeOf(DeviceMode* mode) { return mode ? reinterpret_cast<DEVMODEA*>(mode->bytes().data()) : nullptr; }

class WinspoolPrinter final : public PrinterHandle {
 public:
  WinspoolPrinter(HANDLE printer, std::string name) : printer_(printer), name_(std::move(name)) {}
  ~WinspoolPrinter() override { ::ClosePrinter(printer_); }
  WinspoolPrinter(const WinspoolPrinter&) = delete;
  WinspoolPrinter& operator=(const WinspoolPrinter&) = delete;

  int documentProperties(DeviceMode* out, const DeviceMode* in, std::uint32_t mode) override {
    if (mode != 0) {
      // The driver writes its whole record: never into a smaller buffer.
      const LONG needed = query(nullptr, nullptr, 0);
      if (needed < 0) return needed;
      const auto fits = [needed](const DeviceMode* m) { return m->totalSize() >= static_cast<std::size_t>(needed); };
      if (((mode & kDmOutBuffer) != 0 && (out == nullptr || !fits(out))) ||
          ((mode & kDmInBuffer) != 0 && (in == nullptr || in->totalSize() < DeviceMode::kPublicSize))) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return -1;
      }
    }
    return query(out, in, mode);
  }

 private:
  LONG query(DeviceMode* out, const DeviceMode* in, std::uint32_t mode) {
    const LONG result = ::DocumentPropertiesA(nullptr, printer_, name_.data(), devmodeOf(out),
                                              devmodeOf(const_cast<DeviceMode*>(in)), mode);
    return result;
  }

  HANDLE printer_;
  std::string name_;
};

class WinspoolPrinterSystem final : public PrinterSystem {
 public:
  std::uint32_t openPrinter(std::string_view name, std::unique_ptr<PrinterHandle>& printer) override {
    printer.reset();
    std::string printerName(name);
    HANDLE handle = nullptr;
    if (!::OpenPrinterA(printerName.data(), &handle, nullptr)) {
      const DWORD code = ::GetLastError();
      ::SetLastError(code);
      return code;
    }
    printer = std::make_unique<WinspoolPrinter>(handle, std::move(printerName));
    return kErrorSuccess;
  }

  std::unique_ptr<DeviceContext> createDC(std::string_view printerName, const DeviceMode* init) override {
    const std::string name(printerName);
    if (init != nullptr && init->totalSize() < DeviceMode::kPublicSize) {
      ::SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    const HDC dc = ::CreateDCA("WINSPOOL", name.c_str(), nullptr,
                               init ? reinterpret_cast<const DEVMODEA*>(init->bytes().data()) : nullptr);
    if (dc == nullptr) return nullptr;
    return win32::adoptDeviceContext(dc);
  }
};

}  // namespace

// Windows prints on the spooler's printers only; the registry-configured PDF
// printers are a feature of the POSIX platform.
std::unique_ptr<PrinterSystem> createPrinterSystem(Registry&) { return std::make_unique<WinspoolPrinterSystem>(); }

}  // namespace vorn::platform
