// The bitmap loader on arbitrary file bytes. The device checks that what it is
// handed covers everything the header says it holds, and reads all of it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "agent/render/bitmaps.h"
#include "agent/render/render_state.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_printer_system.h"
#include "tests/fakes/null_device.h"

namespace {

class CheckingDevice : public vorn::fakes::NullDevice {
 public:
  vorn::platform::GdiObject createDIBitmap(const vorn::platform::BitmapInfoHeader& header,
                                           std::span<const std::byte> bits,
                                           std::span<const std::byte> info) override {
    if (info.size() < vorn::platform::BitmapInfoHeader::kSize) std::abort();
    const std::uint64_t width = static_cast<std::uint64_t>(header.width);
    const std::uint64_t rows = header.height < 0 ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(header.height))
                                                 : static_cast<std::uint64_t>(header.height);
    const std::uint64_t stride = (width * header.bitCount + 31) / 32 * 4;
    if (header.width <= 0 || stride * rows > bits.size()) std::abort();
    if (header.bitCount <= 8) {
      const std::uint64_t colours = std::uint64_t{1} << header.bitCount;
      const std::uint64_t used = header.clrUsed == 0 || header.clrUsed > colours ? colours : header.clrUsed;
      if (info.size() < vorn::platform::BitmapInfoHeader::kSize + used * 4) std::abort();
    }
    unsigned sum = 0;
    for (const std::byte b : bits) sum += std::to_integer<unsigned>(b);
    for (const std::byte b : info) sum += std::to_integer<unsigned>(b);
    checksum_ += sum;
    return NullDevice::createDIBitmap(header, bits, info);
  }

 private:
  unsigned checksum_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vorn::fakes::FakePrinterSystem printers;
  vorn::fakes::FakeFileSystem files;
  auto& file = files.add("forms\\F.bmp", std::as_bytes(std::span(data, size)));
  // Short reads now and then, as a real file may give.
  if (size > 0) file.readChunk = data[size - 1] % 5 == 0 ? 7 : 0;
  CheckingDevice device;
  vorn::RenderState state(printers, files);
  state.context.loadDirectory = "forms";
  state.document.dc = &device;
  if (const vorn::DeviceBitmap bitmap = vorn::LoadBitmapFile(state, "F")) {
    vorn::DrawBitmap(state, bitmap.get());
  }
  return 0;
}
