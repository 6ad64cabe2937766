// The sample print streams rendered by vornrender and read back with poppler.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/integration/print/poppler.h"
#include "tests/support/test_support.h"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

fs::path sourceFolder() { return VORN_PRINT_SOURCE_DIR; }


fs::path samplesFolder() { return sourceFolder() / "samples"; }

class SamplesTest : public ::testing::Test {
 protected:
  // Renders a sample to a PDF with the default device (600 dpi, A4, no margins).
  fs::path render(const std::string& sample, std::vector<std::string> extra = {}) {
    const fs::path pdf = root_.path() / (sample + ".pdf");
    std::vector<std::string> args = {"-o", pdf.string(), "--load-dir", (samplesFolder() / "images").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back((samplesFolder() / (sample + ".vps")).string());
    const ProgramResult run = runProgram(programPath("vornrender"), args);
    EXPECT_EQ(run.exitCode, 0) << run.standardError;
    EXPECT_NE(run.standardOutput.find("page"), std::string::npos) << run.standardOutput;
    return pdf;
  }

  static std::string fonts(const fs::path& pdf) { return commandOutput("pdffonts " + shellQuoted(pdf)); }

  static std::size_t lineWith(const std::vector<std::string>& lines, const std::string& text) {
    const auto it = std::ranges::find_if(lines, [&](const std::string& l) { return l.find(text) != std::string::npos; });
    if (it == lines.end()) ADD_FAILURE() << "no line with \"" << text << "\"";
    return static_cast<std::size_t>(it - lines.begin());
  }

  TempRoot root_;
};

TEST_F(SamplesTest, LedgerColumnsAlignAndFontsAreEmbedded) {
  const fs::path pdf = render("ledger");
  const auto lines = pdfTextLines(pdf);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].find("KOLVANE TRADING"), std::string::npos);
  const std::size_t header = lineWith(lines, "Account");
  const std::size_t debitColumn = lines[header].find("Debit");
  const std::size_t creditColumn = lines[header].find("Credit");
  const std::size_t descriptionColumn = lines[header].find("Description");
  for (const auto& [text, column] : std::vector<std::pair<std::string, std::size_t>>{
           {"12,450.00", debitColumn}, {"8,310.75", debitColumn}, {"3,120.25", debitColumn},
           {"4,920.10", creditColumn}, {"10,000.00", creditColumn}, {"Cash at bank", descriptionColumn},
           {"Postage & stationery", descriptionColumn}}) {
    const std::string& line = lines[lineWith(lines, text)];
    EXPECT_EQ(line.find(text), column) << "\"" << text << "\" in: " << line;
  }
  // Lines follow one another in stream order, one text line per stream line.
  EXPECT_EQ(lineWith(lines, "1200"), lineWith(lines, "1000") + 1);
  EXPECT_LT(lineWith(lines, "Totals"), lineWith(lines, "Notes in small print"));
  EXPECT_NE(lines[lineWith(lines, "Notes in small print")].find("EUR (\xE2\x82\xAC)"), std::string::npos);

  const std::string f = fonts(pdf);
  EXPECT_NE(f.find("LiberationMono-BoldItalic"), std::string::npos) << f;
  EXPECT_NE(f.find("LiberationMono "), std::string::npos) << f;
  EXPECT_EQ(f.find("Type 3"), std::string::npos) << f;
}

TEST_F(SamplesTest, ProportionalTextUsesTheMetricCompatibleFaces) {
  const fs::path pdf = render("proportional");
  const std::string f = fonts(pdf);
  for (const char* face : {"LiberationSans ", "LiberationSans-Bold", "LiberationSerif ", "LiberationSerif-Italic"}) {
    EXPECT_NE(f.find(face), std::string::npos) << face << " missing from\n" << f;
  }
  EXPECT_EQ(f.find("Type 3"), std::string::npos) << f;
  const auto lines = pdfTextLines(pdf);
  lineWith(lines, "Arial 14 point: The quick brown fox jumps over the lazy dog.");
  lineWith(lines, "Times New Roman 12 point: Pack my box with five dozen liquor jugs.");
  lineWith(lines, "caf\xC3\xA9, na\xC3\xAFve, \xC3\x85ngstr\xC3\xB6m, \xC2\xA3 5, \xE2\x82\xAC 10.");
}

