// vornrender: renders a print stream file through the rendering engine, to a
// PDF file or on a printer. See --help.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>
#include <string>
#include <vector>

#include "agent/render/vorn_print.h"
#include "common/version.h"
#include "platform/ansi_code_page.h"
#include "platform/device_mode.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/pdf_printer_system.h"
#include "platform/printer_system.h"
#include "platform/registry.h"
#include "tools/vornrender/page_counting_device.h"
#include "tools/vornrender/render_options.h"
#include "tools/vornrender/stream_feeder.h"

namespace {

using vorn::tools::RenderOptions;
namespace platform = vorn::platform;

int fail(const std::string& message) {
  std::cerr << "vornrender: " << message << "\n";
  return 1;
}

std::string errorText(std::uint32_t code) {
  std::string text = platform::systemMessageText(code);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return "error " + std::to_string(code) + (text.empty() ? "" : " (" + text + ")");
}

// The printer's default settings, read as the agent reads them at start-up.
std::unique_ptr<platform::DeviceMode> readDeviceMode(platform::PrinterSystem& printers, const std::string& name,
                                                     std::string& error) {
  std::unique_ptr<platform::PrinterHandle> printer;
  if (const std::uint32_t code = printers.openPrinter(name, printer); code != platform::kErrorSuccess) {
    error = "cannot open printer \"" + name + "\": " + errorText(code);
    return nullptr;
  }
  const int size = printer->documentProperties(nullptr, nullptr, 0);
  if (size <= 0) {
    error = "printer \"" + name + "\" gives no settings record: " + errorText(platform::lastError());
    return nullptr;
  }
  auto mode = std::make_unique<platform::DeviceMode>(static_cast<std::size_t>(size));
  if (printer->documentProperties(mode.get(), nullptr, platform::kDmOutBuffer) != platform::kIdOk) {
    error = "cannot read the settings of printer \"" + name + "\": " + errorText(platform::lastError());
    return nullptr;
  }
  return mode;
}

int render(const RenderOptions& options) {
  std::ifstream stream(options.streamFile, std::ios::binary);
  if (!stream) return fail("cannot read " + options.streamFile);

  std::unique_ptr<platform::PrinterSystem> printers;
  std::string printerName;
  std::uint32_t optionBits = options.optionBits;
  std::string outputFile;
  if (options.outputFile) {
    printers = platform::createPdfPrinterSystem(options.pdf);
    printerName = options.pdf.name;
    optionBits |= vorn::OPT_TO_FILE;
    outputFile = platform::ansiFromUtf8(*options.outputFile);
  } else {
    printers = platform::createPrinterSystem(platform::systemRegistry());
    printerName = platform::ansiFromUtf8(*options.printerName);
  }

  std::string error;
  auto deviceMode = readDeviceMode(*printers, printerName, error);
  if (!deviceMode) return fail(error);
  auto dc = printers->createDC(printerName, nullptr);
  if (!dc) return fail("cannot create a device for printer \"" + printerName + "\": " + errorText(platform::lastError()));
  vorn::tools::PageCountingDevice device(std::move(dc));

  vorn::Renderer renderer(*printers, platform::systemFileSystem());
  vorn::RenderContext context;
  context.printerName = printerName;
  context.deviceMode = deviceMode.get();
  context.mainTray = options.mainTray;
  context.altTray = options.altTray;
  context.loadDirectory = platform::ansiFromUtf8(options.loadDirectory);
  renderer.setContext(std::move(context));

  const std::string docName = platform::ansiFromUtf8(
      options.docName.value_or("Vorn: " + std::filesystem::path(options.streamFile).filename().string()));
  const auto started = std::chrono::steady_clock::now();
  if (const int code = renderer.VornPrintStart(docName, device, optionBits, outputFile); code != 0) {
    return fail("the document could not be started (code " + std::to_string(code) + "): " +
                errorText(platform::lastError()));
  }
  bool readFailed = false;
  const int code = vorn::tools::feedStream(
      stream, [&renderer](std::span<const std::uint8_t> block) { return renderer.VornPrintData(block); }, readFailed);
  renderer.VornPrintEnd();
  if (readFailed) return fail("cannot read " + options.streamFile);
  if (code != 0) return fail("rendering failed with code " + std::to_string(code));
  if (!device.documentCompleted()) {
    return fail("the document could not be completed: " + errorText(platform::lastError()));
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
  if (device.pagesPrinted() == 0) {
    std::printf("vornrender: no page started in %.3f s: nothing written\n", elapsed.count());
    return 0;
  }
  std::printf("vornrender: %d page%s in %.3f s -> %s\n", device.pagesPrinted(), device.pagesPrinted() == 1 ? "" : "s",
              elapsed.count(), options.outputFile ? options.outputFile->c_str() : options.printerName->c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto options = vorn::tools::parseRenderOptions(args, error);
  if (!options) {
    std::cerr << "vornrender: " << error << "\n" << "try 'vornrender --help'\n";
    return 2;
  }
  if (options->help) {
    std::fputs(vorn::tools::renderUsage(), stdout);
    return 0;
  }
  if (options->version) {
    std::fputs(vorn::VersionLine("vornrender").c_str(), stdout);
    return 0;
  }
  try {
    return render(*options);
  } catch (const std::exception& e) {
    return fail(e.what());
  }
}
