#include "platform/posix/print/dib_image.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace vorn::platform::posix {
namespace {

constexpr std::array<std::uint32_t, 4> kColours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
// Colour indexes, top row first; 5 wide so that every depth needs row padding.
constexpr int kWidth = 5;
constexpr int kHeight = 3;
constexpr std::array<std::array<int, kWidth>, kHeight> kIndexes = {{
    {0, 1, 0, 1, 1},
    {1, 0, 0, 1, 0},
    {0, 0, 1, 1, 1},
}};

struct Dib {
  BitmapInfoHeader header;
  std::vector<std::byte> info;  // header bytes and colour table
  std::vector<std::byte> bits;
};

void put32(std::vector<std::byte>& out, std::size_t at, std::uint32_t v) { std::memcpy(out.data() + at, &v, 4); }
void put16(std::vector<std::byte>& out, std::size_t at, std::uint16_t v) { std::memcpy(out.data() + at, &v, 2); }

// Encodes kIndexes (scaled to `palette` colours for indexed depths) the way
// a .bmp file stores it.
Dib makeDib(int bitCount, bool topDown, int paletteEntries = 2) {
  Dib dib;
  dib.header.width = kWidth;
  dib.header.height = topDown ? -kHeight : kHeight;
  dib.header.bitCount = static_cast<std::uint16_t>(bitCount);
  const int tableEntries = bitCount <= 8 ? paletteEntries : 0;
  dib.info.resize(40 + 4 * tableEntries);
  put32(dib.info, 0, 40);
  put32(dib.info, 4, static_cast<std::uint32_t>(dib.header.width));
  put32(dib.info, 8, static_cast<std::uint32_t>(dib.header.height));
  put16(dib.info, 12, 1);
  put16(dib.info, 14, dib.header.bitCount);
  for (int i = 0; i < tableEntries; ++i) {
    const std::uint32_t c = kColours[static_cast<std::size_t>(i)];
    dib.info[40 + 4 * i] = std::byte(c & 0xFF);
    dib.info[41 + 4 * i] = std::byte((c >> 8) & 0xFF);
    dib.info[42 + 4 * i] = std::byte((c >> 16) & 0xFF);
  }
  const std::size_t stride = (kWidth * bitCount + 31) / 32 * 4;
  dib.bits.assign(stride * kHeight, std::byte{0});
  for (int y = 0; y < kHeight; ++y) {
    const std::size_t row = static_cast<std::size_t>(topDown ? y : kHeight - 1 - y) * stride;
    for (int x = 0; x < kWidth; ++x) {
      const int index = kIndexes[y][x];
      const std::uint32_t c = kColours[static_cast<std::size_t>(index)];
      auto& b = dib.bits;
      switch (bitCount) {
        case 1: b[row + x / 8] |= std::byte(index << (7 - x % 8)); break;
        case 4: b[row + x / 2] |= std::byte(index << (x % 2 == 0 ? 4 : 0)); break;
        case 8: b[row + x] = std::byte(index); break;
        default: {
          const std::size_t at = row + static_cast<std::size_t>(x) * (bitCount / 8);
          b[at] = std::byte(c & 0xFF);
          b[at + 1] = std::byte((c >> 8) & 0xFF);
          b[at + 2] = std::byte((c >> 16) & 0xFF);
        }
      }
    }
  }
  return dib;
}

std::uint32_t pixel(cairo_surface_t* surface, int x, int y) {
  const unsigned char* data = cairo_image_surface_get_data(surface);
  std::uint32_t v;
  std::memcpy(&v, data + y * cairo_image_surface_get_stride(surface) + x * 4, 4);
  return v & 0xFFFFFF;
}

struct DepthCase {
  int bitCount;
  bool topDown;
};

class DibDepthTest : public ::testing::TestWithParam<DepthCase> {};

TEST_P(DibDepthTest, EveryPixelLandsWhereTheFileHasIt) {
  const auto [bitCount, topDown] = GetParam();
  const Dib dib = makeDib(bitCount, topDown);
  CairoSurface image = imageFromDib(dib.header, dib.bits, dib.info);
  ASSERT_TRUE(image);
  ASSERT_EQ(cairo_image_surface_get_width(image.get()), kWidth);
  ASSERT_EQ(cairo_image_surface_get_height(image.get()), kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      EXPECT_EQ(pixel(image.get(), x, y), kColours[static_cast<std::size_t>(kIndexes[y][x])])
          << "pixel " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, DibDepthTest,
                         ::testing::Values(DepthCase{1, false}, DepthCase{1, true}, DepthCase{4, false},
                                           DepthCase{4, true}, DepthCase{8, false}, DepthCase{8, true},
                                           DepthCase{24, false}, DepthCase{24, true}, DepthCase{32, false},
                                           DepthCase{32, true}));

TEST(DibImageTest, IndexesBeyondTheColourTableAreBlack) {
  Dib dib = makeDib(8, false, 1);  // only colour 0 in the table
  CairoSurface image = imageFromDib(dib.header, dib.bits, dib.info);
  ASSERT_TRUE(image);
  EXPECT_EQ(pixel(image.get(), 0, 0), kColours[0]);
  EXPECT_EQ(pixel(image.get(), 1, 0), 0u);
}

TEST(DibImageTest, ColoursUsedLimitsTheTable) {
  Dib dib = makeDib(4, false, 2);
  put32(dib.info, 32, 1);  // biClrUsed
  CairoSurface image = imageFromDib(dib.header, dib.bits, dib.info);
  ASSERT_TRUE(image);
  EXPECT_EQ(pixel(image.get(), 1, 0), 0u) << "entry 1 lies beyond the colours used";
}

TEST(DibImageTest, RefusesWhatItCannotReadSafely) {
  {
    Dib dib = makeDib(24, false);
    dib.bits.pop_back();  // one byte short of the last row
    EXPECT_FALSE(imageFromDib(dib.header, dib.bits, dib.info));
  }
  {
    Dib dib = makeDib(24, false);
    EXPECT_FALSE(imageFromDib(dib.header, dib.bits, std::span(dib.info).first(39)));
  }
  {
    Dib dib = makeDib(24, false);
    dib.header.width = kWidth + 1;  // the header and the description disagree
    EXPECT_FALSE(imageFromDib(dib.header, dib.bits, dib.info));
  }
  for (const int bitCount : {0, 2, 48}) {
    Dib dib = makeDib(24, false);
    put16(dib.info, 14, static_cast<std::uint16_t>(bitCount));
    EXPECT_FALSE(imageFromDib(dib.header, dib.bits, dib.info)) << bitCount << " bits per pixel";
  }
  {
    Dib dib = makeDib(8, false);
    put32(dib.info, 16, 1);  // BI_RLE8
    EXPECT_FALSE(imageFromDib(dib.header, dib.bits, dib.info));
  }
  {
    Dib dib = makeDib(24, false);
    put32(dib.info, 16, 3);  // BI_BITFIELDS takes 16 or 32 bits, and its three masks
    EXPECT_FALSE(imageFromDib(dib.header, dib.bits, dib.info));
    put16(dib.info, 14, 32);
    EXPECT_FALSE(imageFromDib(dib.header, dib.bits, dib.info)) << "no masks after the header";
  }
  for (const std::int32_t width : {0, -5, kMaxDibSide + 1}) {
    Dib dib = makeDib(1, false);
    dib.header.width = width;
    put32(dib.info, 4, static_cast<std::uint32_t>(width));
    EXPECT_FALSE(imageFromDib(dib.header, dib.bits, dib.info)) << "width " << width;
  }
  {
    Dib dib = makeDib(32, false);
    dib.header.height = kMaxDibSide * 2;  // would need far more bits than given
    put32(dib.info, 8, static_cast<std::uint32_t>(dib.header.height));
    EXPECT_FALSE(imageFromDib(dib.header, dib.bits, dib.info));
  }
}

// 16- and 32-bit pixels through colour masks: each channel's bits stretched to 8.
struct MaskCase {
  int bitCount;
  bool bitfields;
  std::array<std::uint32_t, 3> masks;  // red, green, blue (BI_BITFIELDS only)
};

class DibMaskTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(DibMaskTest, ChannelsComeFromTheirMasks) {
  const MaskCase c = GetParam();
  const std::array<std::uint32_t, 3> masks = c.bitfields ? c.masks : std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F};
  Dib dib = makeDib(c.bitCount, false);
  if (c.bitfields) {
    put32(dib.info, 16, 3);
    dib.info.resize(52);
    for (std::size_t i = 0; i < 3; ++i) put32(dib.info, 40 + 4 * i, masks[i]);
  }
  const auto encode = [&](std::uint32_t rgb) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 3; ++i) {
      const std::uint32_t level = (rgb >> (16 - 8 * i)) & 0xFF;
      const std::uint32_t mask = masks[i];
      int shift = 0;
      while (((mask >> shift) & 1) == 0) ++shift;
      const std::uint32_t top = mask >> shift;
      value |= ((level * top + 127) / 255) << shift;
    }
    return value;
  };
  const std::size_t stride = (kWidth * c.bitCount + 31) / 32 * 4;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const std::uint32_t value = encode(kColours[static_cast<std::size_t>(kIndexes[y][x])]);
      const std::size_t at = static_cast<std::size_t>(kHeight - 1 - y) * stride + static_cast<std::size_t>(x) * (c.bitCount / 8);
      for (int b = 0; b < c.bitCount / 8; ++b) dib.bits[at + static_cast<std::size_t>(b)] = std::byte((value >> (8 * b)) & 0xFF);
    }
  }
  CairoSurface image = imageFromDib(dib.header, dib.bits, dib.info);
  ASSERT_TRUE(image);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      EXPECT_EQ(pixel(image.get(), x, y), kColours[static_cast<std::size_t>(kIndexes[y][x])]) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, DibMaskTest,
                         ::testing::Values(MaskCase{16, false, {}},                                  // 5-5-5
                                           MaskCase{16, true, {0xF800, 0x07E0, 0x001F}},             // 5-6-5
                                           MaskCase{16, true, {0x0F00, 0x00F0, 0x000F}},             // 4-4-4
                                           MaskCase{32, true, {0x00FF0000, 0x0000FF00, 0x000000FF}},
                                           MaskCase{32, true, {0x000000FF, 0x0000FF00, 0x00FF0000}}));

}  // namespace
}  // namespace vorn::platform::posix
