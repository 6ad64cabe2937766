// The PDF the printer device writes, read back with poppler: text comes back
// as written in both kinds of embedded face, each glyph run lands where the
// device put it whatever ran before it, and a bitmap is written again only
// once it has changed.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>

#include "platform/ansi_code_page.h"
#include "platform/pdf_printer_system.h"
#include "platform/printer_system.h"
#include "tests/integration/print/poppler.h"
#include "tests/support/test_support.h"

namespace vorn::platform {
namespace {

namespace fs = std::filesystem;

struct Word {
  std::string text;
  double xMin = 0, yMin = 0, xMax = 0;
};

// The words of page 1 with their boxes (points), from pdftotext -bbox.
std::vector<Word> pdfWords(const fs::path& pdf) {
  const std::string html = test::commandOutput("pdftotext -bbox -f 1 -l 1 " + test::shellQuoted(pdf) + " -");
  const std::regex word(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="[0-9.]+">([^<]*)</word>)re");
  std::vector<Word> words;
  for (std::sregex_iterator it(html.begin(), html.end(), word), end; it != end; ++it) {
    words.push_back({(*it)[4], std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3])});
  }
  return words;
}

FontRequest fontRequest(const char* face, std::int32_t height, std::int32_t width = 0) {
  FontRequest r;
  r.faceName = face;
  r.height = height;
  r.width = width;
  r.weight = 400;
  r.pitchAndFamily = 0x31;
  return r;
}

class PdfDeviceTest : public ::testing::Test {
 protected:
  std::unique_ptr<DeviceContext> device() {
    printers_ = createPdfPrinterSystem(PdfPrinterSettings{});  // 600 dpi, no unprintable border
    return printers_->createDC("PDF", nullptr);
  }
  fs::path pdf() const { return root_.path() / "out.pdf"; }

  test::TempRoot root_;
  std::unique_ptr<PrinterSystem> printers_;
};

struct FaceCase {
  const char* face;
  const char* fontType;  // as pdffonts names the embedded font
};

class PdfTextTest : public PdfDeviceTest, public ::testing::WithParamInterface<FaceCase> {};

TEST_P(PdfTextTest, TextComesBackAsWrittenFromAnEmbeddedSubset) {
  std::string upper;  // every character Windows-1252 defines above ASCII
  for (int c = 0x80; c <= 0xFF; ++c) {
    if (c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D && c != 0xA0 && c != 0xAD) {
      upper += static_cast<char>(c);
    }
  }
  std::string ascii;
  for (int c = 0x21; c < 0x7F; ++c) ascii += static_cast<char>(c);
  const std::vector<std::string> lines = {"Parens(open)and\\back\\slash))((", ascii.substr(0, 47), ascii.substr(47),
                                          upper.substr(0, 60), upper.substr(60)};
  auto dc = device();
  const GdiObject font = dc->createFont(fontRequest(GetParam().face, -100));
  ASSERT_NE(font, kNoObject);
  dc->selectObject(font);
  dc->setBkMode(kTransparent);
  dc->setTextAlign(kTaBaseline);
  ASSERT_GT(dc->startDoc({"Vorn: T", pdf().string()}), 0);
  ASSERT_GT(dc->startPage(), 0);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_TRUE(dc->textOut(300, 600 + static_cast<std::int32_t>(i) * 200, lines[i]));
  }
  ASSERT_GT(dc->endPage(), 0);
  ASSERT_GT(dc->endDoc(), 0);

  std::vector<std::string> text;
  for (const auto& w : pdfWords(pdf())) text.push_back(w.text);
  std::vector<std::string> expected;
  for (const auto& line : lines) expected.push_back(utf8FromAnsi(line));
  for (auto& s : expected) {  // pdftotext -bbox writes XML
    s = std::regex_replace(s, std::regex("&"), "&amp;");
    s = std::regex_replace(s, std::regex("<"), "&lt;");
    s = std::regex_replace(s, std::regex(">"), "&gt;");
    s = std::regex_replace(s, std::regex("\""), "&quot;");
    s = std::regex_replace(s, std::regex("'"), "&apos;");
  }
  EXPECT_EQ(text, expected);

  const std::string fonts = test::commandOutput("pdffonts " + test::shellQuoted(pdf()));
  EXPECT_NE(fonts.find(GetParam().fontType), std::string::npos) << fonts;
  EXPECT_TRUE(std::regex_search(fonts, std::regex(R"(\+\S+ +[A-Za-z0-9() ]+ +Custom +yes +yes +yes)"))) << fonts;
  std::ifstream in(pdf(), std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  EXPECT_LT(bytes.size(), 60'000u) << "the face is a subset, not the whole file";
}

INSTANTIATE_TEST_SUITE_P(Faces, PdfTextTest,
                         ::testing::Values(FaceCase{"Courier New", "CID TrueType"},  // Liberation Mono
                                           FaceCase{"Courier", "CID Type 0C"}));     // Nimbus Mono PS, CFF outlines

TEST_F(PdfDeviceTest, EachRunLandsWhereTheDevicePutItAcrossFontsLinesAndWidths) {
  auto dc = device();
  const GdiObject normal = dc->createFont(fontRequest("Courier New", -100));      // 60 dots a character
  const GdiObject narrow = dc->createFont(fontRequest("Courier New", -100, 30));  // 30 dots a character
  const GdiObject large = dc->createFont(fontRequest("Courier New", -200));       // 120 dots a character
  ASSERT_TRUE(normal != kNoObject && narrow != kNoObject && large != kNoObject);
  dc->setBkMode(kTransparent);
  dc->setTextAlign(kTaBaseline | kTaUpdateCp);
  ASSERT_GT(dc->startDoc({"Vorn: T", pdf().string()}), 0);
  ASSERT_GT(dc->startPage(), 0);
  dc->selectObject(normal);
  dc->moveTo(600, 1000);
  ASSERT_TRUE(dc->textOut(0, 0, "Alpha"));
  ASSERT_TRUE(dc->textOut(0, 0, " Beta"));  // continues at 900
  dc->moveTo(300, 1200);
  ASSERT_TRUE(dc->textOut(0, 0, "Gamma"));
  dc->selectObject(narrow);
  dc->moveTo(300, 1400);
  ASSERT_TRUE(dc->textOut(0, 0, "Delta"));
  ASSERT_TRUE(dc->textOut(0, 0, " Eps"));  // continues at 450
  dc->selectObject(normal);
  dc->moveTo(1200, 1300);  // up again, at the normal width
  ASSERT_TRUE(dc->textOut(0, 0, "Zeta"));
  dc->selectObject(large);
  dc->moveTo(100, 2000);
  ASSERT_TRUE(dc->textOut(0, 0, "Eta"));
  dc->selectObject(normal);
  dc->moveTo(1111, 2222);  // an odd spot after a larger size
  ASSERT_TRUE(dc->textOut(0, 0, "Theta"));
  ASSERT_GT(dc->endPage(), 0);
  ASSERT_GT(dc->endDoc(), 0);

  struct Expected {
    const char* text;
    double x, xEnd, baseline;  // device units
  };
  const std::vector<Expected> expected = {
      {"Alpha", 600, 900, 1000}, {"Beta", 960, 1200, 1000}, {"Gamma", 300, 600, 1200}, {"Delta", 300, 450, 1400},
      {"Eps", 480, 570, 1400},   {"Zeta", 1200, 1440, 1300}, {"Eta", 100, 460, 2000},   {"Theta", 1111, 1411, 2222}};
  const auto words = pdfWords(pdf());
  ASSERT_EQ(words.size(), expected.size());
  const double pt = 72.0 / 600;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(words[i].text, expected[i].text);
    EXPECT_NEAR(words[i].xMin, expected[i].x * pt, 0.01) << expected[i].text;
    EXPECT_NEAR(words[i].xMax, expected[i].xEnd * pt, 0.01) << expected[i].text;
  }
  // The same font at the same size has the same box above its baseline.
  const auto baselineGap = [&](std::size_t a, std::size_t b) { return words[b].yMin - words[a].yMin; };
  EXPECT_NEAR(baselineGap(0, 1), 0, 0.01);
  EXPECT_NEAR(baselineGap(0, 2), 200 * pt, 0.01);
  EXPECT_NEAR(baselineGap(2, 5), 100 * pt, 0.01);
  EXPECT_NEAR(baselineGap(3, 4), 0, 0.01);
  EXPECT_NEAR(baselineGap(0, 7), 1222 * pt, 0.01);
}

