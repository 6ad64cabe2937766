// With only a Regular face installed, fontconfig asks for synthetic bold and
// an oblique slant: the PDF draws them (filled and stroked glyphs, a sheared
// text matrix) from the one embedded face.
#include <gtest/gtest.h>

#include "platform/pdf_printer_system.h"
#include "tests/integration/pdf/pdf_reading.h"
#include "tests/integration/pdf/private_fonts.h"
#include "tests/integration/print/poppler.h"
#include "tests/support/test_support.h"

namespace vorn::test {
namespace {

struct Ink {
  int dots = 0;
  double topX = 0;     // mean x of the ink in the row band's upper third
  double bottomX = 0;  // and in its lower third
};

// The ink of a band of `raster`'s rows.
Ink inkOf(const Raster& raster, int top, int height) {
  Ink ink;
  double topSum = 0, bottomSum = 0;
  int topCount = 0, bottomCount = 0;
  for (int y = top; y < top + height; ++y) {
    for (int x = 0; x < raster.width; ++x) {
      if ((raster.at(x, y) & 0xFF) > 0x80) continue;
      ++ink.dots;
      if (y < top + height / 3) {
        topSum += x;
        ++topCount;
      } else if (y >= top + 2 * height / 3) {
        bottomSum += x;
        ++bottomCount;
      }
    }
  }
  ink.topX = topCount > 0 ? topSum / topCount : 0;
  ink.bottomX = bottomCount > 0 ? bottomSum / bottomCount : 0;
  return ink;
}

TEST(SyntheticStylesTest, BoldAndItalicOfARegularOnlyFaceAreVisible) {
  PrivateFonts fonts({"/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf"});
  TempRoot root;
  const auto pdf = root.path() / "styles.pdf";
  auto printers = platform::createPdfPrinterSystem({});
  auto dc = printers->createDC("PDF", nullptr);
  dc->setTextAlign(platform::kTaBaseline);
  dc->setBkMode(platform::kTransparent);
  ASSERT_GT(dc->startDoc({"Vorn: styles", pdf.string()}), 0);
  ASSERT_GT(dc->startPage(), 0);
  // Regular, bold and italic lines of upright strokes, 200 dots apart.
  struct Style {
    std::int32_t weight;
    std::uint32_t italic;
  };
  const std::vector<Style> styles = {{400, 0}, {700, 0}, {400, 1}};
  for (std::size_t i = 0; i < styles.size(); ++i) {
    platform::FontRequest request;
    request.faceName = "Liberation Mono";
    request.height = -100;
    request.weight = styles[i].weight;
    request.italic = styles[i].italic;
    const auto font = dc->createFont(request);
    ASSERT_NE(font, platform::kNoObject);
    dc->selectObject(font);
    ASSERT_TRUE(dc->textOut(100, 200 + static_cast<std::int32_t>(i) * 200, "IIIIIIII"));
  }
  ASSERT_GT(dc->endPage(), 0);
  ASSERT_GT(dc->endDoc(), 0);

  // At 600 dpi one raster pixel is one dot; each band holds one line's capitals.
  const Raster raster = pdfRaster(pdf, 1, 600, 0, 0, 700, 700);
  const Ink regular = inkOf(raster, 120, 80);
  const Ink bold = inkOf(raster, 320, 80);
  const Ink italic = inkOf(raster, 520, 80);
  ASSERT_GT(regular.dots, 0);
  EXPECT_GT(bold.dots, regular.dots * 5 / 4) << "emboldened strokes are wider";
  EXPECT_NEAR(regular.topX - regular.bottomX, 0, 1) << "upright";
  EXPECT_GT(italic.topX - italic.bottomX, 6) << "the tops lean to the right";
  EXPECT_EQ(extractedLines(Reader::poppler, pdf),
            (std::vector<std::string>{"IIIIIIII", "IIIIIIII", "IIIIIIII"}));
  const std::string embedded = commandOutput("pdffonts " + shellQuoted(pdf));
  EXPECT_EQ(std::count(embedded.begin(), embedded.end(), '\n'), 3) << "one face for all three: " << embedded;
  EXPECT_EQ(archiveFaults(pdf), "");
}

}  // namespace
}  // namespace vorn::test
