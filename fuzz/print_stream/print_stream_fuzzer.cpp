// The print stream interpreter on arbitrary bytes, cut into blocks of random
// sizes, with random option bits, over a device that draws nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "agent/render/vorn_print.h"
#include "platform/device_mode.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_printer_system.h"
#include "tests/fakes/null_device.h"

namespace {

// A small valid bitmap and a macro, so that image commands reach the loader.
std::vector<std::byte> tinyBitmap() {
  const std::uint8_t bytes[] = {'B', 'M', 66, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0,  // file header
                                40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0,  // 1x1, 1 bit
                                0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                0, 0, 0, 0, 255, 255, 255, 0,  // colour table
                                0x80, 0, 0, 0};                // one row
  const auto span = std::as_bytes(std::span(bytes));
  return {span.begin(), span.end()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  vorn::fakes::FakePrinterSystem printers;
  vorn::fakes::FakeFileSystem files;
  files.add("forms\\A.bmp", tinyBitmap());
  files.add("forms\\M.mac", std::string_view("\x1b" "E"));
  vorn::fakes::NullDevice device;
  vorn::platform::DeviceMode deviceMode(printers.driverSize);

  vorn::Renderer renderer(printers, files);
  vorn::RenderContext context;
  context.printerName = printers.printerName;
  context.deviceMode = &deviceMode;
  context.loadDirectory = "forms";
  renderer.setContext(std::move(context));

  const auto options = input.ConsumeIntegral<std::uint8_t>();
  if (renderer.VornPrintStart("Vorn: FUZZ", device, options, "out.prn") != 0) return 0;
  while (input.remaining_bytes() > 0) {
    const auto length = input.ConsumeIntegralInRange<std::size_t>(0, 512);
    const std::vector<std::uint8_t> block = input.ConsumeBytes<std::uint8_t>(length);
    if (renderer.VornPrintData(block) != 0) break;
  }
  renderer.VornPrintEnd();
  return 0;
}
