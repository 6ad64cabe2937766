// A printer system of one PDF printer that no configuration names: for tools
// and tests that render straight to PDF. It stands where Windows has its
// "print to PDF" printer and exists on Linux only, like the built-in PDF
// printers (its documents are those printers' PDF/A-2u files).
#pragma once

#include <memory>
#include <string>

#include "platform/printer_system.h"

namespace vorn::platform {

// The printer's settings. Documents without an output file go to
// `outputFolder` like a built-in printer's.
struct PdfPrinterSettings {
  std::string name = "PDF";
  int resolution = 600;       // dots per inch
  std::string paper = "A4";   // "A4" or "Letter"
  int marginThousandths = 0;  // unprintable border on every side, 1/1000 inch
  bool duplex = false;
  std::string outputFolder;
};
std::unique_ptr<PrinterSystem> createPdfPrinterSystem(const PdfPrinterSettings& settings);

}  // namespace vorn::platform
