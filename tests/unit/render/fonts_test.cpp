// Font derivation, the font cache, metrics and the page origin.
#include <string>
#include <vector>

#include "agent/render/fonts.h"
#include "agent/render/wrapping_math.h"
#include "tests/unit/render/render_fixture.h"

namespace vorn::testing {
namespace {

struct FontCase {
  const char* name;
  std::string commands;
  std::int32_t height;
  std::int32_t weight;
  std::uint32_t pitchAndFamily;
  std::string face;
  std::uint32_t options = 0;
};

class FontDerivationTest : public RenderFixture, public ::testing::WithParamInterface<FontCase> {};

TEST_P(FontDerivationTest, RequestsTheFont) {
  const auto& param = GetParam();
  ASSERT_EQ(start(param.options), 0);
  ASSERT_EQ(print(param.commands + "A"), 0);
  const auto fonts = log().of(Call::CreateFont);
  ASSERT_EQ(fonts.size(), 1u);
  const auto& font = fonts[0].font;
  EXPECT_EQ(font.height, param.height);
  EXPECT_EQ(font.weight, param.weight);
  EXPECT_EQ(font.pitchAndFamily, param.pitchAndFamily);
  EXPECT_EQ(font.faceName, param.face);
  EXPECT_EQ(font.width, 0);
  EXPECT_EQ(font.charSet, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, FontDerivationTest,
    ::testing::Values(
        FontCase{"StartValues", "", -100, 500, 0x31, "Courier New"},
        FontCase{"CourierOption", "", -100, 500, 0x31, "Courier", OPT_COURIER},
        FontCase{"TwelveCpiIsTenPoint", command('A', "120"), -83, 500, 0x31, "Courier New"},
        FontCase{"SeventeenCpiIsSevenPoint", command('A', "170"), -58, 500, 0x31, "Courier New"},
        FontCase{"ZeroCharPitchUsesFontHeight", command('A', "0"), -100, 500, 0x31, "Courier New"},
        FontCase{"ProportionalArial", command('H', "1"), -100, 500, 0x22, "Arial"},
        FontCase{"ProportionalHeightFromLinePitch", command('@', "80") + command('H', "1"), -75, 500, 0x22, "Arial"},
        FontCase{"ProportionalExplicitHeight", command('H', "1") + command('I', "200"), -167, 500, 0x22, "Arial"},
        FontCase{"ZeroLinePitchHeight", command('@', "0") + command('H', "1"), -100, 500, 0x22, "Arial"},
        FontCase{"Times", command('G', "3"), -100, 500, 0x11, "Times New Roman"},
        FontCase{"TypefaceFourIsArial", command('G', "4"), -100, 500, 0x21, "Arial"},
        FontCase{"UnknownTypeface", command('G', "5"), -100, 500, 0x01, "Courier New"},
        FontCase{"NegativeTypeface", command('G', "a"), -100, 500, 0x01, "Courier New"},
        FontCase{"NegativeTypefaceCourierOption", command('G', "a"), -100, 500, 0x01, "Courier", OPT_COURIER},
        FontCase{"ThinnestWeight", command('C', "g"), -100, 1, 0x31, "Courier New"},
        FontCase{"WeightMinusOne", command('C', "a"), -100, 429, 0x31, "Courier New"},
        FontCase{"WeightThree", command('C', "3"), -100, 714, 0x31, "Courier New"},
        FontCase{"HeaviestWeight", command('C', "7"), -100, 1000, 0x31, "Courier New"},
        FontCase{"WeightBelowRangeIsOne", command('C', "i9"), -100, 1, 0x31, "Courier New"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RenderFixture, ItalicAndUnderlineArePassedThrough) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print(command('B', "1") + command('D', "2") + "A"), 0);
  const auto font = log().of(Call::CreateFont).at(0).font;
  EXPECT_EQ(font.underline, 1u);
  EXPECT_EQ(font.italic, 2u);
}

TEST_F(RenderFixture, DerivedHeightIsKeptUntilAHeightCommandClearsIt) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print(command('H', "1") + "A" + command('@', "80") + "B" + command('I', "0") + "C"), 0);
  const auto fonts = log().of(Call::CreateFont);
  ASSERT_EQ(fonts.size(), 3u);
  EXPECT_EQ(fonts[1].font.height, -100);  // still 120 decipoints
  EXPECT_EQ(fonts[2].font.height, -75);   // 7200 / 80 = 90 decipoints
}

TEST_F(RenderFixture, SameParametersCreateOneFontAndKeepTheRun) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A" + command('C', "0") + "B" + command('G', "0") + "C\n"), 0);
  EXPECT_EQ(log().count(Call::CreateFont), 1);
  EXPECT_EQ(log().texts(), (std::vector<std::string>{"ABC"}));
}

TEST_F(RenderFixture, FontChangeDrawsTextInTheOldFontFirst) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A" + command('C', "3") + "B\n"), 0);
  const auto runs = log().of(Call::TextOut);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].text, "A");
  EXPECT_EQ(runs[1].text, "B");
  EXPECT_NE(runs[0].object, runs[1].object);
  EXPECT_EQ(runs[1].x, 10);  // continues after A
}

