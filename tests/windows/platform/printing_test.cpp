// Printing on Windows without a printer: the spooler's answer for an unknown
// name, the bitmap bounds GDI is handed, and GDI on a memory device.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/device_context.h"
#include "platform/error.h"
#include "platform/printer_system.h"
#include "platform/registry.h"
#include "platform/win32/print/dib_layout.h"
#include "platform/win32/print/gdi_device_context.h"

namespace vorn::platform {
namespace {

TEST(Win32Printing, UnknownPrinterIsAnInvalidName) {
  auto printers = createPrinterSystem(systemRegistry());
  std::unique_ptr<PrinterHandle> printer;
  EXPECT_EQ(printers->openPrinter("Vorn No Such Printer", printer), kErrorInvalidPrinterName);
  EXPECT_EQ(printer, nullptr);
}

BitmapInfoHeader header(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t colours = 0) {
  BitmapInfoHeader h;
  h.width = width;
  h.height = height;
  h.bitCount = bits;
  h.clrUsed = colours;
  return h;
}

TEST(Win32Printing, BitmapLayoutIsWhatGdiReads) {
  struct Case {
    BitmapInfoHeader header;
    std::size_t info;
    std::size_t bits;
  };
  const Case cases[] = {
      {header(9, 5, 1), 40 + 2 * 4, 4 * 5},        // rows padded to 32 bits
      {header(5, -2, 4, 3), 40 + 3 * 4, 4 * 2},    // top-down, a short colour table
      {header(3, 3, 8), 40 + 256 * 4, 4 * 3},
      {header(5, 3, 24), 40, 16 * 3},
      {header(1, 1, 32), 40, 4},
  };
  for (const auto& c : cases) {
    const auto layout = win32::dibLayout(c.header);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->infoSize, c.info);
    EXPECT_EQ(layout->bitsSize, c.bits);
  }
  EXPECT_FALSE(win32::dibLayout(header(0, 1, 24)));
  EXPECT_FALSE(win32::dibLayout(header(1, 0, 24)));
  EXPECT_FALSE(win32::dibLayout(header(1, 1, 7)));
  EXPECT_FALSE(win32::dibLayout(header(0x7FFFFFFF, 0x7FFFFFFF, 32)));
}

TEST(Win32Printing, MemoryDeviceDrawsTextAndRefusesShortBitmaps) {
  const HDC screen = ::CreateCompatibleDC(nullptr);
  ASSERT_NE(screen, nullptr);
  auto dc = win32::adoptDeviceContext(screen);
  EXPECT_EQ(dc->setTextAlign(kTaUpdateCp | kTaBaseline), 0u);
  FontRequest request;
  request.height = -20;
  request.faceName = "Courier New";
  const GdiObject font = dc->createFont(request);
  ASSERT_NE(font, kNoObject);
  EXPECT_NE(dc->selectObject(font), kNoObject);
  EXPECT_EQ(dc->getCurrentObject(kObjFont), font);
  ASSERT_TRUE(dc->moveTo(10, 30));
  ASSERT_TRUE(dc->textOut(0, 0, "abc"));
  Point position;
  ASSERT_TRUE(dc->getCurrentPosition(position));
  EXPECT_GT(position.x, 10);  // the text moved the current position
  EXPECT_EQ(position.y, 30);

  const BitmapInfoHeader h = header(5, 3, 24);
  const BITMAPINFOHEADER fileHeader{40, 5, 3, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<std::byte> info(sizeof fileHeader);
  std::memcpy(info.data(), &fileHeader, sizeof fileHeader);
  const std::vector<std::byte> bits(16 * 3);
  const GdiObject bitmap = dc->createDIBitmap(h, bits, info);
  ASSERT_NE(bitmap, kNoObject);
  std::int32_t width = 0;
  std::int32_t height = 0;
  ASSERT_TRUE(dc->getBitmapSize(bitmap, width, height));
  EXPECT_EQ(width, 5);
  EXPECT_EQ(height, 3);
  EXPECT_EQ(dc->createDIBitmap(h, std::span(bits).first(47), info), kNoObject);
  EXPECT_EQ(lastError(), kErrorInvalidParameter);
  EXPECT_EQ(dc->createDIBitmap(header(5, 3, 32), bits, info), kNoObject);  // not the header GDI reads

  auto memory = dc->createCompatibleDC();
  ASSERT_NE(memory, nullptr);
  EXPECT_NE(memory->selectObject(bitmap), kNoObject);
  EXPECT_TRUE(dc->bitBlt(0, 0, 5, 3, *memory, 0, 0, kSrcCopy));
  memory.reset();
  EXPECT_TRUE(dc->deleteObject(bitmap));
}

}  // namespace
}  // namespace vorn::platform
