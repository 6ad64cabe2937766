// Bitmap loading and placement, the fall-back to macros, and the names the
// stream may use in the load directory.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "agent/render/bitmaps.h"
#include "agent/render/load_files.h"
#include "tests/unit/render/bmp_builder.h"
#include "tests/unit/render/render_fixture.h"

namespace vorn::testing {
namespace {

std::string imageCommand(const std::string& name) { return "\x02" "2" + name + std::string(1, '\0'); }

bool opened(const fakes::FakeFileSystem& files, const std::string& path) {
  for (const auto& p : files.opened) {
    if (p == path) return true;
  }
  return false;
}

class BitmapTest : public RenderFixture {
 protected:
  void SetUp() override { ASSERT_EQ(start(), 0); }
};

struct DepthCase {
  const char* name;
  BmpSpec spec;
};

class BitmapDepthTest : public BitmapTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(BitmapDepthTest, LoadsAndCopiesAtTheCurrentPosition) {
  const BmpSpec& spec = GetParam().spec;
  const auto file = makeBmp(spec);
  files.add("forms\\LOGO.bmp", file);
  files.add("forms\\LOGO.mac", std::string_view("never sent"));
  ASSERT_EQ(print("AB" + imageCommand("LOGO")), 0);

  const auto created = log().of(Call::CreateDIBitmap);
  ASSERT_EQ(created.size(), 1u);
  const auto& dib = created[0];
  EXPECT_EQ(dib.dib.bitCount, spec.bits);
  EXPECT_EQ(dib.dib.width, spec.width);
  EXPECT_EQ(dib.dib.height, spec.height);
  EXPECT_EQ(dib.dib.size, spec.infoSize);  // the header as the file has it
  const std::size_t pixelOffset = 14 + spec.infoSize + spec.colours * 4;
  EXPECT_EQ(dib.bitsSize, file.size() - pixelOffset);
  // The information block: a 40-byte header marked as such, then the colour table.
  ASSERT_EQ(dib.data.size(), 40 + spec.colours * 4);
  EXPECT_EQ(std::to_integer<int>(dib.data[0]), 40);
  EXPECT_EQ(std::memcmp(dib.data.data() + 4, file.data() + 18, 36), 0);
  EXPECT_EQ(std::memcmp(dib.data.data() + 40, file.data() + 14 + spec.infoSize, spec.colours * 4), 0);

  const auto copies = log().of(Call::BitBlt);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].x, 20);  // after "AB", drawn first
  EXPECT_EQ(copies[0].y, 100);
  EXPECT_EQ(copies[0].width, spec.width);
  EXPECT_EQ(copies[0].height, std::abs(spec.height));
  EXPECT_EQ(copies[0].value, platform::kSrcCopy);

