#include "service/environment_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorn {
namespace {

// A block of `size` bytes holding `strings`, the final zero and zeros after.
std::vector<char> blockOf(const std::vector<std::string>& strings, std::size_t size) {
  std::vector<char> block(size, '\0');
  std::size_t position = 0;
  for (const std::string& entry : strings) {
    std::copy(entry.begin(), entry.end(), block.begin() + static_cast<std::ptrdiff_t>(position));
    position += entry.size() + 1;
  }
  return block;
}

std::vector<std::string> stringsOf(const std::vector<char>& block) {
  std::vector<std::string> strings;
  for (std::size_t position = 0; position < block.size() && block[position] != '\0';) {
    strings.emplace_back(block.data() + position);
    position += strings.back().size() + 1;
  }
  return strings;
}

struct SetCase {
  const char* what;
  std::vector<std::string> strings;
  std::size_t size;  // 0: just large enough for the strings and 25 more bytes
  int expected;
  std::vector<std::string> after;  // empty: unchanged
};

TEST(SetEnvironmentBlockVariable, PlacesReplacesAndRefusesAtTheLimits) {
  const std::string tm = "TerminateMutex=000000003";
  const std::vector<SetCase> cases = {
      {"ordered by name without regard to case, '_' after the letters",
       {"ALLUSERSPROFILE=x", "temp=/tmp", "TMP=/tmp", "zeta=1", "_x=2"}, 0, 0,
       {"ALLUSERSPROFILE=x", "temp=/tmp", tm, "TMP=/tmp", "zeta=1", "_x=2"}},
      {"first", {"z=1"}, 0, 0, {tm, "z=1"}},
      {"last", {"A=1"}, 0, 0, {"A=1", tm}},
      {"into an empty block", {}, 0, 0, {tm}},
      {"a variable of the same name in any case is replaced, not doubled",
       {"A=1", "TERMINATEMUTEX=7", "Z=2"}, 0, 0, {"A=1", tm, "Z=2"}},
      // "A=1\0" 4 bytes + 25 for the new string + the final zero.
      {"exactly full", {"A=1"}, 4 + 25 + 1, 0, {"A=1", tm}},
      {"one byte short", {"A=1"}, 4 + 25, -1, {}},
      {"no final zero within the block", {"A=1", "BBBBBBBB"}, 13, -1, {}},
  };
  for (const SetCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::size_t size = c.size;
    if (size == 0) {
      size = 1 + 25;
      for (const auto& entry : c.strings) size += entry.size() + 1;
    }
    std::vector<char> block = blockOf(c.strings, size);
    if (c.size == 13) block.assign({'A', '=', '1', '\0', 'B', 'B', 'B', 'B', 'B', 'B', 'B', 'B', 'B'});
    const std::vector<char> before = block;
    EXPECT_EQ(SetEnvironmentBlockVariable(block, "TerminateMutex", "000000003"), c.expected);
    if (c.after.empty()) {
      EXPECT_EQ(block, before);
    } else {
      EXPECT_EQ(stringsOf(block), c.after);
    }
  }
}

TEST(CopyEnvironmentBlock, UsesAtMostTheCopyLimit) {
  struct Case {
    std::size_t length;  // of one string
    bool fits;
  };
  // The string, its zero and the block's final zero within 24476 bytes.
  for (const Case c : {Case{kEnvironmentCopyLimit - 2, true}, Case{kEnvironmentCopyLimit - 1, false}}) {
    SCOPED_TRACE(c.length);
    std::string source = "V=" + std::string(c.length - 2, 'x');
    source.push_back('\0');
    source.push_back('\0');
    std::vector<char> block;
    EXPECT_EQ(CopyEnvironmentBlock(source, block), c.fits);
    EXPECT_EQ(block.size(), kEnvironmentBlockSize);
    if (c.fits) {
      EXPECT_EQ(stringsOf(block), std::vector<std::string>{source.substr(0, c.length)});
    }
  }

  // Several strings; the copy keeps their order and leaves room for TerminateMutex.
  const std::string two("A=1\0b=2\0\0", 9);
  std::vector<char> block;
  ASSERT_TRUE(CopyEnvironmentBlock(two, block));
  EXPECT_EQ(stringsOf(block), (std::vector<std::string>{"A=1", "b=2"}));
  EXPECT_EQ(SetEnvironmentBlockVariable(block, "TerminateMutex", "000000003"), 0);

  // A full copy still takes the variable: the 100 bytes kept free hold it.
  std::string full = "V=" + std::string(kEnvironmentCopyLimit - 4, 'x');
  full.append(2, '\0');
  ASSERT_TRUE(CopyEnvironmentBlock(full, block));
  EXPECT_EQ(SetEnvironmentBlockVariable(block, "TerminateMutex", "000000003"), 0);
  EXPECT_EQ(stringsOf(block).size(), 2u);
}

}  // namespace
}  // namespace vorn
