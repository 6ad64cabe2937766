#include "agent/profile/printer_profile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "agent/diag/agent_event_log.h"
#include "agent/profile/profile_values.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/recording_event_source.h"

namespace vorn {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr const char* kKey = "SOFTWARE\\Kolvane\\VornPrint\\profiles\\laser1";

const std::vector<std::string> kRequiredReads = {"Location", "Machine", "Online",   "Port",
                                                 "User",     "printerid", "printername"};
const std::vector<std::string> kAllReads = {
    "Location", "Machine",   "Online",    "Port",      "User",        "printerid",
    "printername", "CommType", "Direct",  "loadarea",  "MainForm",    "AltForm",
    "MainTray", "AltTray",   "Restrict",  "TwoSide",   "TwoTray",     "ZedudFlag",
    "FontOpt",  "MarginOpt", "PrintToFile", "PTFOpt",  "PTFPath",     "directtodisk",
    "JetformFlag"};

class ReadPrinterProfileTest : public ::testing::Test {
 protected:
  ReadPrinterProfileTest() {
    profile.name = "laser1";
    registry.addKey(kKey);
  }

  void setRequired() {
    registry.setString(kKey, "Location", "LOC1");
    registry.setString(kKey, "Machine", "hostmachine");
    registry.setString(kKey, "Online", "ONLINE1");
    registry.setString(kKey, "User", "PRTUSER");
    registry.setString(kKey, "printerid", "P001");
    registry.setString(kKey, "printername", "Office Laser");
  }

  int read() { return ReadPrinterProfile(registry, log, profile); }

  // Reads a profile holding the required values and one more value.
  PrinterProfile readWith(const std::string& name, std::uint32_t type,
                          std::vector<std::uint8_t> data) {
    setRequired();
    registry.setRaw(kKey, name, type, std::move(data));
    EXPECT_EQ(read(), 0);
    return profile;
  }

  static std::vector<std::uint8_t> bytes(std::string_view text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
  }
  static std::vector<std::uint8_t> terminated(std::string_view text) {
    auto data = bytes(text);
    data.push_back(0);
    return data;
  }

  void expectOneEvent(const std::string& message, const std::string& keyPath) {
    ASSERT_EQ(recorder.events.size(), 1u);
    const auto& event = recorder.events.front();
    EXPECT_EQ(event.type, platform::kEventLogErrorType);
    EXPECT_EQ(event.strings.at(0), "SPOOLAGENT");
    EXPECT_EQ(event.strings.at(1), message);
    EXPECT_EQ(event.strings.at(2), keyPath);
  }