  EXPECT_EQ(log().count(Call::DeleteDC), 1);
  EXPECT_TRUE(log().bitmaps.empty()) << "the bitmap is released";
  EXPECT_TRUE(log().misuse.empty());
  EXPECT_FALSE(opened(files, "forms\\LOGO.mac"));
  EXPECT_EQ(log().count(Call::Escape), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, BitmapDepthTest,
    ::testing::Values(DepthCase{"OneBitTwoColours", {9, 5, 1, 2}}, DepthCase{"FourBit", {5, 2, 4, 16}},
                      DepthCase{"EightBit", {3, 3, 8, 256}}, DepthCase{"EightBitFewColoursUsed", {3, 3, 8, 4, 40, 0, 4}},
                      DepthCase{"TwentyFourBit", {5, 3, 24, 0}}, DepthCase{"ThirtyTwoBit", {2, 2, 32, 0}},
                      DepthCase{"TopDown", {4, -3, 24, 0}}, DepthCase{"LongInfoHeader", {4, 2, 24, 0, 108}},
                      DepthCase{"BitfieldMasks", {4, 2, 32, 3, 40, 3}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BitmapTest, OneBitTwoColourFileHasPixelsAtSixtyTwo) {
  const auto file = makeBmp({8, 1, 1, 2});
  EXPECT_EQ(std::to_integer<int>(file[10]), 62);
  files.add("forms\\DOT.bmp", file);
  ASSERT_EQ(print(imageCommand("DOT")), 0);
  EXPECT_EQ(log().count(Call::BitBlt), 1);
}

// BITMAPV5HEADER (ImageMagick's default) with 16-bit 5-6-5 pixels: its masks
// live in the header, and the device gets them after a 40-byte one.
TEST_F(BitmapTest, AVersion5HeaderHandsItsMasksOnAfterA40ByteHeader) {
  auto file = makeBmp({4, 2, 16, 0, 124, 3});
  putLe(file, 54, 0xF800);
  putLe(file, 58, 0x07E0);
  putLe(file, 62, 0x001F);
  files.add("forms\\LOGO.bmp", file);
  ASSERT_EQ(print(imageCommand("LOGO")), 0);
  const auto created = log().of(Call::CreateDIBitmap);
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0].dib.bitCount, 16);
  ASSERT_EQ(created[0].data.size(), 52u);
  EXPECT_EQ(std::to_integer<int>(created[0].data[0]), 40);
  EXPECT_EQ(std::memcmp(created[0].data.data() + 40, file.data() + 54, 12), 0);
  EXPECT_EQ(created[0].bitsSize, file.size() - (14 + 124));
  EXPECT_EQ(log().count(Call::BitBlt), 1);
}

struct MalformedCase {
  const char* name;
  std::function<void(std::vector<std::byte>&)> damage;
  BmpSpec spec = {};
};

class MalformedBitmapTest : public BitmapTest, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedBitmapTest, IsReportedOnceAndTheMacroIsSent) {
  auto file = makeBmp(GetParam().spec);
  GetParam().damage(file);
  files.add("forms\\LOGO.bmp", file);
  files.add("forms\\LOGO.mac", std::string_view("M"));
  std::vector<std::string> reported;
  state.context.badBitmapFile = [&](std::string_view path) { reported.emplace_back(path); };
  ASSERT_EQ(print(imageCommand("LOGO")), 0);
  EXPECT_EQ(reported, std::vector<std::string>{"forms\\LOGO.bmp"});
  EXPECT_EQ(log().count(Call::CreateDIBitmap), 0);
  EXPECT_EQ(log().count(Call::BitBlt), 0);
  ASSERT_EQ(log().count(Call::Escape), 2);
  EXPECT_EQ(log().of(Call::Escape)[1].value, platform::kPassthrough);
  ASSERT_EQ(print(imageCommand("LOGO")), 0);
  EXPECT_EQ(reported.size(), 1u) << "once a document";
}

void setLe(std::vector<std::byte>& file, std::size_t offset, std::uint32_t value) { putLe(file, offset, value); }

