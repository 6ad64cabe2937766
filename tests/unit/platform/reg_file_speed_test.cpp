// The parser's time must grow with the file, not with its square. Each shape
// of file is parsed once at sixteen times a small size, and sixteen times at
// the small size with every tree kept (so that both runs build as much tree
// in as much new memory): a linear parser takes about as long for both, a
// quadratic path sixteen times as long for the large file. The test allows
// six (a linear parser measures up to about two here). The fastest of a few
// rounds counts, so that a loaded machine does not decide.
#include "platform/regfile/reg_parser.h"
#include "tests/unit/platform/utf16_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

namespace vorn::platform::regfile {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

std::string manyProfiles(int n) {
  std::string text(kHeader);
  for (int i = 0; i < n; ++i) {
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\P" + std::to_string(i) + "]\r\n";
    text += "\"Active\"=\"yes\"\r\n\"Machine\"=\"localhost\"\r\n\"Port\"=\"5001\"\r\n\"MainTray\"=dword:00000007\r\n\r\n";
  }
  return text;
}

std::string manyValuesInOneKey(int n) {
  std::string text(kHeader);
  text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Big]\r\n";
  for (int i = 0; i < n * 4; ++i) text += "\"Value" + std::to_string(i) + "\"=\"text of the value\"\r\n";
  return text;
}

std::string manyKeysUnderDeepParents(int n) {
  std::string text(kHeader);
  // Every key at the same depth, the parents changing every few keys.
  for (int i = 0; i < n * 2; ++i) {
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A" + std::to_string(i / 3) + "\\B\\C" + std::to_string(i) + "]\r\n";
    text += "\"x\"=\"1\"\r\n";
  }
  return text;
}

std::string oneLongHexValue(int n) {
  std::string text(kHeader);
  text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Blob]\r\n\"Data\"=hex:00";
  for (int i = 0; i < n * 4; ++i) text += ",01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n  17";
  return text + "\r\n";
}

// Every value of every key, so that the values a parse leaves in the text
// until asked for are read too.
std::size_t valueCount(const RegKey& key) {
  std::size_t count = key.values().size();
  for (const RegKey* subkey : key.subkeys()) count += valueCount(*subkey);
  return count;
}

// The fastest of `rounds` rounds, each parsing every text in turn and reading
// all its values, with all the trees kept to its end.
double fastestSeconds(const std::vector<std::string>& texts, int rounds) {
  double best = 1e9;
  for (int round = 0; round < rounds; ++round) {
    std::vector<RegParseResult> results;
    results.reserve(texts.size());
    const auto start = std::chrono::steady_clock::now();
    std::size_t values = 0;
    for (const std::string& text : texts) {
      results.push_back(parseRegFile(text, "speed.reg"));
      if (results.back().tree) values += valueCount(results.back().tree->root());
    }
    const auto stop = std::chrono::steady_clock::now();
    for (const RegParseResult& result : results) EXPECT_TRUE(result.tree.has_value()) << result.error;
    EXPECT_GT(values, 0u);
    best = std::min(best, std::chrono::duration<double>(stop - start).count());
  }
  return best;
}

struct Shape {
  const char* label;
  std::function<std::string(int)> make;
};

TEST(RegFileSpeed, TimeGrowsLinearlyWithTheFile) {
  const std::vector<Shape> shapes = {
      {"many profiles", manyProfiles},
      {"many values in one key", manyValuesInOneKey},
      {"many keys under changing parents", manyKeysUnderDeepParents},
      {"one long hex value", oneLongHexValue},
      {"many profiles in UTF-16", [](int n) { return test::asciiAsUtf16File(manyProfiles(n)); }},
  };
  constexpr int kSmall = 1000;  // about 100 KB of the profiles shape
  constexpr int kTimes = 16;
  for (const Shape& shape : shapes) {
    const std::vector<std::string> small(kTimes, shape.make(kSmall));
    const std::vector<std::string> large{shape.make(kSmall * kTimes)};
    const double smallSeconds = fastestSeconds(small, 3);
    const double largeSeconds = fastestSeconds(large, 3);
    EXPECT_LT(largeSeconds, 6 * smallSeconds) << shape.label << ": " << kTimes << " files of " << small[0].size()
                                              << " bytes in " << smallSeconds << " s, one of " << large[0].size()
                                              << " bytes in " << largeSeconds << " s";
  }
}

}  // namespace
}  // namespace vorn::platform::regfile