  fakes::FakeRegistry registry;
  fakes::EventRecorder recorder;
  AgentEventLog log{std::make_unique<fakes::RecordingEventSource>(recorder)};
  PrinterProfile profile;
};

TEST_F(ReadPrinterProfileTest, OnlyTheRequiredTextsMakeACompleteProfile) {
  setRequired();
  ASSERT_EQ(read(), 0);
  EXPECT_TRUE(recorder.events.empty());
  EXPECT_EQ(profile.name, "laser1");
  EXPECT_EQ(profile.Location, "LOC1");
  EXPECT_EQ(profile.Machine, "hostmachine");
  EXPECT_EQ(profile.Online, "ONLINE1");
  EXPECT_EQ(profile.User, "PRTUSER");
  EXPECT_EQ(profile.printerid, "P001");
  EXPECT_EQ(profile.printername, "Office Laser");
  EXPECT_EQ(profile.Port, 0);
  EXPECT_EQ(profile.MainForm, "");
  EXPECT_EQ(profile.AltForm, "");
  EXPECT_EQ(profile.loadarea, "");
  EXPECT_EQ(profile.PTFPath, "");
  EXPECT_EQ(profile.MainTray, 0);
  EXPECT_EQ(profile.AltTray, 0);
  EXPECT_EQ(profile.PTFOpt, 0);
  for (bool flag : {profile.CommType, profile.Direct, profile.Restrict, profile.TwoSide,
                    profile.TwoTray, profile.ZedudFlag, profile.FontOpt, profile.MarginOpt,
                    profile.PrintToFile, profile.directtodisk, profile.JetformFlag}) {
    EXPECT_FALSE(flag);
  }
  EXPECT_EQ(profile.printername, "Office Laser");
  EXPECT_EQ(registry.state().openKeys, 0);
}

TEST_F(ReadPrinterProfileTest, ReadsEveryValueInOrder) {
  setRequired();
  registry.setString(kKey, "Port", "5023");
  registry.setString(kKey, "CommType", "socket");
  for (const char* flag : {"Direct", "Restrict", "TwoSide", "TwoTray", "ZedudFlag", "FontOpt",
                           "MarginOpt", "PrintToFile", "directtodisk", "JetformFlag"}) {
    registry.setString(kKey, flag, "yes");
  }
  registry.setString(kKey, "loadarea", "C:\\forms\\");
  registry.setString(kKey, "MainForm", "STD1");
  registry.setString(kKey, "AltForm", "WIDE");
  registry.setDword(kKey, "MainTray", 15);
  registry.setDword(kKey, "AltTray", 260);
  registry.setDword(kKey, "PTFOpt", 3);
  registry.setString(kKey, "PTFPath", "/srv/out/rep");
  registry.setString(kKey, "Active", "yes");

  ASSERT_EQ(read(), 0);
  EXPECT_TRUE(recorder.events.empty());
  EXPECT_EQ(registry.state().queriedNames, kAllReads);
  EXPECT_EQ(registry.state().openedPaths, std::vector<std::string>{kKey});
  EXPECT_EQ(registry.state().openedAccess, std::vector<std::uint32_t>{0x20119u});
  EXPECT_EQ(registry.state().openKeys, 0);

  EXPECT_EQ(profile.Port, 5023);
  EXPECT_TRUE(profile.CommType);
  EXPECT_TRUE(profile.Direct);
  EXPECT_TRUE(profile.Restrict);
  EXPECT_TRUE(profile.TwoSide);
  EXPECT_TRUE(profile.TwoTray);
  EXPECT_TRUE(profile.ZedudFlag);
  EXPECT_TRUE(profile.FontOpt);
  EXPECT_TRUE(profile.MarginOpt);
  EXPECT_TRUE(profile.PrintToFile);
  EXPECT_TRUE(profile.directtodisk);
  EXPECT_TRUE(profile.JetformFlag);
  EXPECT_EQ(profile.loadarea, "C:\\forms\\");
  EXPECT_EQ(profile.MainForm, "STD1");
  EXPECT_EQ(profile.AltForm, "WIDE");
  EXPECT_EQ(profile.MainTray, 15);
  EXPECT_EQ(profile.AltTray, 260);
  EXPECT_EQ(profile.PTFOpt, 3);
  EXPECT_EQ(profile.PTFPath, "/srv/out/rep");
  EXPECT_EQ(profile.printername, "Office Laser");
}

TEST_F(ReadPrinterProfileTest, AKeyThatCannotBeOpenedIsReportedWithItsPath) {
  const std::vector<std::pair<const char*, std::uint32_t>> cases = {
      {"no such key", platform::kErrorSuccess},
      {"access denied", platform::kErrorAccessDenied},
      {"registry unreadable", platform::kErrorBadDb},
  };
  for (const auto& [label, failure] : cases) {
    SCOPED_TRACE(label);
    recorder.events.clear();
    fakes::FakeRegistry other;
    other.state().openFailure = failure;
    profile.name = "missing";
    EXPECT_EQ(ReadPrinterProfile(other, log, profile), -1);
    expectOneEvent("couldn't open registry key", "SOFTWARE\\Kolvane\\VornPrint\\profiles\\missing");
    EXPECT_TRUE(other.state().queriedNames.empty());
  }
}

TEST_F(ReadPrinterProfileTest, EachMissingRequiredTextStopsTheReadBeforeTheOptionalValues) {
  for (const char* missing :
       {"Location", "Machine", "Online", "User", "printerid", "printername"}) {
    SCOPED_TRACE(missing);
    registry.state() = fakes::FakeRegistryState{};
    recorder.events.clear();
    registry.addKey(kKey);
    setRequired();
    registry.setString(kKey, "MainForm", "STD1");
    registry.setRaw(kKey, missing, platform::kRegSz, {});  // present but unreadable
    EXPECT_EQ(read(), -1);
    expectOneEvent("registry info missing", kKey);
    EXPECT_EQ(registry.state().queriedNames, kRequiredReads);
    EXPECT_EQ(registry.state().openKeys, 0);
  }
}

TEST_F(ReadPrinterProfileTest, AnAbsentPrinterIdIsMissingAndNothingAfterItIsRead) {
  setRequired();
  registry.state().keys[kKey].erase("printerid");
  registry.setString(kKey, "CommType", "socket");
  EXPECT_EQ(read(), -1);
  expectOneEvent("registry info missing", kKey);
  EXPECT_EQ(registry.state().queriedNames, kRequiredReads);
  EXPECT_FALSE(profile.CommType);
}

TEST_F(ReadPrinterProfileTest, AnEmptyRequiredTextIsMissing) {
  setRequired();
  registry.setString(kKey, "User", "");
  EXPECT_EQ(read(), -1);
  expectOneEvent("registry info missing", kKey);
}

TEST_F(ReadPrinterProfileTest, AnEmptyProfileNameOpensTheProfilesKeyItself) {
  profile.name = "";
  registry.addKey("SOFTWARE\\Kolvane\\VornPrint\\profiles\\");
  EXPECT_EQ(read(), -1);
  EXPECT_EQ(registry.state().openedPaths,
            std::vector<std::string>{"SOFTWARE\\Kolvane\\VornPrint\\profiles\\"});
  expectOneEvent("registry info missing", "SOFTWARE\\Kolvane\\VornPrint\\profiles\\");
}

TEST_F(ReadPrinterProfileTest, WithoutAnEventSourceAFailureStillReturnsMinusOne) {
  AgentEventLog silent(nullptr);
  profile.name = "nowhere";
  EXPECT_EQ(ReadPrinterProfile(registry, silent, profile), -1);
}

// How a text value reads, by its registry form.
struct TextCase {
  const char* label;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  std::string expected;
};

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(ReadPrinterProfileTest, TextValuesReadByKind) {
  const std::string longest(255, 'x');
  const std::vector<TextCase> cases = {
      {"REG_SZ", platform::kRegSz, terminated("STD1"), "STD1"},
      {"REG_EXPAND_SZ kept as stored", platform::kRegExpandSz, terminated("%TEMP%\\f"), "%TEMP%\\f"},
      {"REG_MULTI_SZ first string", platform::kRegMultiSz,
       terminated("FRST") + terminated("SCND") + std::vector<std::uint8_t>{0}, "FRST"},
      {"REG_MULTI_SZ without its second zero", platform::kRegMultiSz, terminated("FRST"), ""},
      {"REG_MULTI_SZ of one zero byte", platform::kRegMultiSz, {0}, ""},
      {"REG_SZ without terminator", platform::kRegSz, bytes("STD1"), ""},
      {"REG_SZ of no bytes", platform::kRegSz, {}, ""},
      {"REG_SZ ending at an inner zero", platform::kRegSz, terminated("AB") + terminated("CD"), "AB"},
      {"REG_BINARY", platform::kRegBinary, terminated("STD1"), ""},
      {"REG_DWORD", platform::kRegDword, {1, 0, 0, 0}, ""},
      {"255 characters", platform::kRegSz, terminated(longest), longest},
      {"256 characters", platform::kRegSz, terminated(longest + "y"), ""},
      {"1000 characters", platform::kRegSz, terminated(std::string(1000, 'z')), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    recorder.events.clear();
    EXPECT_EQ(readWith("MainForm", c.type, c.data).MainForm, c.expected);
  }
}

TEST_F(ReadPrinterProfileTest, RequiredTextsFollowTheSameRules) {
  const std::vector<TextCase> cases = {
      {"REG_MULTI_SZ", platform::kRegMultiSz, terminated("hostA") + std::vector<std::uint8_t>{0},
       "hostA"},
      {"REG_EXPAND_SZ", platform::kRegExpandSz, terminated("%HOST%"), "%HOST%"},
      {"REG_DWORD", platform::kRegDword, {1, 0, 0, 0}, ""},
      {"unterminated", platform::kRegSz, bytes("hostA"), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    registry.state() = fakes::FakeRegistryState{};
    recorder.events.clear();
    registry.addKey(kKey);
    setRequired();
    registry.setRaw(kKey, "Machine", c.type, c.data);
    EXPECT_EQ(read(), c.expected.empty() ? -1 : 0);
    if (!c.expected.empty()) {
      EXPECT_EQ(profile.Machine, c.expected);
    }
  }
}

TEST_F(ReadPrinterProfileTest, PrinterNameLongerThan103CharactersMakesTheProfileIncomplete) {
  setRequired();
  registry.setString(kKey, "printername", std::string(104, 'p'));
  EXPECT_EQ(read(), -1);
  expectOneEvent("registry info missing", kKey);
  EXPECT_EQ(profile.printername, "");
}

TEST_F(ReadPrinterProfileTest, PrinterNameOf103CharactersOrOneBlankIsKept) {
  for (const std::string& name : {std::string(103, 'p'), std::string(" ")}) {
    SCOPED_TRACE(name.size());
    EXPECT_EQ(readWith("printername", platform::kRegSz, terminated(name)).printername, name);
  }
}

TEST_F(ReadPrinterProfileTest, LoadAreaIsKeptUpTo103CharactersAndEmptyBeyond) {
  const std::string limit = std::string(102, 'd') + "\\";
  EXPECT_EQ(readWith("loadarea", platform::kRegSz, terminated(limit)).loadarea, limit);

  recorder.events.clear();
  EXPECT_EQ(readWith("loadarea", platform::kRegSz, terminated(std::string(104, 'd'))).loadarea, "");
  EXPECT_TRUE(recorder.events.empty());
}

struct NumberCase {
  const char* label;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  std::uint16_t expected;
};

TEST_F(ReadPrinterProfileTest, NumberValuesTakeTheLow16BitsOfADword) {
  const std::vector<NumberCase> cases = {
      {"DWORD 7", platform::kRegDword, {7, 0, 0, 0}, 7},
      {"DWORD 0x10007", platform::kRegDword, {7, 0, 1, 0}, 7},
      {"DWORD 0xFFFF", platform::kRegDword, {0xFF, 0xFF, 0, 0}, 0xFFFF},
      {"DWORD 0xFFFFFFFF", platform::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFF},
      {"text", platform::kRegSz, terminated("7"), 0},
      {"binary of four bytes", platform::kRegBinary, {7, 0, 0, 0}, 0},
      {"DWORD of two bytes", platform::kRegDword, {7, 0}, 0},
      {"QWORD", platform::kRegQword, {7, 0, 0, 0, 0, 0, 0, 0}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const PrinterProfile read = readWith("MainTray", c.type, c.data);
    EXPECT_EQ(read.MainTray, c.expected);
    EXPECT_EQ(readWith("PTFOpt", c.type, c.data).PTFOpt, c.expected);
  }
}

struct PortCase {
  const char* label;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  std::int32_t expected;
};

TEST_F(ReadPrinterProfileTest, PortIsANumberWrittenAsText) {
  const std::vector<PortCase> cases = {
      {"digits", platform::kRegSz, terminated("5023"), 5023},
      {"digits then other characters", platform::kRegSz, terminated("5023/tcp"), 5023},
      {"leading blanks and sign", platform::kRegSz, terminated(" \t-17"), -17},
      {"plus sign", platform::kRegSz, terminated("+8"), 8},
      {"no digits", platform::kRegSz, terminated("port"), 0},
      {"sign then blank", platform::kRegSz, terminated("- 5"), 0},
      {"stored as DWORD", platform::kRegDword, {0x9F, 0x13, 0, 0}, 0},
      {"too large", platform::kRegSz, terminated("99999999999"), 2147483647},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(readWith("Port", c.type, c.data).Port, c.expected);
  }
}

struct FlagCase {
  const char* name;
  const char* text;
  bool expected;
};

TEST_F(ReadPrinterProfileTest, FlagsMatchTheirKeywordExactly) {
  const std::vector<FlagCase> cases = {
      {"Direct", "yes", true},      {"Direct", "Yes", false},   {"Direct", "YES", false},
      {"Direct", "yes ", false},    {"Direct", "y", false},     {"Direct", "", false},
      {"CommType", "socket", true}, {"CommType", "Socket", false},
      {"CommType", "pipe", false},  {"CommType", "yes", false}, {"TwoSide", "socket", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + "=" + c.text);
    const PrinterProfile read = readWith(c.name, platform::kRegSz, terminated(c.text));
    EXPECT_EQ(std::string(c.name) == "CommType" ? read.CommType
              : std::string(c.name) == "Direct" ? read.Direct
                                                : read.TwoSide,
              c.expected);
  }
  EXPECT_FALSE(readWith("Direct", platform::kRegDword, {1, 0, 0, 0}).Direct);
  EXPECT_TRUE(readWith("Direct", platform::kRegMultiSz,
                       terminated("yes") + std::vector<std::uint8_t>{0})
                  .Direct);
}

// The catalogue a profile tool writes by is the agent's: the values it
// reads, in its order, and the longest text it takes of each.
TEST_F(ReadPrinterProfileTest, TheCatalogueOfValuesIsWhatTheAgentReads) {
  std::vector<std::string> catalogued;
  for (const ProfileValueSpec& spec : profileValueSpecs()) {
    if (spec.name != "Active") catalogued.emplace_back(spec.name);  // the service's
  }
  EXPECT_EQ(catalogued, kAllReads);

  const std::map<std::string_view, std::string PrinterProfile::*> texts = {
      {"Location", &PrinterProfile::Location}, {"Machine", &PrinterProfile::Machine},
      {"Online", &PrinterProfile::Online},     {"User", &PrinterProfile::User},
      {"printerid", &PrinterProfile::printerid}, {"printername", &PrinterProfile::printername},
      {"loadarea", &PrinterProfile::loadarea}, {"MainForm", &PrinterProfile::MainForm},
      {"AltForm", &PrinterProfile::AltForm},   {"PTFPath", &PrinterProfile::PTFPath}};
  for (const ProfileValueSpec& spec : profileValueSpecs()) {
    const auto field = texts.find(spec.name);
    if (field == texts.end()) continue;
    for (const std::size_t length : {spec.maxChars, spec.maxChars + 1}) {
      fakes::FakeRegistry values;
      values.addKey(kKey);
      for (const char* required : {"Location", "Machine", "Online", "User", "printerid", "printername"})
        values.setString(kKey, required, "x");
      values.setString(kKey, std::string(spec.name), std::string(length, 'a'));
      PrinterProfile read;
      read.name = "laser1";
      const bool complete = ReadPrinterProfile(values, log, read) == 0;
      const bool whole = length <= spec.maxChars;
      EXPECT_EQ(complete, whole || !spec.required) << spec.name << " of " << length;
      if (complete) {
        EXPECT_EQ(read.*(field->second), whole ? std::string(length, 'a') : "") << spec.name;
      }
    }
  }
}

TEST(ParsePortNumber, ConvertsLikeTheCLibraryAndSaturates) {
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      {"0", 0},
      {"", 0},
      {"   ", 0},
      {"\n\v\f\r 12", 12},
      {"-0", 0},
      {"+-3", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"-2147483649", std::numeric_limits<std::int32_t>::min()},
      {"000000000000000000042", 42},
      {"12 34", 12},
      {"0x1F", 0},
  };
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParsePortNumber(text), value);
  }
}

}  // namespace
}  // namespace vorn