INSTANTIATE_TEST_SUITE_P(
    Damage, MalformedBitmapTest,
    ::testing::Values(
        MalformedCase{"WrongType", [](auto& f) { f[0] = std::byte{'X'}; }},
        MalformedCase{"SizeFieldTooLarge", [](auto& f) { setLe(f, 2, static_cast<std::uint32_t>(f.size() + 1)); }},
        MalformedCase{"TruncatedFile", [](auto& f) { f.pop_back(); }},
        MalformedCase{"OnlyPartOfTheHeaders", [](auto& f) { f.resize(20); }},
        MalformedCase{"InfoHeaderOver124", [](auto& f) { setLe(f, 14, 128); }},
        MalformedCase{"InfoHeaderBelow40", [](auto& f) { setLe(f, 14, 12); }},
        MalformedCase{"InfoHeaderHuge", [](auto& f) { setLe(f, 14, 0xFFFFFFF0u); }},
        MalformedCase{"PixelOffsetInsideTheHeader", [](auto& f) { setLe(f, 10, 53); }},
        MalformedCase{"PixelOffsetBeyondTheFile", [](auto& f) { setLe(f, 10, static_cast<std::uint32_t>(f.size() + 1)); }},
        MalformedCase{"HugeDimensions", [](auto& f) { setLe(f, 18, 100000); setLe(f, 22, 100000); }},
        MalformedCase{"HeightOfMostNegative", [](auto& f) { setLe(f, 22, 0x80000000u); }},
        MalformedCase{"ZeroWidth", [](auto& f) { setLe(f, 18, 0); }},
        MalformedCase{"NegativeWidth", [](auto& f) { setLe(f, 18, static_cast<std::uint32_t>(-4)); }},
        MalformedCase{"ZeroHeight", [](auto& f) { setLe(f, 22, 0); }},
        MalformedCase{"UnknownBitCount", [](auto& f) { putLe(f, 28, 7, 2); }},
        MalformedCase{"RunLengthCompressed", [](auto& f) { setLe(f, 30, 1); }},
        MalformedCase{"ColourTableTooShort", [](auto&) {}, BmpSpec{4, 2, 8, 2}},
        MalformedCase{"BitfieldsWithoutMasks", [](auto& f) { setLe(f, 30, 3); }, BmpSpec{4, 2, 32, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BitmapTest, ShortReadsAreCompleted) {
  files.add("forms\\LOGO.bmp", makeBmp({7, 5, 24})).readChunk = 3;
  ASSERT_EQ(print(imageCommand("LOGO")), 0);
  EXPECT_EQ(log().count(Call::BitBlt), 1);
}

TEST_F(BitmapTest, ReadOrSizeFailureMakesTheBitmapAbsent) {
  files.add("forms\\A.bmp", makeBmp({7, 5, 24})).failReadAfter = 54;  // the pixel data
  files.add("forms\\B.bmp", makeBmp({7, 5, 24})).failSize = true;
  ASSERT_EQ(print(imageCommand("A") + imageCommand("B")), 0);
  EXPECT_EQ(log().count(Call::CreateDIBitmap), 0);
  EXPECT_TRUE(opened(files, "forms\\A.mac"));
  EXPECT_TRUE(opened(files, "forms\\B.mac"));
}

TEST_F(BitmapTest, DeviceRefusingTheBitmapFallsBackToTheMacro) {
  files.add("forms\\LOGO.bmp", makeBmp({}));
  log().failEvery(Call::CreateDIBitmap);
  ASSERT_EQ(print(imageCommand("LOGO")), 0);
  EXPECT_TRUE(opened(files, "forms\\LOGO.mac"));
}

struct DrawFailure {
  const char* name;
  Call call;
};

class DrawFailureTest : public BitmapTest, public ::testing::WithParamInterface<DrawFailure> {};

TEST_P(DrawFailureTest, DrawsNothingButReleasesEverything) {
  files.add("forms\\LOGO.bmp", makeBmp({}));
  log().failEvery(GetParam().call);
  ASSERT_EQ(print(imageCommand("LOGO") + "A\n"), 0);
  EXPECT_TRUE(log().bitmaps.empty());
  EXPECT_EQ(log().count(Call::CreateCompatibleDC) - (GetParam().call == Call::CreateCompatibleDC ? 1 : 0),
            log().count(Call::DeleteDC));
  EXPECT_FALSE(opened(files, "forms\\LOGO.mac")) << "a loaded bitmap never falls back";
  EXPECT_EQ(log().texts(), (std::vector<std::string>{"A"}));
}

INSTANTIATE_TEST_SUITE_P(Calls, DrawFailureTest,
                         ::testing::Values(DrawFailure{"CompatibleDC", Call::CreateCompatibleDC},
                                           DrawFailure{"SelectBitmap", Call::SelectObject},
                                           DrawFailure{"BitmapSize", Call::GetBitmapSize},
                                           DrawFailure{"CurrentPosition", Call::GetCurrentPosition},
                                           DrawFailure{"Copy", Call::BitBlt}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BitmapTest, DeviceWithoutBitmapCopyingDrawsNoImage) {
  log().caps[platform::kRasterCaps] = 0;
  files.add("forms\\LOGO.bmp", makeBmp({}));
  ASSERT_EQ(print(imageCommand("LOGO")), 0);
  EXPECT_EQ(log().count(Call::BitBlt), 0);
  EXPECT_EQ(log().count(Call::CreateCompatibleDC), 0);
  EXPECT_TRUE(log().bitmaps.empty());
}

TEST_F(BitmapTest, ImageAfterALineFeedSitsOnTheNextBaseline) {
  files.add("forms\\LOGO.bmp", makeBmp({}));
  ASSERT_EQ(print("A\n" + imageCommand("LOGO") + "B\n"), 0);
  const auto copy = log().of(Call::BitBlt).at(0);
  EXPECT_EQ(copy.x, 0);
  EXPECT_EQ(copy.y, 200);
  EXPECT_EQ(placedTexts(), (std::vector<std::string>{"A@0,100", "B@0,200"}));
}

TEST_F(BitmapTest, NamesLoseTrailingSpacesAndAreCutAt24) {
  ASSERT_EQ(print(imageCommand(" LOGO  ") + imageCommand(std::string(30, 'N'))), 0);
  EXPECT_EQ(files.opened, (std::vector<std::string>{"forms\\ LOGO.bmp", "forms\\ LOGO.mac",
                                                      "forms\\" + std::string(24, 'N') + ".bmp",
                                                      "forms\\" + std::string(24, 'N') + ".mac"}));
  EXPECT_EQ(log().count(Call::Escape), 0);
}

class UnsafeNameTest : public BitmapTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(UnsafeNameTest, OpensNoFile) {
  ASSERT_EQ(print(imageCommand(GetParam())), 0);
  EXPECT_TRUE(files.opened.empty());
}

INSTANTIATE_TEST_SUITE_P(Names, UnsafeNameTest,
                         ::testing::Values("/etc/passwd", "\\windows\\x", "C:x", "c:\\x", "..\\secret", "../secret",
                                           "a\\..\\..\\b", "a/..", "...", ". .\\x"));

TEST(LoadPathTest, SafeNamesStayInTheLoadDirectory) {
  for (const char* name : {"LOGO", " LOGO", "a.b", "a..b", "sub\\LOGO", "..a", "a_b"}) {
    EXPECT_TRUE(IsSafeLoadName(name)) << name;
  }
}

TEST(LoadPathTest, PathsLongerThan111CharactersAreRefused) {
  const std::string directory(103, 'd');
  // 103 + 1 + 3 + 4 = 111 fits; one more character does not.
  const auto fits = ComposeLoadPath(directory, "abc", "bmp");
  ASSERT_TRUE(fits.has_value());
  EXPECT_EQ(fits->view(), directory + "\\abc.bmp");
  EXPECT_FALSE(ComposeLoadPath(directory, "abcd", "bmp").has_value());
}

TEST_F(BitmapTest, LongComposedPathOpensNoFile) {
  state.context.loadDirectory = std::string(100, 'd');
  ASSERT_EQ(print(imageCommand("LONGNAME")), 0);
  EXPECT_TRUE(files.opened.empty());
}

TEST_F(BitmapTest, NeitherFileMeansNothingHappens) {
  state.context.badBitmapFile = [](std::string_view path) { ADD_FAILURE() << "an absent file is silent: " << path; };
  ASSERT_EQ(print(imageCommand("NONE") + "A\n"), 0);
  EXPECT_EQ(log().count(Call::Escape), 0);
  EXPECT_EQ(log().count(Call::CreateDIBitmap), 0);
  EXPECT_EQ(log().texts(), (std::vector<std::string>{"A"}));
}

}  // namespace
}  // namespace vorn::testing
