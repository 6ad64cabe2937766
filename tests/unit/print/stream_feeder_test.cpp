#include "tools/vornrender/stream_feeder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

namespace vorn::tools {
namespace {

struct Fed {
  std::string bytes;
  std::size_t largestBlock = 0;
  int blocks = 0;
};

Fed feed(const std::string& stream) {
  std::istringstream in(stream);
  Fed fed;
  bool readFailed = false;
  EXPECT_EQ(feedStream(in,
                       [&](std::span<const std::uint8_t> block) {
                         fed.bytes.append(block.begin(), block.end());
                         fed.largestBlock = std::max(fed.largestBlock, block.size());
                         ++fed.blocks;
                         return 0;
                       },
                       readFailed),
            0);
  EXPECT_FALSE(readFailed);
  return fed;
}

TEST(StreamFeederTest, BlocksStayBoundedAndEndBetweenSequences) {
  const struct {
    const char* what;
    std::string stream;
  } cases[] = {
      // A command whose parameter never ends: cut as a message end cuts it.
      {"unterminated parameter", "\x02" "A" + std::string(3 * kStreamReadSize, 'x')},
      {"carriage return and endless line feeds", "ab\r" + std::string(2 * kStreamReadSize, '\n')},
      // Ordinary text is handed on read by read.
      {"text", std::string(2 * kStreamReadSize + 10, 'y') + "\r\n"},
  };
  for (const auto& c : cases) {
    const Fed fed = feed(c.stream);
    EXPECT_EQ(fed.bytes, c.stream) << c.what;
    EXPECT_LE(fed.largestBlock, kStreamReadSize) << c.what;
    EXPECT_GE(fed.blocks, 2) << c.what;
  }
}

}  // namespace
}  // namespace vorn::tools
