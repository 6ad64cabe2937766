// Raw printer data: inline DC4 runs and macro files, as pass-through escapes.
#include <string>
#include <vector>

#include "agent/render/raw_data.h"
#include "tests/unit/render/render_fixture.h"

namespace vorn::testing {
namespace {

std::vector<std::byte> buffer(std::string_view bytes) {
  const auto span = std::as_bytes(std::span(bytes.data(), bytes.size()));
  return {span.begin(), span.end()};
}

class RawDataTest : public RenderFixture {
 protected:
  void SetUp() override { ASSERT_EQ(start(), 0); }

  std::vector<std::vector<std::byte>> passthroughs() {
    std::vector<std::vector<std::byte>> out;
    for (const auto& c : log().of(Call::Escape)) {
      if (c.value == platform::kPassthrough) out.push_back(c.data);
    }
    return out;
  }
};

struct InlineCase {
  const char* name;
  std::string stream;
  std::vector<std::string> sent;   // pass-through buffers, count included
  std::vector<std::string> texts;
};

class InlineRawDataTest : public RawDataTest, public ::testing::WithParamInterface<InlineCase> {};

TEST_P(InlineRawDataTest, SendsTheRun) {
  ASSERT_EQ(print(GetParam().stream), 0);
  std::vector<std::vector<std::byte>> expected;
  for (const auto& s : GetParam().sent) expected.push_back(buffer(s));
  EXPECT_EQ(passthroughs(), expected);
  EXPECT_EQ(log().texts(), GetParam().texts);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, InlineRawDataTest,
    ::testing::Values(
        InlineCase{"ThreeBytes", "\x14\x23" "abcZ\n", {std::string("\x03\x00" "abc", 5)}, {"Z"}},
        InlineCase{"EmptyRun", "\x14\x20" "Z\n", {std::string("\x00\x00", 2)}, {"Z"}},
        InlineCase{"LengthBelowBiasIsAnEmptyRun", "\x14\x05" "XY\n", {std::string("\x00\x00", 2)}, {"XY"}},
        InlineCase{"ControlBytesInsideTheRun", std::string("\x14\x24\x00\x1b\x0c\x02Z\n", 8),
                   {std::string("\x04\x00\x00\x1b\x0c\x02", 6)}, {"Z"}},
        InlineCase{"RunCutByTheBlockEndIsDropped", "A\x14\x25" "ab", {}, {}},
        InlineCase{"LengthByteOutsideTheBlock", "A\x14", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RawDataTest, CutRunStopsTheBlockAndTheNextBlockContinuesTheLine) {
  ASSERT_EQ(print("A\x14\x25" "ab"), 0);
  ASSERT_EQ(print("C\n"), 0);
  EXPECT_EQ(log().texts(), (std::vector<std::string>{"AC"}));
  EXPECT_EQ(log().count(Call::Escape), 0);
}

TEST_F(RawDataTest, BufferedTextIsDrawnBeforeTheData) {
  ASSERT_EQ(print("AB\x14\x21Z"), 0);
  std::vector<Call> order;
  for (const auto& c : log().calls) {
    if (c.kind == Call::TextOut || c.kind == Call::Escape) order.push_back(c.kind);
  }
  EXPECT_EQ(order, (std::vector<Call>{Call::TextOut, Call::Escape, Call::Escape}));
  // The support query asks for the pass-through escape by number.
  const auto query = log().of(Call::Escape).at(0);
  EXPECT_EQ(query.value, platform::kQueryEscSupport);
  EXPECT_EQ(query.data, buffer(std::string("\x13\x00\x00\x00", 4)));
}

TEST_F(RawDataTest, DeviceWithoutPassThroughDropsDataAndGoesOn) {
  log().passthroughSupported = false;
  files.add("forms\\INIT.mac", std::string_view("\x1b" "E"));
  ASSERT_EQ(print("\x14\x22" "ab" "\x02" "2INIT" + std::string(1, '\0') + "Z\n"), 0);
  EXPECT_TRUE(passthroughs().empty());
  EXPECT_EQ(log().texts(), (std::vector<std::string>{"Z"}));
  EXPECT_EQ(SendMacroFile(state, "INIT"), -1);
  const std::uint8_t data[] = {1, 2};
  EXPECT_EQ(SendPassthrough(state, data), -1);
}

TEST_F(RawDataTest, MacroIsSentWholeWithItsCount) {
  files.add("forms\\INIT.mac", std::string_view("\x1b" "E\x00" "x", 4));
  ASSERT_EQ(print("\x02" "2INIT" + std::string(1, '\0')), 0);
  EXPECT_EQ(passthroughs(), (std::vector<std::vector<std::byte>>{buffer(std::string("\x04\x00\x1b" "E\x00x", 6))}));
}

struct MacroSizeCase {
  std::size_t size;
  int result;
  bool sent;
};

class MacroSizeTest : public RawDataTest, public ::testing::WithParamInterface<MacroSizeCase> {};

TEST_P(MacroSizeTest, SizesTheCountCanHold) {
  files.add("forms\\BIG.mac", std::string(GetParam().size, 'm'));
  EXPECT_EQ(SendMacroFile(state, "BIG"), GetParam().result);
  const auto sent = passthroughs();
  ASSERT_EQ(sent.size(), GetParam().sent ? 1u : 0u);
  if (GetParam().sent) {
    ASSERT_EQ(sent[0].size(), GetParam().size + 2);
    EXPECT_EQ(std::to_integer<std::size_t>(sent[0][0]) | std::to_integer<std::size_t>(sent[0][1]) << 8,
              GetParam().size);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, MacroSizeTest,
                         ::testing::Values(MacroSizeCase{0, 0, true}, MacroSizeCase{300, 0, true},
                                           MacroSizeCase{65535, 0, true}, MacroSizeCase{65536, -1, false},
                                           MacroSizeCase{100000, -1, false}));

TEST_F(RawDataTest, MacroResults) {
  EXPECT_EQ(SendMacroFile(state, "MISSING"), 0);
  EXPECT_EQ(SendMacroFile(state, "..\\OUTSIDE"), 0);
  files.add("forms\\SIZE.mac", std::string_view("abc")).failSize = true;
  EXPECT_EQ(SendMacroFile(state, "SIZE"), 0);
  auto& unreadable = files.add("forms\\READ.mac", std::string_view("abc"));
  unreadable.readChunk = 1;
  unreadable.failReadAfter = 1;
  EXPECT_EQ(SendMacroFile(state, "READ"), -1);
  files.add("forms\\CHUNKS.mac", std::string_view("abcdef")).readChunk = 2;
  EXPECT_EQ(SendMacroFile(state, "CHUNKS"), 0);
  EXPECT_EQ(passthroughs().size(), 1u);
}

TEST_F(RawDataTest, PassThroughResults) {
  const std::uint8_t data[] = {1, 2, 3};
  EXPECT_EQ(SendPassthrough(state, data), 0);
  log().failNth(Call::Escape, 4);  // the second data escape
  EXPECT_EQ(SendPassthrough(state, data), -1);
  const std::vector<std::uint8_t> large(300, 9);
  EXPECT_EQ(SendPassthrough(state, large), 0);
  const auto sent = passthroughs();
  EXPECT_EQ(sent.back().size(), 302u);
  EXPECT_EQ(std::to_integer<int>(sent.back()[0]), 300 & 0xFF);
  EXPECT_EQ(std::to_integer<int>(sent.back()[1]), 300 >> 8);
  const std::vector<std::uint8_t> tooLarge(65536, 9);
  EXPECT_EQ(SendPassthrough(state, tooLarge), -1);
}

}  // namespace
}  // namespace vorn::testing
