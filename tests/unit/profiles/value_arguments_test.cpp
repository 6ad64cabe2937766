#include "profiles/value_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"

namespace vorn {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes text(std::string_view s) {
  Bytes data(s.begin(), s.end());
  data.push_back(0);
  return data;
}

struct ArgumentCase {
  std::string argument;
  bool force;
  std::string name;  // the value written; empty: refused
  std::uint32_t type;
  Bytes data;
  std::string refusal;  // part of the reason
};

// Each value is written as its reader reads it, and nothing the reader would
// cut, truncate or not find is written.
TEST(ValueArguments, TypedAndLimitedAsTheirReadersTakeThem) {
  const std::string longName(103, 'p');
  const std::vector<ArgumentCase> cases = {
      {"printerName=Office Laser", false, "printername", platform::kRegSz, text("Office Laser"), ""},
      {"printername=" + longName, false, "printername", platform::kRegSz, text(longName), ""},
      {"printername=" + longName + "p", false, "", 0, {}, "104 characters, the agent takes at most 103"},
      {"loadarea=" + std::string(104, 'l'), false, "", 0, {}, "at most 103"},
      {"Location=" + std::string(255, 'l'), false, "Location", platform::kRegSz, text(std::string(255, 'l')), ""},
      {"Location=" + std::string(256, 'l'), false, "", 0, {}, "at most 255"},
      {"Active=" + std::string(255, 'y'), false, "", 0, {}, "the service takes at most 254"},
      {"User=", false, "User", platform::kRegSz, text(""), ""},
      {"Port=5001", false, "Port", platform::kRegSz, text("5001"), ""},
      {"MainTray=7", false, "MainTray", platform::kRegDword, {7, 0, 0, 0}, ""},
      {"alttray=0x102", false, "AltTray", platform::kRegDword, {2, 1, 0, 0}, ""},
      {"PTFOpt=dword:0000ffff", false, "PTFOpt", platform::kRegDword, {0xFF, 0xFF, 0, 0}, ""},
      {"MainTray=65536", false, "", 0, {}, "(0 to 65535)"},
      {"MainTray=seven", false, "", 0, {}, "is not a number"},
      {"MainTray=-1", false, "", 0, {}, "is not a number"},
      {"MainTray=", false, "", 0, {}, "is not a number"},
      {"Colour=blue", false, "", 0, {}, "unknown value \"Colour\""},
      {"Colour=blue", true, "Colour", platform::kRegSz, text("blue"), ""},
      {"Colour=dword:10", true, "Colour", platform::kRegDword, {0x10, 0, 0, 0}, ""},
      {"Colour=dword:123456789", true, "", 0, {}, "up to 8 hex digits"},
      {"Machine", false, "", 0, {}, "VALUE=DATA expected"},
      {"=x", false, "", 0, {}, "a value name is needed"},
      {"Machine=a=b", false, "Machine", platform::kRegSz, text("a=b"), ""},
  };
  for (const ArgumentCase& c : cases) {
    const auto parsed = parseValueArgument(c.argument, c.force);
    if (c.name.empty()) {
      ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.argument;
      EXPECT_NE(std::get<std::string>(parsed).find(c.refusal), std::string::npos)
          << c.argument << ": " << std::get<std::string>(parsed);
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<ProfileValue>(parsed)) << c.argument << ": " << std::get<std::string>(parsed);
    const ProfileValue& value = std::get<ProfileValue>(parsed);
    EXPECT_EQ(value.name, c.name) << c.argument;
    EXPECT_EQ(value.type, c.type) << c.argument;
    EXPECT_EQ(value.data, c.data) << c.argument;
  }
}

// A .reg file's values meet the same rules by their stored type.
TEST(ValueArguments, ImportedValuesMeetTheSameRules) {
  struct Case {
    std::string name;
    std::uint32_t type;
    Bytes data;
    bool force;
    std::string refusal;  // empty: taken
  };
  const std::vector<Case> cases = {
      {"MAINTRAY", platform::kRegDword, {7, 0, 0, 0}, false, ""},
      {"MainTray", platform::kRegSz, text("7"), false, "not a REG_DWORD number"},
      {"MainTray", platform::kRegDword, {0, 0, 1, 0}, false, "more than the agent takes"},
      {"Machine", platform::kRegDword, {1, 0, 0, 0}, false, "not a text"},
      {"Machine", platform::kRegSz, {'a', 'b'}, false, "not a text"},
      {"Machine", platform::kRegExpandSz, text("%HOST%"), false, ""},
      {"printername", platform::kRegSz, text(std::string(104, 'p')), false, "at most 103"},
      {"Extra", platform::kRegBinary, {1, 2}, false, "unknown value"},
      {"Extra", platform::kRegBinary, {1, 2}, true, ""},
  };
  for (const Case& c : cases) {
    const auto checked = checkStoredValue(c.name, c.type, c.data, c.force);
    if (c.refusal.empty()) {
      EXPECT_TRUE(std::holds_alternative<ProfileValue>(checked)) << c.name << ": " << std::get<std::string>(checked);
    } else {
      ASSERT_TRUE(std::holds_alternative<std::string>(checked)) << c.name;
      EXPECT_NE(std::get<std::string>(checked).find(c.refusal), std::string::npos) << std::get<std::string>(checked);
    }
  }
  EXPECT_EQ(std::get<ProfileValue>(checkStoredValue("MAINTRAY", platform::kRegDword, {7, 0, 0, 0}, false)).name,
            "MainTray");
}

}  // namespace
}  // namespace vorn
