// The printer system on Linux: built-in PDF printers from the registry, then
// CUPS destinations.
#include "platform/printer_system.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <iostream>
#include <mutex>
#include <set>

#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/posix/host_path.h"
#include "platform/posix/print/builtin_printers.h"
#include "platform/posix/print/pdf_device_context.h"
#include "platform/posix/print/cups_printers.h"
#include "platform/posix/print/document_name.h"
#include "platform/posix/print/file_output.h"
#include "platform/posix/print/job_counter.h"
#include "platform/posix/print/partial_files.h"
#include "platform/posix/print/paper.h"
#include "platform/pdf_printer_system.h"
#include "platform/posix/root.h"

namespace vorn::platform {
namespace {

using posix::PrinterDescription;
using Lookup = std::function<std::optional<PrinterDescription>(std::string_view)>;

class PosixPrinterHandle final : public PrinterHandle {
 public:
  explicit PosixPrinterHandle(PrinterDescription printer) : printer_(std::move(printer)) {}

  int documentProperties(DeviceMode* out, const DeviceMode* in, std::uint32_t mode) override {
    if ((mode & kDmOutBuffer) == 0) {
      if ((mode & kDmInBuffer) != 0 && in == nullptr) return invalid();
      return mode == 0 ? static_cast<int>(posix::kDeviceModeSize) : kIdOk;
    }
    if (out == nullptr || out->totalSize() < posix::kDeviceModeSize) return invalid();
    if ((mode & kDmInBuffer) != 0) {
      if (in == nullptr || in->totalSize() < posix::kDeviceModeSize) return invalid();
      posix::mergeSettings(printer_, *in, *out);
    } else {
      posix::fillDefaults(printer_, *out);
    }
    return kIdOk;
  }

 private:
  static int invalid() {
    setLastError(kErrorInvalidParameter);
    return -1;
  }

  PrinterDescription printer_;
};

// Documents of a built-in printer: numbered from the printer's counter under
// the platform root, written into its folder.
std::unique_ptr<posix::PdfOutput> openBuiltinOutput(const PrinterDescription& printer, std::string_view docName) {
  std::filesystem::path folder;
  if (const std::uint32_t error = rootFolder("printers", folder)) {
    setLastError(error);
    return nullptr;
  }
  const std::filesystem::path counter = folder / (posix::fileNameComponent(ansiLowerCase(printer.name)) + ".job");
  // A number whose file exists (the counter was lost or reset) is passed over.
  const auto taken = [&](std::uint32_t number) {
    struct stat info {};
    return ::lstat((printer.outputFolder / posix::documentFileName(number, docName)).c_str(), &info) == 0;
  };
  std::uint32_t jobNumber = 0;
  if (posix::takeJobNumber(counter, jobNumber, taken) != kErrorSuccess) return nullptr;
  return posix::openFolderOutput(printer.outputFolder, jobNumber, docName);
}

// The partial files that killed writers left in the folders of built-in
// printers are removed when a printer system first meets each folder.
class PartialFileSweeper {
 public:
  void sweepOnce(const PrinterDescription& printer) {
    if (printer.kind != posix::PrinterKind::builtinPdf || printer.outputFolder.empty()) return;
    std::lock_guard lock(mutex_);
    if (!swept_.insert(printer.outputFolder).second) return;
    posix::sweepAbandonedPartialFiles(printer.outputFolder);
  }

 private:
  std::mutex mutex_;
  std::set<std::filesystem::path> swept_;
};

posix::OutputOpener openerFor(const PrinterDescription& printer) {
  if (printer.kind == posix::PrinterKind::cups) {
    return [queue = printer.name](std::string_view docName, const posix::PageSettings& settings) {
      return posix::openCupsOutput(queue, posix::cupsJobOptions(docName, settings));
    };
  }
  return [printer](std::string_view docName, const posix::PageSettings&) {
    return openBuiltinOutput(printer, docName);
  };
}

class PosixPrinterSystem final : public PrinterSystem {
 public:
  explicit PosixPrinterSystem(Lookup lookup)
      : lookup_(std::move(lookup)), fonts_(std::make_shared<posix::FontResolver>(std::cerr)) {}

  std::uint32_t openPrinter(std::string_view name, std::unique_ptr<PrinterHandle>& printer) override {
    auto found = lookup_(name);
    if (!found) {
      setLastError(kErrorInvalidPrinterName);
      return kErrorInvalidPrinterName;
    }
    sweeper_.sweepOnce(*found);
    printer = std::make_unique<PosixPrinterHandle>(std::move(*found));
    return kErrorSuccess;
  }

  std::unique_ptr<DeviceContext> createDC(std::string_view printerName, const DeviceMode* init) override {
    auto found = lookup_(printerName);
    if (!found) {
      setLastError(kErrorInvalidPrinterName);
      return nullptr;
    }
    sweeper_.sweepOnce(*found);
    auto setup = std::make_shared<posix::PrinterDeviceSetup>();
    setup->openOutput = openerFor(*found);
    setup->outputTakesSettings = found->kind == posix::PrinterKind::cups;
    setup->printer = std::move(*found);
    setup->fonts = fonts_;
    return std::make_unique<posix::PdfDeviceContext>(std::move(setup), init);
  }

 private:
  Lookup lookup_;
  PartialFileSweeper sweeper_;
  std::shared_ptr<posix::FontResolver> fonts_;  // shared by every device: faces are resolved once
};

}  // namespace

std::unique_ptr<PrinterSystem> createPrinterSystem(Registry& registry) {
  return std::make_unique<PosixPrinterSystem>([&registry](std::string_view name) {
    if (auto builtin = posix::findBuiltinPrinter(registry, name)) return builtin;
    return posix::findCupsPrinter(name);
  });
}

std::unique_ptr<PrinterSystem> createPdfPrinterSystem(const PdfPrinterSettings& settings) {
  PrinterDescription printer;
  printer.kind = posix::PrinterKind::builtinPdf;
  printer.name = settings.name;
  printer.resolution = settings.resolution;
  printer.paperSize = posix::paperByName(settings.paper).value_or(*posix::paperByCode(kDmPaperA4)).code;
  printer.marginThousandths = settings.marginThousandths;
  printer.duplexSupported = settings.duplex;
  printer.outputFolder = posix::hostPath(settings.outputFolder);
  return std::make_unique<PosixPrinterSystem>([printer](std::string_view name) -> std::optional<PrinterDescription> {
    if (!equalsIgnoringCase(name, printer.name)) return std::nullopt;
    return printer;
  });
}

}  // namespace vorn::platform
