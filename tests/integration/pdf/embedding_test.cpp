// What the printer's PDF stores once: each distinct image (a logo loaded anew
// at every placement), each font file and face; the face's bytes as they were
// when the document first used them; and bitmaps of every layout the loader
// takes (16 bits, colour masks, V4 and V5 headers) drawn with their colours.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/pdf_printer_system.h"
#include "tests/integration/pdf/pdf_reading.h"
#include "tests/integration/pdf/private_fonts.h"
#include "tests/integration/print/poppler.h"
#include "tests/support/test_support.h"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void putLe(std::string& bytes, std::size_t at, std::uint32_t value, int size = 4) {
  for (int i = 0; i < size; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A .bmp of `width` x `height` pixels, bottom-up, every pixel `pixel` (its
// bytes as the file stores them); `masks` (red, green, blue) make it
// BI_BITFIELDS, written into the header when it is longer than 40 bytes.
std::string bitmapFile(int width, int height, int bits, std::uint32_t infoSize, std::uint32_t pixel,
                       std::vector<std::uint32_t> masks = {}) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(bits) + 31) / 32 * 4;
  const std::uint32_t tableSize = !masks.empty() && infoSize == 40 ? 12 : 0;
  const std::uint32_t offset = 14 + infoSize + tableSize;
  std::string file(offset + stride * static_cast<std::uint32_t>(height), '\0');
  file[0] = 'B';
  file[1] = 'M';
  putLe(file, 2, static_cast<std::uint32_t>(file.size()));
  putLe(file, 10, offset);
  putLe(file, 14, infoSize);
  putLe(file, 18, static_cast<std::uint32_t>(width));
  putLe(file, 22, static_cast<std::uint32_t>(height));
  putLe(file, 26, 1, 2);
  putLe(file, 28, static_cast<std::uint32_t>(bits), 2);
  putLe(file, 30, masks.empty() ? 0 : 3);
  for (std::size_t i = 0; i < masks.size(); ++i) putLe(file, 14 + 40 + 4 * i, masks[i]);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      putLe(file, offset + static_cast<std::uint32_t>(y) * stride + static_cast<std::uint32_t>(x * bits / 8), pixel,
            bits / 8);
    }
  }
  return file;
}