TEST_F(SamplesTest, LandscapePageInsideAPortraitReport) {
  const fs::path pdf = render("landscape-trays", {"--main-tray", "1", "--alt-tray", "2"});
  const auto sizes = pdfPageSizes(pdf);
  ASSERT_EQ(sizes.size(), 3u);
  EXPECT_NEAR(sizes[0].width, 595.28, 0.01);
  EXPECT_NEAR(sizes[0].height, 841.89, 0.01);
  EXPECT_NEAR(sizes[1].width, 841.89, 0.01);
  EXPECT_NEAR(sizes[1].height, 595.28, 0.01);
  EXPECT_NEAR(sizes[2].width, 595.28, 0.01);
  const auto lines = pdfTextLines(pdf);
  // The long line fits the landscape width: it comes out whole.
  lineWith(lines, "so it shows the landscape width.");
}

TEST_F(SamplesTest, LogoIsPlacedAtTheColumnOnTheFirstBaseline) {
  const fs::path pdf = render("logo");
  // Column 50 at 10 cpi and 600 dpi is x 3000; the first baseline is one line (100 dots) down.
  const Raster r = pdfRaster(pdf, 1, 600, 2980, 80, 280, 170);
  auto at = [&](int x, int y) { return r.at(x - 2980, y - 80); };
  // The rasteriser may move an image edge by a pixel, so each point keeps two pixels off the edges.
  EXPECT_EQ(at(3002, 102), 0x00A000u) << "green corner at the top left";
  EXPECT_EQ(at(3057, 137), 0x00A000u);
  EXPECT_EQ(at(3063, 102), 0xC80000u) << "red top half";
  EXPECT_EQ(at(3237, 157), 0xC80000u);
  EXPECT_EQ(at(3202, 162), 0x0000C8u) << "blue bottom half";
  EXPECT_EQ(at(3237, 218), 0x0000C8u);
  EXPECT_EQ(at(3243, 150), 0xFFFFFFu) << "right of the logo";
  EXPECT_EQ(at(3100, 223), 0xFFFFFFu) << "below the logo";
  EXPECT_EQ(at(2997, 150), 0xFFFFFFu) << "left of the logo";
  EXPECT_EQ(at(3100, 97), 0xFFFFFFu) << "above the logo";
}

TEST_F(SamplesTest, FailuresAreReportedWithANonZeroExit) {
  const ProgramResult missing = runProgram(programPath("vornrender"), {"-o", (root_.path() / "x.pdf").string(),
                                                                       (root_.path() / "none.vps").string()},
                                             {});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.standardError.find("cannot read"), std::string::npos) << missing.standardError;

  const ProgramResult unwritable = runProgram(
      programPath("vornrender"), {"-o", (root_.path() / "no-folder" / "x.pdf").string(),
                                  (samplesFolder() / "ledger.vps").string()},
      {});
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_NE(unwritable.standardError.find("could not be started"), std::string::npos) << unwritable.standardError;

  const ProgramResult usage = runProgram(programPath("vornrender"), {"--paper", "B5"});
  EXPECT_EQ(usage.exitCode, 2);
  const ProgramResult help = runProgram(programPath("vornrender"), {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* option : {"--output", "--printer", "--resolution", "--paper", "--margins", "--courier",
                             "--top-line", "--fixed-layout", "--no-overflow", "--eject-mark", "--load-dir",
                             "--main-tray", "--alt-tray", "--doc-name"}) {
    EXPECT_NE(help.standardOutput.find(option), std::string::npos) << option;
  }
}

TEST_F(SamplesTest, PrintsOnAConfiguredBuiltinPrinter) {
  const fs::path folder = root_.path() / "spool";
  fs::create_directories(folder);
  writeRegistry(root_.path(),
                "Windows Registry Editor Version 5.00\r\n\r\n"
                "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Desk]\r\n"
                "\"Port\"=\"" + folder.string() + "\"\r\n");
  const ProgramResult run =
      runProgram(programPath("vornrender"), {"--printer", "Desk", "--doc-name", "Vorn: LEDGER",
                                             (samplesFolder() / "ledger.vps").string()},
                 {{"VORNPRINT_ROOT", root_.path().string()}, {"CUPS_SERVER", (root_.path() / "none").string()}});
  ASSERT_EQ(run.exitCode, 0) << run.standardError;
  EXPECT_TRUE(fs::exists(folder / "1 Vorn_ LEDGER.pdf"));

  const ProgramResult unknown = runProgram(programPath("vornrender"),
                                           {"--printer", "Nowhere", (samplesFolder() / "ledger.vps").string()},
                                           {{"CUPS_SERVER", (root_.path() / "none").string()}});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_NE(unknown.standardError.find("1801"), std::string::npos) << unknown.standardError;
}

}  // namespace
}  // namespace vorn::test
