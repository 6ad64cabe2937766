#include "platform/ansi_code_page.h"

#include <gtest/gtest.h>

namespace vorn::platform {
namespace {

TEST(AnsiCodePage, RoundTripsEveryByteThroughUtf8) {
  for (int b = 1; b < 256; ++b) {
    const std::string ansi(1, static_cast<char>(b));
    EXPECT_EQ(ansiFromUtf8(utf8FromAnsi(ansi)), ansi) << "byte " << b;
  }
}

TEST(AnsiCodePage, HighControlsAreTheWindowsCharacters) {
  EXPECT_EQ(utf8FromAnsi("\x80"), "\xE2\x82\xAC");  // €
  EXPECT_EQ(utf8FromAnsi("\x9F"), "\xC5\xB8");      // Ÿ
  EXPECT_EQ(utf8FromAnsi("\x81"), "\xC2\x81");      // undefined: the C1 control of the same value
  EXPECT_EQ(utf8FromAnsi("\xE9"), "\xC3\xA9");      // é
}

struct Utf8Case {
  const char* utf8;
  const char* ansi;
};

class AnsiFromUtf8Test : public testing::TestWithParam<Utf8Case> {};

TEST_P(AnsiFromUtf8Test, ConvertsOrSubstitutes) { EXPECT_EQ(ansiFromUtf8(GetParam().utf8), GetParam().ansi); }

INSTANTIATE_TEST_SUITE_P(
    Texts, AnsiFromUtf8Test,
    testing::Values(Utf8Case{"plain", "plain"}, Utf8Case{"caf\xC3\xA9", "caf\xE9"},
                    Utf8Case{"\xE2\x82\xAC 5", "\x80 5"},
                    Utf8Case{"\xE4\xB8\xAD", "?"},          // not in the code page
                    Utf8Case{"\xF0\x9F\x98\x80", "?"},      // four bytes, not in the code page
                    Utf8Case{"a\xC3", "a?"},                // truncated sequence
                    Utf8Case{"\xC0\xAF", "??"},             // overlong form: each byte rejected
                    Utf8Case{"\xED\xA0\x80", "???"},        // a surrogate
                    Utf8Case{"\xFF", "?"}));

TEST(Utf8, ValidityIsStrict) {
  EXPECT_TRUE(isValidUtf8("abc \xC3\xA9 \xF0\x9F\x98\x80"));
  EXPECT_FALSE(isValidUtf8("\xC0\x80"));
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(isValidUtf8("\xE2\x82"));
}

TEST(Utf8, AppendsEveryLength) {
  std::string out;
  for (char32_t cp : {U'A', U'\u00E9', U'\u20AC', U'\U0001F600'}) appendUtf8(out, cp);
  EXPECT_EQ(out, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(AnsiCodePage, LowerCasesLettersOnly) {
  EXPECT_EQ(ansiLowerCase("ABC xyz 019 /\"\xC9\xD7\x8A\x9F"), "abc xyz 019 /\"\xE9\xD7\x9A\xFF");
  EXPECT_EQ(ansiUpperCase("abc XYZ 019 /\"\xE9\xF7\x9A\xFF\xDF\xB5"), "ABC XYZ 019 /\"\xC9\xF7\x8A\x9F\xDF\xB5");
}

// Upper and lower case are each other's inverse on every letter, and a byte
// that is neither is left alone by both.
TEST(AnsiCodePage, CaseMappingsAgreeOnEveryByte) {
  for (int i = 0; i < 256; ++i) {
    const auto b = static_cast<std::uint8_t>(i);
    const std::uint8_t upper = ansiUpper(b);
    const std::uint8_t lower = ansiLower(b);
    if (upper != b) {
      EXPECT_EQ(ansiLower(upper), b) << i;
    }
    if (lower != b) {
      EXPECT_EQ(ansiUpper(lower), b) << i;
    }
    EXPECT_EQ(ansiUpper(upper), upper) << i;
    EXPECT_EQ(ansiLower(lower), lower) << i;
  }
}

TEST(AnsiCodePage, ComparesWithoutRegardToCaseInWindowsNameOrder) {
  const struct {
    std::string_view a, b;
    int sign;
  } cases[] = {
      {"PATH", "path", 0},
      {"\xC9" "t\xE9", "\xE9" "T\xC9", 0},   // accented letters fold too
      {"\x8A" "a", "\x9A" "A", 0},             // Š š
      {"", "", 0},
      {"a", "B", -1},
      {"Path", "PATHEXT", -1},                // a prefix sorts first
      {"a", "_", -1},                         // upper-cased: 'A' (0x41) before '_' (0x5F)
      {"\xFF", "\x80", -1},                   // by code point: Ÿ U+0178 before € U+20AC
      {"z", "\xE0", -1},                      // Z before À
  };
  for (const auto& c : cases) {
    const int forward = compareIgnoringCase(c.a, c.b);
    const int backward = compareIgnoringCase(c.b, c.a);
    EXPECT_EQ((forward > 0) - (forward < 0), c.sign) << c.a << " / " << c.b;
    EXPECT_EQ((backward > 0) - (backward < 0), -c.sign) << c.a << " / " << c.b;
    EXPECT_EQ(equalsIgnoringCase(c.a, c.b), c.sign == 0) << c.a << " / " << c.b;
  }
}

}  // namespace
}  // namespace vorn::platform