TEST_F(RenderFixture, CacheReplacesTheOldestFontInRotation) {
  ASSERT_EQ(start(), 0);
  // Weights 0 … 15 fill the 16 slots.
  std::string stream = "A";
  for (int weight = 1; weight < 16; ++weight) stream += command('C', std::to_string(weight)) + "A";
  ASSERT_EQ(print(stream), 0);
  const auto created = log().of(Call::CreateFont);
  ASSERT_EQ(created.size(), 16u);
  EXPECT_EQ(log().count(Call::DeleteObject), 0);

  ASSERT_EQ(print(command('C', "16") + "A"), 0);
  auto deleted = log().of(Call::DeleteObject);
  ASSERT_EQ(deleted.size(), 1u);
  EXPECT_EQ(deleted[0].object, created[0].object);
  EXPECT_EQ(state.fonts.cacheLast, 0);

  ASSERT_EQ(print(command('C', "17") + "A"), 0);
  deleted = log().of(Call::DeleteObject);
  ASSERT_EQ(deleted.size(), 2u);
  EXPECT_EQ(deleted[1].object, created[1].object);

  // Weight 5 is still cached: selected again without a new font.
  ASSERT_EQ(print(command('C', "5") + "A"), 0);
  EXPECT_EQ(log().count(Call::CreateFont), 18);
  EXPECT_EQ(log().of(Call::SelectObject).back().object, created[5].object);
  EXPECT_TRUE(log().misuse.empty());
}

TEST_F(RenderFixture, DocumentEndRestoresTheDeviceFontAndDeletesAllFonts) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A" + command('C', "3") + "B\n"), 0);
  VornPrintEnd(state);
  EXPECT_EQ(log().selectedFont, 1u);
  EXPECT_TRUE(log().fonts.empty());
  EXPECT_TRUE(log().misuse.empty());
}

struct MetricCase {
  std::int32_t linePitch, charPitch, dpi, lineHeight, columnWidth;
};

class MetricsTest : public ::testing::TestWithParam<MetricCase> {};

TEST_P(MetricsTest, FollowThePitchesOfTheSelectedFont) {
  fakes::FakePrinterSystem printers;
  fakes::FakeFileSystem files;
  RenderState state(printers, files);
  state.document.dpiX = state.document.dpiY = GetParam().dpi;
  state.fonts.currentKey.linePitch = GetParam().linePitch;
  state.fonts.currentKey.charPitch = GetParam().charPitch;
  state.format.linePitch = 1;  // the parameters do not count, only the selected font's
  EXPECT_EQ(LineHeight(state), GetParam().lineHeight);
  EXPECT_EQ(ColumnWidth(state), GetParam().columnWidth);
}

INSTANTIATE_TEST_SUITE_P(Pitches, MetricsTest,
                         ::testing::Values(MetricCase{60, 100, 600, 100, 60}, MetricCase{80, 120, 600, 75, 50},
                                           MetricCase{60, 170, 600, 100, 35}, MetricCase{0, 0, 600, 6000, 6000},
                                           MetricCase{60, 100, 300, 50, 30}, MetricCase{-1, -1, 600, -6000, -6000}));

TEST(MulDivTest, RoundsToNearestAndReportsOverflow) {
  EXPECT_EQ(MulDiv(100, 600, 720), 83);
  EXPECT_EQ(MulDiv(-100, 600, 720), -83);
  EXPECT_EQ(MulDiv(5, 1, 2), 3);
  EXPECT_EQ(MulDiv(-5, 1, 2), -3);
  EXPECT_EQ(MulDiv(5, 1, -2), -3);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(MulDiv(2147483647, 2, 1), -1);
  EXPECT_EQ(MulDiv(-2147483647 - 1, -2147483647 - 1, -2147483647 - 1), -1);
}

TEST_F(RenderFixture, LineOriginIsNeverAboveThePrintableArea) {
  log().caps[platform::kPhysicalOffsetY] = 50;
  log().caps[platform::kPhysicalOffsetX] = 40;
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A\n"), 0);
  EXPECT_EQ(placedTexts(), (std::vector<std::string>{"A@0,100"}));
}

TEST_F(RenderFixture, MarginsAreMeasuredFromTheSheetEdge) {
  log().caps[platform::kPhysicalOffsetY] = 50;
  log().caps[platform::kPhysicalOffsetX] = 40;
  ASSERT_EQ(start(), 0);
  // 2.5 lines of 100 and 1.5 columns of 60, less the offsets.
  ASSERT_EQ(print(command('%', "25") + command('&', "15") + "A\n"), 0);
  EXPECT_EQ(placedTexts(), (std::vector<std::string>{"A@50,300"}));
}

TEST_F(RenderFixture, MarginChangedOnAPageAppliesFromTheNextPage) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A" + command('&', "100") + "B\n\fC\n"), 0);
  EXPECT_EQ(placedTexts(), (std::vector<std::string>{"AB@0,100", "C@600,100"}));
}

}  // namespace
}  // namespace vorn::testing
