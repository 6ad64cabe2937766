// Fonts through fontconfig: metric-compatible faces give the advances a
// Windows printer driver gives, weight and slant are honoured, and a missing
// face is reported once.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <sstream>

#include "platform/posix/print/device_font.h"
#include "platform/posix/print/font_resolver.h"

namespace vorn::platform::posix {
namespace {

// The device's font for a request, from the face's file read now.
std::unique_ptr<DeviceFont> fontFor(FontResolver& resolver, const FontRequest& request) {
  const auto face = resolver.resolve(request);
  if (!face) return nullptr;
  std::string error;
  auto program = pdf::FontProgram::load(face->file, face->index, error);
  if (!program) return nullptr;
  return DeviceFont::create(*face, std::move(program), request, 600);
}

FontRequest request(std::string face, std::int32_t height, std::int32_t weight = 400, bool italic = false,
                    std::uint32_t pitchAndFamily = 0) {
  FontRequest r;
  r.faceName = std::move(face);
  r.height = height;
  r.weight = weight;
  r.italic = italic ? 1 : 0;
  r.pitchAndFamily = pitchAndFamily;
  return r;
}

struct AdvanceCase {
  const char* face;
  const char* family;  // the metric-compatible face expected
  const char* text;
  double width;        // device units at em 100 (12 point, 600 dpi), from the Windows advance widths
};

class AdvanceTest : public ::testing::TestWithParam<AdvanceCase> {};

TEST_P(AdvanceTest, MatchesTheWindowsFace) {
  const auto& c = GetParam();
  std::ostringstream log;
  FontResolver resolver(log);
  const FontRequest r = request(c.face, -100);
  auto font = fontFor(resolver, r);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->family(), c.family);
  EXPECT_DOUBLE_EQ(font->width(c.text), c.width) << c.text;
  EXPECT_TRUE(log.str().empty()) << "a metric alias is not a missing face: " << log.str();
}

INSTANTIATE_TEST_SUITE_P(
    Faces, AdvanceTest,
    ::testing::Values(AdvanceCase{"Courier New", "Liberation Mono", "0123456789", 600},
                      AdvanceCase{"Courier", "Nimbus Mono PS", "Wide iii", 480},
                      // Arial: H 1479, e 1139, l 455, o 1139 units of 2048, each rounded at em 100.
                      AdvanceCase{"Arial", "Liberation Sans", "Hello", 72 + 56 + 22 + 22 + 56},
                      // Times New Roman: T 1251, i 569, m 1593, e 909, s 797.
                      AdvanceCase{"Times New Roman", "Liberation Serif", "Times", 61 + 28 + 78 + 44 + 39}));

TEST(FontWeightTest, GdiWeightsMapOntoFontconfigWeights) {
  EXPECT_DOUBLE_EQ(fontconfigWeight(400), FC_WEIGHT_REGULAR);
  EXPECT_DOUBLE_EQ(fontconfigWeight(700), FC_WEIGHT_BOLD);
  EXPECT_DOUBLE_EQ(fontconfigWeight(0), FC_WEIGHT_REGULAR) << "don't care";
  EXPECT_DOUBLE_EQ(fontconfigWeight(5000), fontconfigWeight(1000));
  double previous = -1;
  for (const int w : {1, 72, 143, 215, 286, 358, 429, 500, 571, 642, 714, 785, 857, 928, 1000}) {
    EXPECT_GE(fontconfigWeight(w), previous) << w;  // heavier never maps lighter
    previous = fontconfigWeight(w);
  }
  EXPECT_LT(fontconfigWeight(143), fontconfigWeight(286));
  EXPECT_LT(fontconfigWeight(500), fontconfigWeight(714));
  EXPECT_LT(fontconfigWeight(714), fontconfigWeight(928));
}

struct StyleCase {
  std::int32_t weight;
  bool italic;
  bool bold;  // expected face style
};

class StyleTest : public ::testing::TestWithParam<StyleCase> {};

TEST_P(StyleTest, WeightAndItalicChooseTheFace) {
  const auto [weight, italic, bold] = GetParam();
  std::ostringstream log;
  FontResolver resolver(log);
  const FontRequest r = request("Courier New", -100, weight, italic);
  auto font = fontFor(resolver, r);
  ASSERT_TRUE(font);
  const pdf::FontMetrics& face = font->style().program->metrics();
  EXPECT_EQ(face.postscriptName.find("Bold") != std::string::npos, bold) << face.postscriptName;
  EXPECT_EQ(face.italic, italic) << face.postscriptName;
  EXPECT_DOUBLE_EQ(font->width("abc"), 180) << "every Liberation Mono style keeps the pitch";
}

INSTANTIATE_TEST_SUITE_P(Styles, StyleTest,
                         ::testing::Values(StyleCase{500, false, false}, StyleCase{714, false, true},
                                           StyleCase{714, true, true}, StyleCase{400, true, false},
                                           StyleCase{1000, false, true}));

TEST(FontResolverTest, AMissingFaceIsReportedOnceWithTheFaceUsed) {
  std::ostringstream log;
  FontResolver resolver(log);
  const FontRequest missing = request("Vorn No Such Face", -100, 400, false, 0x31);
  auto first = resolver.resolve(missing);
  ASSERT_TRUE(first) << "fontconfig falls back";
  auto bold = missing;
  bold.weight = 700;
  EXPECT_TRUE(resolver.resolve(bold));
  EXPECT_EQ(resolver.resolve(missing), first) << "faces are resolved once";
  const std::string text = log.str();
  EXPECT_NE(text.find("\"Vorn No Such Face\""), std::string::npos) << text;
  EXPECT_NE(text.find(first->family), std::string::npos) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
}

TEST(FontResolverTest, FixedPitchFallsBackToAMonospacedFace) {
  std::ostringstream log;
  FontResolver resolver(log);
  const FontRequest r = request("Vorn No Such Face", -100, 400, false, 0x31);
  auto font = fontFor(resolver, r);
  ASSERT_TRUE(font);
  EXPECT_DOUBLE_EQ(font->width("iiii"), font->width("WWWW")) << font->family();
}

TEST(DeviceFontTest, TextIsWindows1252) {
  std::ostringstream log;
  FontResolver resolver(log);
  const FontRequest r = request("Arial", -100);
  auto font = fontFor(resolver, r);
  ASSERT_TRUE(font);
  FT_Library library = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face face = nullptr;
  ASSERT_EQ(FT_New_Face(library, resolver.resolve(r)->file.c_str(), 0, &face), 0);
  for (const auto& [code, unicode] : std::vector<std::pair<std::uint8_t, FT_ULong>>{
           {0x41, 'A'}, {0x80, 0x20AC}, {0x85, 0x2026}, {0x8A, 0x0160}, {0x99, 0x2122}, {0x9F, 0x0178},
           {0xA3, 0x00A3}, {0xE9, 0x00E9}, {0xFF, 0x00FF}}) {
    EXPECT_EQ(font->glyph(code), FT_Get_Char_Index(face, unicode)) << std::hex << int{code};
    EXPECT_NE(font->glyph(code), 0u) << std::hex << int{code};
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

TEST(DeviceFontTest, UnderlineComesFromTheFontMetrics) {
  std::ostringstream log;
  FontResolver resolver(log);
  FontRequest r = request("Arial", -2048);  // one device unit per font unit
  r.underline = 1;
  auto font = fontFor(resolver, r);
  ASSERT_TRUE(font);
  EXPECT_TRUE(font->underline());
  // Liberation Sans: the stroke's centre lies 142 font units below the baseline, 150 units thick.
  EXPECT_DOUBLE_EQ(font->underlineOffset(), 142);
  EXPECT_DOUBLE_EQ(font->underlineThickness(), 150);
}

TEST(DeviceFontTest, PositiveHeightIsTheCellHeight) {
  std::ostringstream log;
  FontResolver resolver(log);
  const FontRequest cell = request("Arial", 100);
  const FontRequest em = request("Arial", -100);
  auto cellFont = fontFor(resolver, cell);
  auto emFont = fontFor(resolver, em);
  ASSERT_TRUE(cellFont && emFont);
  EXPECT_LT(cellFont->emSize(), emFont->emSize());
  EXPECT_NEAR(cellFont->emSize(), 100 * 2048.0 / (1854 + 434), 0.01);  // Arial's win ascent and descent
}

}  // namespace
}  // namespace vorn::platform::posix
