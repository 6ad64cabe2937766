// vornrender's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/pdf_printer_system.h"

namespace vorn::tools {

struct RenderOptions {
  std::string streamFile;
  std::optional<std::string> outputFile;   // -o: straight to a PDF file
  std::optional<std::string> printerName;  // --printer: through the printer system
  platform::PdfPrinterSettings pdf;        // the device behind -o
  std::uint32_t optionBits = 0;            // OPT_… renderer bits
  std::string loadDirectory;
  std::uint16_t mainTray = 0;
  std::uint16_t altTray = 0;
  std::optional<std::string> docName;      // default "Vorn: " + the stream file's name
  bool help = false;
  bool version = false;  // --version
};

// Parses the arguments after the program name. On a usage error returns
// none and puts the reason into `error`.
std::optional<RenderOptions> parseRenderOptions(const std::vector<std::string>& args, std::string& error);

// The --help text.
const char* renderUsage();

}  // namespace vorn::tools
