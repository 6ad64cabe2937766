// The line discipline, page breaks and the stream's control bytes, observed
// as device calls.
#include <string>
#include <vector>

#include "tests/unit/render/render_fixture.h"

namespace vorn::testing {
namespace {

using Texts = std::vector<std::string>;

class PrintStreamTest : public RenderFixture {};

TEST_F(PrintStreamTest, LinesAdvanceByTheLinePitchFromTheLineOrigin) {
  ASSERT_EQ(start(), 0);
  EXPECT_EQ(print("AB\nCD\n"), 0);
  EXPECT_EQ(placedTexts(), (Texts{"AB@0,100", "CD@0,200"}));
  EXPECT_EQ(log().count(Call::StartPage), 1);
}

TEST_F(PrintStreamTest, NothingHappensWithoutAnOpenDocument) {
  EXPECT_EQ(print("AB\n"), -1);
  ASSERT_EQ(start(), 0);
  VornPrintEnd(state);
  const auto calls = log().calls.size();
  EXPECT_EQ(print("AB\n"), -1);
  EXPECT_EQ(log().calls.size(), calls);
}

TEST_F(PrintStreamTest, EmptyAndNulOnlyBlocksOpenNoPage) {
  ASSERT_EQ(start(), 0);
  const auto calls = log().calls.size();
  EXPECT_EQ(VornPrintData(state, {}), 0);
  EXPECT_EQ(print(std::string(5, '\0')), 0);
  EXPECT_EQ(log().calls.size(), calls);
}

struct LineCase {
  const char* name;
  std::vector<std::string> blocks;
  Texts expected;
};

class LineDisciplineTest : public RenderFixture, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineDisciplineTest, PlacesTextAsExpected) {
  ASSERT_EQ(start(), 0);
  for (const auto& block : GetParam().blocks) ASSERT_EQ(print(block), 0);
  EXPECT_EQ(placedTexts(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineDisciplineTest,
    ::testing::Values(
        LineCase{"CarriageReturnOverprints", {"AB\rCD\n"}, {"AB@0,100", "CD@0,100"}},
        LineCase{"CrLfLfAdvancesTwoLines", {"A\r\n\nB\n"}, {"A@0,100", "B@0,300"}},
        LineCase{"LfLfAdvancesTwoLines", {"A\n\nB\n"}, {"A@0,100", "B@0,300"}},
        LineCase{"CrThenLfInNextBlockActsAsCrLf", {"A\r", "\nB\n"}, {"A@0,100", "B@0,200"}},
        LineCase{"CrAndLfInOneBlock", {"A\r\nB\n"}, {"A@0,100", "B@0,200"}},
        LineCase{"TextContinuesAcrossBlocks", {"AB", "CD\n"}, {"ABCD@0,100"}},
        LineCase{"SoAppendsSpaces", {std::string("A\x0e\x03" "B\n")}, {"A   B@0,100"}},
        LineCase{"SoWithZeroCountAppendsNothing", {std::string("A\x0e\x00" "B\n", 5)}, {"AB@0,100"}},
        LineCase{"TabAndBellGiveNoSpace", {"A\tB\x07" "C\n"}, {"ABC@0,100"}},
        LineCase{"StxWithControlLetterSwallowsItsParameter", {"\x02\x07XYZ\nA\n"}, {"A@0,200"}},
        LineCase{"ParameterCutAtBlockEndContinuesAsText", {"\x02" "C12", "0X\n"}, {"0X@0,100"}},
        LineCase{"StxAsLastByteIsDropped", {"A\x02", "B\n"}, {"AB@0,100"}},
        LineCase{"SoWithoutCountIsDropped", {"A\x0e", "B\n"}, {"AB@0,100"}},
        LineCase{"ColumnMovesWithinTheLine", {std::string("AB\x02J5\0X\n", 8)}, {"AB@0,100", "X@300,100"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintStreamTest, AFullBufferIsDrawnAndTheLineContinues) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print(std::string(1001, 'x') + "\n"), 0);
  EXPECT_EQ(placedTexts(), (Texts{std::string(1000, 'x') + "@0,100", "x@10000,100"}));
}

// An endless line costs the device nothing once it has run past every page:
// only a line start or a column sets the position again and draws again.
TEST_F(PrintStreamTest, TextPastEveryPageIsDroppedUntilThePositionIsSetAgain) {
  log().caps[platform::kPhysicalWidth] = 4960;
  log().caps[platform::kPhysicalHeight] = 7016;  // nothing shows past 2 x 7016 = 14032
  ASSERT_EQ(start(), 0);
  const std::string endless(100000, 'x');
  const std::string run(1000, 'x');
  ASSERT_EQ(print(endless + "\rCR" + endless + std::string("\x02J2\0", 4) + "COL" + endless + "\nLF\n"), 0);
  EXPECT_EQ(placedTexts(), (Texts{run + "@0,100", run + "@10000,100", "CR" + run.substr(2) + "@0,100",
                                  run + "@10000,100", "COL" + run.substr(3) + "@120,100", run + "@10120,100",
                                  "LF@0,200"}));
  // A device that does not tell its size draws all of it, as before.
  log().caps.erase(platform::kPhysicalWidth);
  log().caps.erase(platform::kPhysicalHeight);
  const auto drawn = log().count(Call::TextOut);
  ASSERT_EQ(print(std::string(5000, 'y') + "\n"), 0);
  EXPECT_EQ(log().count(Call::TextOut), drawn + 5);
}

TEST_F(PrintStreamTest, SoThatDoesNotFitDrawsTheBufferFirst) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print(std::string(999, 'x') + "\x0e\x05" "y\n"), 0);
  EXPECT_EQ(placedTexts(), (Texts{std::string(999, 'x') + "@0,100", "     y@9990,100"}));
}

TEST_F(PrintStreamTest, FormFeedsWithoutTextGiveBlankPages) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("\f\f"), 0);
  EXPECT_EQ(log().count(Call::StartPage), 2);
  EXPECT_EQ(log().count(Call::EndPage), 2);
  EXPECT_EQ(log().count(Call::TextOut), 0);
}