TEST_F(PdfDeviceTest, ABitmapIsWrittenOnceWhileItStaysTheSame) {
  auto dc = device();
  // A 2 x 1 bitmap, 24 bits: a red pixel and a blue one.
  BitmapInfoHeader header;
  header.width = 2;
  header.height = 1;
  header.bitCount = 24;
  std::array<std::byte, 40> info{};
  const std::uint32_t infoSize = 40, width = 2, height = 1;
  const std::uint16_t planes = 1, bitCount = 24;
  std::memcpy(&info[0], &infoSize, 4);
  std::memcpy(&info[4], &width, 4);
  std::memcpy(&info[8], &height, 4);
  std::memcpy(&info[12], &planes, 2);
  std::memcpy(&info[14], &bitCount, 2);
  const std::array<std::byte, 8> bits = {std::byte{0}, std::byte{0}, std::byte{0xFF},  // blue, green, red
                                         std::byte{0xFF}, std::byte{0}, std::byte{0}};
  const GdiObject bitmap = dc->createDIBitmap(header, bits, info);
  ASSERT_NE(bitmap, kNoObject);
  auto memory = dc->createCompatibleDC();
  ASSERT_NE(memory->selectObject(bitmap), kNoObject);

  ASSERT_GT(dc->startDoc({"Vorn: T", pdf().string()}), 0);
  for (int page = 1; page <= 3; ++page) {
    if (page == 3) {
      ASSERT_TRUE(memory->textOut(0, 0, "X"));  // an opaque cell whitens the whole bitmap
    }
    ASSERT_GT(dc->startPage(), 0);
    ASSERT_TRUE(dc->bitBlt(600, 600, 2, 1, *memory, 0, 0, kSrcCopy));
    ASSERT_TRUE(dc->bitBlt(1200, 600, 2, 1, *memory, 0, 0, kSrcCopy));
    ASSERT_GT(dc->endPage(), 0);
  }
  ASSERT_GT(dc->endDoc(), 0);

  std::ifstream in(pdf(), std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  std::size_t images = 0;
  for (std::size_t at = 0; (at = bytes.find("/Subtype/Image", at)) != std::string::npos; ++at) ++images;
  EXPECT_EQ(images, 2u) << "once as drawn at first, once after the change";
  // At 6000 dpi each bitmap pixel covers 10 x 10 raster pixels.
  const test::Raster before = test::pdfRaster(pdf(), 2, 6000, 6000, 6000, 20, 10);
  EXPECT_EQ(before.at(5, 5), 0xFF0000u);
  EXPECT_EQ(before.at(15, 5), 0x0000FFu);
  const test::Raster after = test::pdfRaster(pdf(), 3, 6000, 12000, 6000, 20, 10);
  EXPECT_EQ(after.at(5, 5), 0xFFFFFFu);
  EXPECT_EQ(after.at(15, 5), 0xFFFFFFu);
}

}  // namespace
}  // namespace vorn::platform
