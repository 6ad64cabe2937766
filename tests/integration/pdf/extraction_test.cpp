// Text comes back exactly from the printer's PDFs in three readers (poppler,
// MuPDF, Ghostscript): every printable Windows-1252 character, in each of the
// default faces and in Courier (--courier, a face with CFF outlines), and the
// five bytes the code page leaves undefined as U+FFFD, drawn with a glyph of
// their own (WHITE SQUARE), never .notdef.
#include <gtest/gtest.h>

#include "platform/ansi_code_page.h"
#include "platform/pdf_printer_system.h"
#include "tests/integration/pdf/pdf_reading.h"
#include "tests/support/test_support.h"

namespace vorn::test {
namespace {

using platform::DeviceContext;
using platform::FontRequest;
using platform::kNoObject;

constexpr std::string_view kUndefined = "\x81\x8D\x8F\x90\x9D";

// Every printable character: the visible ASCII ones and 0x80 to 0xFF but the
// undefined five, in lines between bars so that no reader trims a line's
// non-breaking space.
std::vector<std::string> printableLines() {
  std::string all;
  for (int c = 0x21; c < 0x7F; ++c) all += static_cast<char>(c);
  for (int c = 0x80; c <= 0xFF; ++c) {
    if (kUndefined.find(static_cast<char>(c)) == std::string_view::npos) all += static_cast<char>(c);
  }
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < all.size(); at += 24) lines.push_back("|" + all.substr(at, 24) + "|");
  lines.push_back("a" + std::string(kUndefined) + "b");
  return lines;
}

// What a reader should give for a line: the UTF-8 text, U+FFFD for the
// undefined bytes. poppler and MuPDF give every non-breaking space as a
// space, whatever the file maps it to.
std::string expectedText(const std::string& line, Reader reader) {
  std::string out;
  for (const char c : line) {
    if (kUndefined.find(c) != std::string_view::npos) {
      out += "\xEF\xBF\xBD";
    } else if (c == '\xA0' && reader != Reader::ghostscript) {
      out += ' ';
    } else {
      out += platform::utf8FromAnsi(std::string(1, c));
    }
  }
  return out;
}

struct ExtractionCase {
  const char* face;
  const char* label;
  Reader reader;
};

class ExtractionTest : public ::testing::TestWithParam<ExtractionCase> {};

TEST_P(ExtractionTest, EveryPrintableCharacterComesBackExactly) {
  TempRoot root;
  const auto pdf = root.path() / "text.pdf";
  auto printers = platform::createPdfPrinterSystem({});
  std::unique_ptr<DeviceContext> dc = printers->createDC("PDF", nullptr);
  FontRequest request;
  request.faceName = GetParam().face;
  request.height = -100;
  request.weight = 400;
  const auto font = dc->createFont(request);
  ASSERT_NE(font, kNoObject);
  dc->selectObject(font);
  dc->setTextAlign(platform::kTaBaseline);
  dc->setBkMode(platform::kTransparent);
  ASSERT_GT(dc->startDoc({"Vorn: text", pdf.string()}), 0);
  ASSERT_GT(dc->startPage(), 0);
  const auto lines = printableLines();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_TRUE(dc->textOut(300, 400 + static_cast<std::int32_t>(i) * 150, lines[i]));
  }
  ASSERT_GT(dc->endPage(), 0);
  ASSERT_GT(dc->endDoc(), 0);

  std::vector<std::string> expected;
  for (const auto& line : lines) expected.push_back(expectedText(line, GetParam().reader));
  EXPECT_EQ(extractedLines(GetParam().reader, pdf), expected) << nameOf(GetParam().reader);
  EXPECT_EQ(archiveFaults(pdf), "") << "among them: no character drawn with .notdef";
}

std::vector<ExtractionCase> cases() {
  std::vector<ExtractionCase> all;
  for (const auto& [face, label] : std::vector<std::pair<const char*, const char*>>{
           {"Courier New", "CourierNew"}, {"Arial", "Arial"}, {"Times New Roman", "TimesNewRoman"},
           {"Courier", "Courier"}}) {
    for (const Reader reader : {Reader::poppler, Reader::mupdf, Reader::ghostscript}) {
      all.push_back({face, label, reader});
    }
  }
  return all;
}

INSTANTIATE_TEST_SUITE_P(FacesAndReaders, ExtractionTest, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.label) + "_" + nameOf(info.param.reader); });

}  // namespace
}  // namespace vorn::test