TEST_F(PrintStreamTest, StrayControlAfterLastFormFeedLeavesABlankPageAtTheEnd) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A\n\f\x07"), 0);
  VornPrintEnd(state);
  EXPECT_EQ(log().count(Call::StartPage), 2);
  EXPECT_EQ(log().count(Call::EndPage), 2);
}

TEST_F(PrintStreamTest, UnterminatedLastLineIsNotDrawnAtDocumentEnd) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A\nB"), 0);
  VornPrintEnd(state);
  EXPECT_EQ(log().texts(), (Texts{"A"}));
}

TEST_F(PrintStreamTest, LineAtPageHeightStaysOneUnitLowerBreaks) {
  log().caps[platform::kVertRes] = 200;
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A\nB\nC\n"), 0);
  EXPECT_EQ(placedTexts(), (Texts{"A@0,100", "B@0,200", "C@0,100"}));
  EXPECT_EQ(log().count(Call::StartPage), 2);
  EXPECT_EQ(log().count(Call::EndPage), 1);
}

TEST_F(PrintStreamTest, NoOverflowNeverBreaksAPage) {
  log().caps[platform::kVertRes] = 200;
  ASSERT_EQ(start(OPT_NO_OVERFLOW), 0);
  ASSERT_EQ(print("A\nB\nC\n"), 0);
  EXPECT_EQ(placedTexts(), (Texts{"A@0,100", "B@0,200", "C@0,300"}));
  EXPECT_EQ(log().count(Call::StartPage), 1);
}

TEST_F(PrintStreamTest, BlankLinesPastTheBottomBreakThePageToo) {
  log().caps[platform::kVertRes] = 250;
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A\n\n\nB\n"), 0);
  // The third line feed pays the owed advance to 300 and breaks the page.
  EXPECT_EQ(placedTexts(), (Texts{"A@0,100", "B@0,200"}));
  EXPECT_EQ(log().count(Call::StartPage), 2);
}

TEST_F(PrintStreamTest, TopLineRuleOnFirstAndLaterPages) {
  ASSERT_EQ(start(OPT_TOP_LINE), 0);
  ASSERT_EQ(print("A\nB\nC\n\fD\nE\n"), 0);
  EXPECT_EQ(placedTexts(), (Texts{"A@0,30", "B@0,31", "C@0,131", "D@0,30", "E@0,130"}));
}

