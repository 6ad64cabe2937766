// Stream commands: parameter values and what each letter changes.
#include <cstdint>
#include <functional>
#include <string>

#include "agent/render/commands.h"
#include "agent/render/line_discipline.h"
#include "tests/unit/render/render_fixture.h"

namespace vorn::testing {
namespace {

struct ValueCase {
  std::string parameter;
  std::int32_t expected;
};

class ParameterValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ParameterValueTest, Decodes) { EXPECT_EQ(ParameterValue(bytesOf(GetParam().parameter)), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Values, ParameterValueTest,
                         ::testing::Values(ValueCase{"120", 120}, ValueCase{"ab`", -120}, ValueCase{"-5", -25},
                                           ValueCase{"", 0}, ValueCase{"0007", 7},
                                           ValueCase{"12a", -121},          // one negative digit negates all
                                           ValueCase{" ", -16},             // a space is the digit -16
                                           ValueCase{"2147483648", INT32_MIN},  // wraps
                                           ValueCase{"4294967297", 1},
                                           ValueCase{"\xff", -159}));

struct CommandCase {
  const char* name;
  std::string stream;
  std::function<std::int32_t(const RenderState&)> field;
  std::int32_t expected;
  std::uint32_t options = 0;
};

class CommandTest : public RenderFixture, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandTest, SetsItsField) {
  ASSERT_EQ(start(GetParam().options), 0);
  ASSERT_EQ(print(GetParam().stream), 0);
  EXPECT_EQ(GetParam().field(state), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Letters, CommandTest,
    ::testing::Values(
        CommandCase{"TopMargin", command('%', "25"), [](auto& s) { return s.format.topMargin; }, 25},
        CommandCase{"LeftMargin", command('&', "30"), [](auto& s) { return s.format.leftMargin; }, 30},
        CommandCase{"LinePitch", command('@', "80"), [](auto& s) { return s.format.linePitch; }, 80},
        CommandCase{"CharPitch", command('A', "120"), [](auto& s) { return s.format.charPitch; }, 120},
        CommandCase{"Underline", command('B', "1"), [](auto& s) { return s.format.underline; }, 1},
        CommandCase{"StrokeWeight", command('C', "g"), [](auto& s) { return s.format.strokeWeight; }, -7},
        CommandCase{"Italic", command('D', "1"), [](auto& s) { return s.format.italic; }, 1},
        CommandCase{"Orientation", command('E', "1"), [](auto& s) { return s.format.orientation; }, 1},
        CommandCase{"Typeface", command('G', "3"), [](auto& s) { return s.format.typeface; }, 3},
        CommandCase{"FontHeight", command('I', "100"), [](auto& s) { return s.format.fontHeight; }, 100},
        CommandCase{"PaperSource", command('"', "1"), [](auto& s) { return s.format.paperSource; }, 1},
        CommandCase{"Duplex", command('q', "1"), [](auto& s) { return s.format.duplex; }, 1},
        CommandCase{"ProportionalSwitchesToArial", command('H', "1"), [](auto& s) { return s.format.typeface; }, 2},
        CommandCase{"ProportionalKeepsTimes", command('G', "3") + command('H', "1"),
                    [](auto& s) { return s.format.typeface; }, 3},
        CommandCase{"FixedSwitchesBackToCourier", command('G', "4") + command('H', "0"),
                    [](auto& s) { return s.format.typeface; }, 0},
        CommandCase{"FixedKeepsCourierOne", command('G', "1") + command('H', "0"),
                    [](auto& s) { return s.format.typeface; }, 1},
        CommandCase{"NegativeTypefaceCountsAsLowForSpacing", command('G', "a") + command('H', "1"),
                    [](auto& s) { return s.format.typeface; }, 2},
        CommandCase{"FixedLayoutIgnoresTopMargin", command('%', "25"), [](auto& s) { return s.format.topMargin; }, 0,
                    OPT_FIXED_LAYOUT},
        CommandCase{"FixedLayoutIgnoresLeftMargin", command('&', "25"), [](auto& s) { return s.format.leftMargin; }, 0,
                    OPT_FIXED_LAYOUT},
        CommandCase{"FixedLayoutIgnoresLinePitch", command('@', "80"), [](auto& s) { return s.format.linePitch; }, 60,
                    OPT_FIXED_LAYOUT},
        CommandCase{"FixedLayoutIgnoresCharPitch", command('A', "120"), [](auto& s) { return s.format.charPitch; }, 100,
                    OPT_FIXED_LAYOUT},
        CommandCase{"FixedLayoutKeepsFontCommands", command('C', "3"), [](auto& s) { return s.format.strokeWeight; }, 3,
                    OPT_FIXED_LAYOUT}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RenderFixture, CommandsWithoutEffectLeaveTheFontClean) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A"), 0);
  ASSERT_FALSE(state.format.fontDirty);
  for (const char letter : {' ', '/', '0', '1'}) {
    ASSERT_EQ(print(command(letter, "5")), 0);
    EXPECT_FALSE(state.format.fontDirty) << letter;
  }
  for (const char letter : {'\'', '(', 'F', 'p'}) {
    state.format.fontDirty = false;
    ASSERT_EQ(print(command(letter, "5")), 0);
    EXPECT_TRUE(state.format.fontDirty) << letter;
  }
}

TEST_F(RenderFixture, SelectorSetToItsCurrentValueDoesNotDirtyTheDevice) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print(command('E', "a")), 0);  // -1, the start value
  EXPECT_FALSE(state.format.deviceModeDirty);
  ASSERT_EQ(print(command('E', "0")), 0);
  EXPECT_TRUE(state.format.deviceModeDirty);
}

TEST_F(RenderFixture, ImmediateCommandsDoNotOpenAPage) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print(command('C', "3") + command('E', "1")), 0);
  EXPECT_EQ(log().count(Call::StartPage), 0);
  EXPECT_EQ(log().count(Call::CreateFont), 0);
}

TEST_F(RenderFixture, ColumnCommandUsesTheLeftMarginAndColumnWidth) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print(command('&', "100") + command('A', "120") + "A\n" + command('J', "4") + "B\n"), 0);
  // 12 characters per inch: columns of 50 dots; the margin is 100 tenths of one.
  EXPECT_EQ(placedTexts(), (std::vector<std::string>{"A@500,100", "B@700,200"}));
}

TEST_F(RenderFixture, ColumnCommandWithHugeValueWrapsInsteadOfOverflowing) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print(command('J', "2147483647") + "B\n"), 0);
  const auto moves = log().of(Call::MoveTo);
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.back().x, static_cast<std::int32_t>(2147483647u * 60u));
}

}  // namespace
}  // namespace vorn::testing
