#include "tools/vornrender/render_options.h"

#include <gtest/gtest.h>

#include "agent/render/vorn_print.h"

namespace vorn::tools {
namespace {

TEST(RenderOptionsTest, ReadsEveryOption) {
  std::string error;
  const auto options = parseRenderOptions(
      {"--printer", "LASER1", "--courier", "--top-line", "--fixed-layout", "--no-overflow", "--eject-mark",
       "--load-dir", "/srv/forms", "--main-tray", "1", "--alt-tray", "258", "--doc-name", "Vorn: X", "in.vps"},
      error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->printerName, "LASER1");
  EXPECT_EQ(options->optionBits, OPT_COURIER | OPT_TOP_LINE | OPT_FIXED_LAYOUT | OPT_NO_OVERFLOW | OPT_EJECT_MARK);
  EXPECT_EQ(options->loadDirectory, "/srv/forms");
  EXPECT_EQ(options->mainTray, 1);
  EXPECT_EQ(options->altTray, 258);
  EXPECT_EQ(options->docName, "Vorn: X");
  EXPECT_EQ(options->streamFile, "in.vps");
}

TEST(RenderOptionsTest, PdfDeviceSettings) {
  std::string error;
  const auto options =
      parseRenderOptions({"-o", "out.pdf", "--resolution", "300", "--paper", "Letter", "--margins", "250", "a"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->outputFile, "out.pdf");
  EXPECT_EQ(options->pdf.resolution, 300);
  EXPECT_EQ(options->pdf.paper, "Letter");
  EXPECT_EQ(options->pdf.marginThousandths, 250);
}

struct BadCase {
  std::vector<std::string> args;
  const char* reason;  // part of the error text
};

class RenderOptionsErrorTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(RenderOptionsErrorTest, IsAUsageError) {
  std::string error;
  EXPECT_FALSE(parseRenderOptions(GetParam().args, error));
  EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderOptionsErrorTest,
    ::testing::Values(BadCase{{"-o", "x.pdf"}, "no stream file"}, BadCase{{"in.vps"}, "either -o"},
                      BadCase{{"-o", "x.pdf", "--printer", "P", "in"}, "either -o"},
                      BadCase{{"-o"}, "needs a value"}, BadCase{{"--resolution", "71", "-o", "x", "in"}, "72 to 4800"},
                      BadCase{{"--resolution", "6OO", "-o", "x", "in"}, "not a number"},
                      BadCase{{"--main-tray", "65536", "-o", "x", "in"}, "0 to 65535"},
                      BadCase{{"--paper", "A5", "-o", "x", "in"}, "neither A4 nor Letter"},
                      BadCase{{"--bogus", "-o", "x", "in"}, "unknown option --bogus"},
                      BadCase{{"-o", "x", "a", "b"}, "only one stream file"}));

TEST(RenderOptionsTest, HelpWinsOverEverythingElse) {
  std::string error;
  const auto options = parseRenderOptions({"--bogus-later-is-fine", "--help"}, error);
  EXPECT_FALSE(options) << "an unknown option before --help is still an error";
  const auto help = parseRenderOptions({"--help", "--bogus"}, error);
  ASSERT_TRUE(help);
  EXPECT_TRUE(help->help);
}

}  // namespace
}  // namespace vorn::tools