class EmbeddingTest : public ::testing::Test {
 protected:
  // vornrender on `stream` with the images of `images()`; the PDF's path.
  fs::path render(const std::string& stream, const std::vector<std::string>& extra = {}) {
    writeFile(root_.path() / "stream.vps", stream);
    const fs::path pdf = root_.path() / "out.pdf";
    std::vector<std::string> args = {"--load-dir", images().string(), "-o", pdf.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back((root_.path() / "stream.vps").string());
    const ProgramResult run = runProgram(programPath("vornrender"), args);
    EXPECT_EQ(run.exitCode, 0) << run.standardError;
    return pdf;
  }
  fs::path images() {
    fs::create_directories(root_.path() / "images");
    return root_.path() / "images";
  }

  TempRoot root_;
};

TEST_F(EmbeddingTest, ALogoOnAHundredPagesIsStoredOnce) {
  // A 240 KB logo (a gradient, so that it does not deflate to nothing),
  // placed ten times on each of 100 pages.
  std::string logo = bitmapFile(280, 285, 24, 40, 0);
  for (std::size_t i = 54; i < logo.size(); ++i) logo[i] = static_cast<char>((i * 31) ^ (i >> 9));
  writeFile(images() / "logo.bmp", logo);
  std::string stream;
  for (int page = 0; page < 100; ++page) {
    for (int placement = 0; placement < 10; ++placement) stream += "\x02" "2logo\nline\n";
    stream += "\f";
  }
  const fs::path pdf = render(stream);
  EXPECT_EQ(pdfPageSizes(pdf).size(), 100u);
  EXPECT_EQ(occurrences(pdf, "/Subtype/Image"), 1u) << "one image object for 1,000 placements";
  EXPECT_LT(fs::file_size(pdf), 2 * logo.size()) << "the logo's samples are in the file once";
}

TEST_F(EmbeddingTest, OneEmbeddedFontPerFileAndFace) {
  // Seven font requests on one page, from two files: Courier New at two
  // pitches, without a family preference (typeface 5), a step lighter (the
  // same Regular file), underlined, and Arial.
  const std::string stream = "ten\n\x02" "A120\ntwelve\n\x02" "G5\nfamily none\n\x02" "C`1\nlighter\n\x02" "C0\x02"
                             "G0\x02" "B1\nunderlined\n\x02" "B0\x02" "H1\nproportional\n";
  const fs::path pdf = render(stream);
  const std::string fonts = commandOutput("pdffonts " + shellQuoted(pdf));
  EXPECT_EQ(std::count(fonts.begin(), fonts.end(), '\n'), 2 + 2) << fonts;  // the heading's two lines and two fonts
  EXPECT_NE(fonts.find("+LiberationMono "), std::string::npos) << fonts;
  EXPECT_NE(fonts.find("+LiberationSans "), std::string::npos) << fonts;
  EXPECT_EQ(occurrences(pdf, "/FontFile2"), 2u);
  EXPECT_EQ(occurrences(pdf, "/Subtype/Type0"), 2u) << "one font dictionary per face, at every size";
  EXPECT_EQ(extractedLines(Reader::poppler, pdf),
            (std::vector<std::string>{"ten", "twelve", "family none", "lighter", "underlined", "proportional"}));
}

struct FileChange {
  const char* name;
  bool remove;  // else the file is replaced by another face
};

class ReplacedFontFileTest : public ::testing::TestWithParam<FileChange> {};

// A package upgrade replaces or removes a font file while a document is open:
// the document keeps the face it was laid out with, and completes.
TEST_P(ReplacedFontFileTest, TheDocumentKeepsTheFaceItBeganWith) {
  const fs::path liberation = "/usr/share/fonts/truetype/liberation2";
  PrivateFonts fonts({liberation / "LiberationMono-Regular.ttf"});
  TempRoot root;
  const fs::path pdf = root.path() / "out.pdf";
  auto printers = platform::createPdfPrinterSystem({});
  auto dc = printers->createDC("PDF", nullptr);
  platform::FontRequest request;
  request.faceName = "Liberation Mono";
  request.height = -100;
  const auto first = dc->createFont(request);
  ASSERT_NE(first, platform::kNoObject);
  dc->setTextAlign(platform::kTaBaseline);
  dc->setBkMode(platform::kTransparent);
  dc->selectObject(first);
  ASSERT_GT(dc->startDoc({"Vorn: fonts", pdf.string()}), 0);
  ASSERT_GT(dc->startPage(), 0);
  ASSERT_TRUE(dc->textOut(600, 600, "Before the upgrade"));
  ASSERT_GT(dc->endPage(), 0);

  const fs::path file = fonts.folder() / "LiberationMono-Regular.ttf";
  fs::remove(file);
  if (!GetParam().remove) fs::copy_file(liberation / "LiberationSerif-Regular.ttf", file);
  request.height = -80;  // a new size of the same face
  const auto second = dc->createFont(request);
  ASSERT_NE(second, platform::kNoObject);
  dc->selectObject(second);
  ASSERT_GT(dc->startPage(), 0);
  ASSERT_TRUE(dc->textOut(600, 600, "After the upgrade"));
  ASSERT_GT(dc->endPage(), 0);
  ASSERT_GT(dc->endDoc(), 0) << "the document completes";

  EXPECT_EQ(extractedLines(Reader::poppler, pdf), (std::vector<std::string>{"Before the upgrade", "After the upgrade"}));
  const std::string embedded = commandOutput("pdffonts " + shellQuoted(pdf));
  EXPECT_NE(embedded.find("+LiberationMono "), std::string::npos) << embedded;
  EXPECT_EQ(embedded.find("Serif"), std::string::npos) << embedded;
  EXPECT_EQ(archiveFaults(pdf), "") << "the widths are the embedded face's own";
}

INSTANTIATE_TEST_SUITE_P(Changes, ReplacedFontFileTest,
                         ::testing::Values(FileChange{"Replaced", false}, FileChange{"Removed", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// 16 bits (5-5-5 and 5-6-5 masks), 32 bits with masks in a V4 header, 24 bits
// with a V5 header: each a 60-pixel square of one colour, on its own line.
TEST_F(EmbeddingTest, BitmapsOfEveryLayoutAreDrawnInTheirColours) {
  struct Square {
    const char* name;
    std::string file;
    std::uint32_t rgb;
  };
  const std::vector<Square> squares = {
      {"rgb555", bitmapFile(60, 60, 16, 40, 0x7C00), 0xFF0000},                                     // red
      {"rgb565", bitmapFile(60, 60, 16, 124, 0x07E0, {0xF800, 0x07E0, 0x001F}), 0x00FF00},           // green, V5
      {"masks32", bitmapFile(60, 60, 32, 108, 0x000000FF, {0x00FF0000, 0x0000FF00, 0x000000FF}), 0x0000FF},  // V4
      {"rgb24v5", bitmapFile(60, 60, 24, 124, 0x00FFFF), 0x00FFFF},  // blue, green, red bytes: cyan
  };
  std::string stream;
  for (const Square& s : squares) {
    writeFile(images() / (std::string(s.name) + ".bmp"), s.file);
    stream += std::string("\x02" "2") + s.name + "\n";
  }
  const fs::path pdf = render(stream + "\f");
  // Line k's baseline is at 100 (k + 1) dots; each square hangs 60 dots below
  // it. poppler passes the colours through the sRGB output intent, which may
  // move a channel by a level or two.
  const Raster raster = pdfRaster(pdf, 1, 60, 0, 0, 20, 60);
  for (std::size_t k = 0; k < squares.size(); ++k) {
    const std::uint32_t drawn = raster.at(3, static_cast<int>((100 * (k + 1) + 30) / 10));
    for (const int shift : {16, 8, 0}) {
      const int channel = static_cast<int>((drawn >> shift) & 0xFF);
      const int expected = static_cast<int>((squares[k].rgb >> shift) & 0xFF);
      EXPECT_NEAR(channel, expected, 2) << squares[k].name << std::hex << ": drawn " << drawn;
    }
  }
  EXPECT_EQ(occurrences(pdf, "/Subtype/Image"), squares.size());
}

}  // namespace
}  // namespace vorn::test