TEST_F(PrintStreamTest, TopLineRuleDoesNotApplyAfterAPageBreak) {
  log().caps[platform::kVertRes] = 140;
  ASSERT_EQ(start(OPT_TOP_LINE), 0);
  ASSERT_EQ(print("A\nB\nC\nD\n"), 0);
  EXPECT_EQ(placedTexts(), (Texts{"A@0,30", "B@0,31", "C@0,131", "D@0,100"}));
}

TEST_F(PrintStreamTest, EjectMarkGoesBelowTheLastLine) {
  ASSERT_EQ(start(OPT_EJECT_MARK), 0);
  ASSERT_EQ(print("TEXT\f"), 0);
  EXPECT_EQ(placedTexts(), (Texts{"TEXT@0,100", "^EJECT@0,200"}));
  ASSERT_EQ(print("TEXT\n\f"), 0);
  EXPECT_EQ(placedTexts(), (Texts{"TEXT@0,100", "^EJECT@0,200", "TEXT@0,100", "^EJECT@0,300"}));
}

TEST_F(PrintStreamTest, OwedAdvanceUsesThePitchInForceWhenPaid) {
  ASSERT_EQ(start(), 0);
  // 8 lines per inch after the line feed: the next line is 75 lower, not 100.
  ASSERT_EQ(print(std::string("A\n\x02@80\0B\n", 10)), 0);
  EXPECT_EQ(placedTexts(), (Texts{"A@0,100", "B@0,175"}));
}

TEST_F(PrintStreamTest, EndPageCommandDrawsTextAndEndsThePage) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A\x02$"), 0);
  EXPECT_EQ(log().texts(), (Texts{"A"}));
  EXPECT_EQ(log().count(Call::EndPage), 1);
  EXPECT_FALSE(state.document.pageOpen);
  ASSERT_EQ(print("\x02$"), 0);  // opens a page first: a blank page
  EXPECT_EQ(log().count(Call::StartPage), 2);
  EXPECT_EQ(log().count(Call::EndPage), 2);
}

// Each failure code, through a device call that fails.
struct FailureCase {
  const char* name;
  Call call;
  int nth;
  std::string stream;
  int expected;
  unsigned vertRes = 6600;
};

class ResultCodeTest : public RenderFixture, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ResultCodeTest, ReturnsTheCodeAndStops) {
  const auto& param = GetParam();
  log().caps[platform::kVertRes] = static_cast<int>(param.vertRes);
  ASSERT_EQ(start(), 0);
  log().failNth(param.call, param.nth);
  EXPECT_EQ(print(param.stream + "Z\n"), param.expected);
  for (const auto& text : log().texts()) EXPECT_EQ(text.find('Z'), std::string::npos) << "read past the failure";
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ResultCodeTest,
    ::testing::Values(FailureCase{"FontCreation", Call::CreateFont, 1, "A", -3},
                      FailureCase{"FontChangeFlush", Call::TextOut, 1, "A\x02" "C3\x07", -3},
                      FailureCase{"PageStart", Call::StartPage, 1, "A", -4},
                      FailureCase{"EndPageCommand", Call::EndPage, 1, "A\x02$", -5},
                      FailureCase{"EndPageCommandFlush", Call::TextOut, 1, "A\x02$", -5},
                      FailureCase{"FormFeed", Call::EndPage, 1, "A\n\f", -6},
                      FailureCase{"FormFeedFlush", Call::TextOut, 1, "A\f", -7},
                      FailureCase{"LineFeedText", Call::TextOut, 1, "A\n", -7},
                      FailureCase{"CarriageReturnText", Call::TextOut, 1, "A\r", -7},
                      FailureCase{"FullBuffer", Call::TextOut, 1, std::string(1001, 'x'), -7},
                      FailureCase{"SoFlush", Call::TextOut, 1, std::string(999, 'x') + "\x0e\x05", -7},
                      FailureCase{"PageBreakEnd", Call::EndPage, 1, "A\nB\nC\n", -7, 200},
                      FailureCase{"PageBreakStart", Call::StartPage, 2, "A\nB\nC\n", -7, 200}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintStreamTest, FailuresOfSideChannelsDoNotStopTheStream) {
  ASSERT_EQ(start(), 0);
  log().failEvery(Call::Escape);
  log().failEvery(Call::MoveTo);
  EXPECT_EQ(print(std::string("A\x14\x22xy\x02J3\0B\x02" "2LOGO\n", 17)), 0);
}

}  // namespace
}  // namespace vorn::testing
