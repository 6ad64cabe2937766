#include "service/environment_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorn {
namespace {

using namespace std::string_literals;

const std::string kVariable = "TerminateMutex=000000003\0"s;

// The block's bytes up to and with its final zero.
std::string used(const std::vector<char>& block) {
  const std::string bytes(block.begin(), block.end());
  const auto end = bytes.find("\0\0"s);
  return end == std::string::npos ? bytes : bytes.substr(0, end + 2);
}

TEST(SetEnvironmentBlockVariable, PlacesReplacesAndRefusesAtTheLimits) {
  struct Case {
    const char* what;
    std::string block;  // its whole size
    int expected;
    std::string after;  // used part; empty: unchanged
  };
  const std::string room(25, '\0');
  const std::vector<Case> cases = {
      {"by name without regard to case, '_' after the letters", "ALLUSERS=x\0temp=1\0TMP=2\0zeta=3\0_x=4\0\0"s + room,
       0, "ALLUSERS=x\0temp=1\0"s + kVariable + "TMP=2\0zeta=3\0_x=4\0\0"s},
      {"first", "z=1\0\0"s + room, 0, kVariable + "z=1\0\0"s},
      {"last", "A=1\0\0"s + room, 0, "A=1\0"s + kVariable + "\0"s},
      {"into an empty block", "\0"s + room, 0, kVariable + "\0"s},
      {"one of the same name in any case is replaced", "A=1\0TERMINATEMUTEX=7\0Z=2\0\0"s + room, 0,
       "A=1\0"s + kVariable + "Z=2\0\0"s},
      {"exactly full", "A=1\0\0"s + room, 0, "A=1\0"s + kVariable + "\0"s},
      {"one byte short", "A=1\0\0"s + std::string(24, '\0'), -1, ""},
      {"no final zero within the block", "A=1\0BBBB"s, -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<char> block(c.block.begin(), c.block.end());
    const std::vector<char> before = block;
    EXPECT_EQ(SetEnvironmentBlockVariable(block, "TerminateMutex", "000000003"), c.expected);
    if (c.after.empty()) {
      EXPECT_EQ(block, before);
    } else {
      EXPECT_EQ(used(block), c.after);
    }
  }
}

TEST(CopyEnvironmentBlock, UsesAtMostTheCopyLimitAndKeepsRoomForTheVariable) {
  // A string, its zero and the block's final zero within 24476 bytes.
  for (const std::size_t length : {kEnvironmentCopyLimit - 2, kEnvironmentCopyLimit - 1}) {
    SCOPED_TRACE(length);
    const std::string source = "A=1\0"s + "V=" + std::string(length - 6, 'x') + "\0\0"s;
    std::vector<char> block;
    const bool fits = CopyEnvironmentBlock(source, block);
    EXPECT_EQ(fits, length == kEnvironmentCopyLimit - 2);
    EXPECT_EQ(block.size(), kEnvironmentBlockSize);
    if (fits) {
      EXPECT_EQ(used(block), source);
      EXPECT_EQ(SetEnvironmentBlockVariable(block, "TerminateMutex", "000000003"), 0);
    }
  }
}

}  // namespace
}  // namespace vorn
