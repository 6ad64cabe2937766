// The printer device context: pages, bitmaps, escapes and the text position,
// read back from the PDF it writes.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>

#include "platform/device_mode.h"
#include "platform/error.h"
#include "platform/pdf_printer_system.h"
#include "platform/printer_system.h"
#include "tests/integration/print/poppler.h"
#include "tests/support/test_support.h"

namespace vorn::platform {
namespace {

namespace fs = std::filesystem;

class DeviceContextTest : public ::testing::Test {
 protected:
  std::unique_ptr<DeviceContext> device(int dpi) {
    PdfPrinterSettings settings;
    settings.resolution = dpi;
    printers_ = createPdfPrinterSystem(settings);
    return printers_->createDC("PDF", nullptr);
  }
  fs::path pdf() const { return root_.path() / "out.pdf"; }

  test::TempRoot root_;
  std::unique_ptr<PrinterSystem> printers_;
};

TEST_F(DeviceContextTest, EachPageTakesTheOrientationInForceWhenItStarts) {
  auto dc = device(600);
  ASSERT_GT(dc->startDoc({"Vorn: T", pdf().string()}), 0);
  DeviceMode landscape(DeviceMode::kPublicSize);
  landscape.setFields(kDmOrientation);
  landscape.setOrientation(kDmOrientLandscape);
  DeviceMode portrait = landscape;
  portrait.setOrientation(kDmOrientPortrait);

  ASSERT_GT(dc->startPage(), 0);
  ASSERT_TRUE(dc->resetDC(landscape));  // during page 1: applies from page 2
  ASSERT_GT(dc->endPage(), 0);
  ASSERT_GT(dc->startPage(), 0);
  ASSERT_GT(dc->endPage(), 0);
  ASSERT_TRUE(dc->resetDC(portrait));
  ASSERT_GT(dc->startPage(), 0);
  ASSERT_GT(dc->endPage(), 0);
  ASSERT_GT(dc->endDoc(), 0);

  const auto sizes = test::pdfPageSizes(pdf());
  ASSERT_EQ(sizes.size(), 3u);
  EXPECT_LT(sizes[0].width, sizes[0].height);
  EXPECT_GT(sizes[1].width, sizes[1].height);
  EXPECT_NEAR(sizes[1].width, 841.89, 0.01);
  EXPECT_LT(sizes[2].width, sizes[2].height);
}

TEST_F(DeviceContextTest, PassthroughIsNotSupported) {
  auto dc = device(600);
  std::array<std::byte, 4> passthrough{};
  const std::int32_t code = kPassthrough;
  std::memcpy(passthrough.data(), &code, sizeof code);
  EXPECT_EQ(dc->escape(kQueryEscSupport, passthrough), 0);
  const std::int32_t query = kQueryEscSupport;
  std::memcpy(passthrough.data(), &query, sizeof query);
  EXPECT_GT(dc->escape(kQueryEscSupport, passthrough), 0);
  const std::array<std::byte, 5> raw{std::byte{3}, std::byte{0}, std::byte{'a'}, std::byte{'b'}, std::byte{'c'}};
  EXPECT_LT(dc->escape(kPassthrough, raw), 0);
}

TEST_F(DeviceContextTest, TextAdvancesTheCurrentPositionByItsWidth) {
  auto dc = device(600);
  FontRequest courier;
  courier.height = -100;  // 12 point at 600 dpi
  courier.weight = 500;
  courier.pitchAndFamily = 0x31;
  courier.faceName = "Courier New";
  const GdiObject font = dc->createFont(courier);
  ASSERT_NE(font, kNoObject);
  const GdiObject stock = dc->selectObject(font);
  EXPECT_NE(stock, kNoObject) << "the device's own font is returned";
  EXPECT_EQ(dc->getCurrentObject(kObjFont), font);
  dc->setTextAlign(kTaBaseline | kTaUpdateCp);
  ASSERT_GT(dc->startDoc({"Vorn: T", pdf().string()}), 0);
  ASSERT_GT(dc->startPage(), 0);
  ASSERT_TRUE(dc->moveTo(120, 300));
  for (int i = 0; i < 25; ++i) ASSERT_TRUE(dc->textOut(0, 0, "AB"));  // 50 characters at 60 dots each
  Point p;
  ASSERT_TRUE(dc->getCurrentPosition(p));
  EXPECT_EQ(p.x, 120 + 50 * 60);
  EXPECT_EQ(p.y, 300);
  EXPECT_EQ(dc->selectObject(stock), font);
  EXPECT_TRUE(dc->deleteObject(font));
  ASSERT_GT(dc->endPage(), 0);
  ASSERT_GT(dc->endDoc(), 0);
}

TEST_F(DeviceContextTest, TextOutsideAPageFails) {
  auto dc = device(600);
  EXPECT_FALSE(dc->textOut(0, 0, "x"));
  EXPECT_LE(dc->endPage(), 0);
  EXPECT_LE(dc->endDoc(), 0);
}

// A 4 x 2 bitmap, 24 bits, bottom-up: top row red, green, blue, white; bottom row black, white, black, white.
struct SmallBitmap {
  BitmapInfoHeader header;
  std::array<std::byte, 40> info{};
  std::array<std::byte, 24> bits{};
};
SmallBitmap smallBitmap() {
  SmallBitmap b;
  b.header.width = 4;
  b.header.height = 2;
  b.header.bitCount = 24;
  const std::uint32_t size = 40, width = 4, height = 2;
  const std::uint16_t planes = 1, bitCount = 24;
  std::memcpy(&b.info[0], &size, 4);
  std::memcpy(&b.info[4], &width, 4);
  std::memcpy(&b.info[8], &height, 4);
  std::memcpy(&b.info[12], &planes, 2);
  std::memcpy(&b.info[14], &bitCount, 2);
  const std::array<std::uint32_t, 8> colours = {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF,   // bottom row first
                                                0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  for (std::size_t i = 0; i < colours.size(); ++i) {
    b.bits[i * 3] = std::byte(colours[i] & 0xFF);
    b.bits[i * 3 + 1] = std::byte((colours[i] >> 8) & 0xFF);
    b.bits[i * 3 + 2] = std::byte(colours[i] >> 16);
  }
  return b;
}

TEST_F(DeviceContextTest, BitBltDrawsOneBitmapPixelPerDeviceUnitWithoutSmoothing) {
  auto dc = device(72);  // one device unit is one point
  const SmallBitmap b = smallBitmap();
  const GdiObject bitmap = dc->createDIBitmap(b.header, b.bits, b.info);
  ASSERT_NE(bitmap, kNoObject);
  auto memory = dc->createCompatibleDC();
  ASSERT_TRUE(memory);
  ASSERT_NE(memory->selectObject(bitmap), kNoObject);
  std::int32_t w = 0, h = 0;
  ASSERT_TRUE(dc->getBitmapSize(bitmap, w, h));
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(dc->selectObject(bitmap), kNoObject) << "a printer device takes no bitmap";

  ASSERT_GT(dc->startDoc({"Vorn: T", pdf().string()}), 0);
  ASSERT_GT(dc->startPage(), 0);
  ASSERT_TRUE(dc->bitBlt(100, 50, w, h, *memory, 0, 0, kSrcCopy));
  EXPECT_FALSE(dc->bitBlt(100, 50, w, h, *memory, 0, 0, 0x00EE0086)) << "only SRCCOPY";
  ASSERT_GT(dc->endPage(), 0);
  ASSERT_GT(dc->endDoc(), 0);

  // At 720 dpi each bitmap pixel covers 10 x 10 raster pixels with hard edges.
  const test::Raster r = test::pdfRaster(pdf(), 1, 720, 990, 490, 60, 40);
  const std::array<std::uint32_t, 4> top = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  const std::array<std::uint32_t, 4> bottom = {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF};
  for (int i = 0; i < 4; ++i) {
    for (const int dx : {1, 5, 8}) {
      EXPECT_EQ(r.at(10 + i * 10 + dx, 10 + 5), top[static_cast<std::size_t>(i)]) << "top pixel " << i << "+" << dx;
      EXPECT_EQ(r.at(10 + i * 10 + dx, 20 + 5), bottom[static_cast<std::size_t>(i)]) << "bottom pixel " << i;
    }
  }
  EXPECT_EQ(r.at(5, 15), 0xFFFFFFu) << "nothing left of the bitmap";
  EXPECT_EQ(r.at(25, 35), 0xFFFFFFu) << "nothing below it";
  EXPECT_TRUE(dc->deleteObject(bitmap));
}

}  // namespace
}  // namespace vorn::platform
