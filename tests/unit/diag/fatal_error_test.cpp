#include "agent/diag/fatal_error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "agent/diag/error_code_text.h"
#include "agent/diag/exceptions.h"
#include "platform/error.h"
#include "platform/process.h"
#include "tests/support/test_support.h"

namespace vorn {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

TEST(FatalProgramName, TakesTheFileNameUpToItsFirstPeriod) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\Program Files\\VornPrint\\spoolagent.exe", "spoolagent"},
      {"/usr/lib/vornprint/spoolagent", "spoolagent"},
      {"C:\\tools.v2\\agent.debug.exe", "agent"},
      {"/opt/vorn.d/bin/spoolagent", "spoolagent"},
      {"C:/mixed\\seps/prog.exe", "prog"},
      {"spoolagent.exe", "spoolagent"},
      {".hidden", ""},
      {"C:\\dir\\", ""},
      {"", ""},
  };
  for (const auto& [path, name] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(FatalProgramName(path), name);
  }
}

TEST(FatalSourceName, TakesTheNameAfterTheLastSeparator) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"MainFrm", "MainFrm"},
      {"C:\\src\\agent\\MainFrm.cpp", "MainFrm.cpp"},
      {"agent/app/spoolagent", "spoolagent"},
      {"", ""},
  };
  for (const auto& [file, name] : cases) {
    SCOPED_TRACE(file);
    EXPECT_EQ(FatalSourceName(file), name);
  }
}

TEST(FatalLastErrorText, IsNoneForZeroAndTheCodeTextOtherwise) {
  EXPECT_EQ(FatalLastErrorText(0), "none [0]");
  EXPECT_EQ(FatalLastErrorText(5), ErrorCodeText(5) + " [5]");
  EXPECT_EQ(FatalLastErrorText(0x80004005u), ErrorCodeText(0x80004005u) + " [80004005]");
  EXPECT_EQ(FatalLastErrorText(0x800A0258u), ErrorCodeText(0x800A0258u) + " [800a0258]");
}

TEST(FatalErrorMessage, FillsTheTemplateInOrder) {
  EXPECT_EQ(FatalErrorMessage("spoolagent", "COM Exception", "MainFrm", 391, "none [0]"),
            "An unrecoverable program error has occurred.  spoolagent will have to exit without "
            "saving any open files.  spoolagent should be ok when you run it again.  Error "
            "description:\n\nCOM Exception\n\nIf you report this error please include the "
            "description above and the following:\nCaught in MainFrm at line 391\nLast error: "
            "none [0]");
}

TEST(FatalErrorMessage, CarriesPercentSignsLiterally) {
  const std::string message = FatalErrorMessage("a%sb", "100% %d %n", "x%s", -1, "%x");
  EXPECT_THAT(message, HasSubstr("a%sb will have to exit"));
  EXPECT_THAT(message, HasSubstr("\n\n100% %d %n\n\n"));
  EXPECT_THAT(message, HasSubstr("Caught in x%s at line -1\nLast error: %x"));
}

// A platform root of its own, so the fatal event lands in a log the test can read.
class FatalErrorDeathTest : public ::testing::Test {
 protected:
  void SetUp() override { programName_ = FatalProgramName(platform::moduleFileName()); }

  std::string eventLog() const {
    std::ifstream in(root_.path() / "log" / "events.jsonl");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  test::TempRoot root_;
  std::string programName_;
};

TEST_F(FatalErrorDeathTest, ReportsAndExitsWith65535) {
  const std::string expected =
      FatalErrorMessage(programName_, "Error 8000ffff occurred while trying to intialize COM",
                        "spoolagent", 128, "none [0]");
  EXPECT_EXIT(
      {
        platform::setLastError(0);
        FatalError("C:\\src\\spoolagent", "Error 8000ffff occurred while trying to intialize COM",
                   128);
      },
      ::testing::ExitedWithCode(255), AllOf(HasSubstr(programName_), HasSubstr(expected)));
}

TEST_F(FatalErrorDeathTest, NamesTheLastErrorItFinds) {
  EXPECT_EXIT(
      {
        platform::setLastError(5);
        FatalError("MainFrm", "C Exception", 603);
      },
      ::testing::ExitedWithCode(255),
      HasSubstr("Caught in MainFrm at line 603\nLast error: " + ErrorCodeText(5) + " [5]"));
}

TEST_F(FatalErrorDeathTest, WritesTheWholeMessageAsOneErrorEvent) {
  const std::string longDescription(400, 'd');
  EXPECT_EXIT(
      {
        platform::setLastError(0);
        FatalError("MainFrm", longDescription, 181);
      },
      ::testing::ExitedWithCode(255), HasSubstr("Caught in MainFrm at line 181"));
  const std::string log = eventLog();
  EXPECT_THAT(log, HasSubstr("\"type\":\"error\""));
  EXPECT_THAT(log, HasSubstr("\"strings\":[\"SPOOLAGENT\",\"An unrecoverable program error"));
  EXPECT_THAT(log, HasSubstr(longDescription + "\\n\\nIf you report this error"));
  EXPECT_THAT(log, HasSubstr("Caught in MainFrm at line 181\\nLast error: none [0]\",null,null,"
                             "null,null]"));
}

// guardEntryPoint turns each kind of escaping exception into its fatal error.
struct GuardCase {
  const char* label;
  void (*raise)();
  std::string description;
  std::string lastError;
};

TEST_F(FatalErrorDeathTest, GuardMapsEachExceptionKind) {
  const std::vector<GuardCase> cases = {
      {"COM error", [] { throw ComError(platform::kEFail); }, "COM Exception",
       ErrorCodeText(0x80004005u) + " [80004005]"},
      {"COM error with a WIN32 code",
       [] { throw ComError(platform::hresultFromWin32(platform::kErrorFileNotFound)); },
       "COM Exception", ErrorCodeText(0x80070002u) + " [80070002]"},
      {"framework exception", [] { throw FrameworkException(); }, "C Exception", "none [0]"},
      {"file exception", [] { throw FileException(FileException::diskFull, 112); }, "C Exception",
       "none [0]"},
      {"standard exception", [] { throw std::runtime_error("boom"); }, "Unknown Exception",
       "none [0]"},
      {"anything else", [] { throw 42; }, "Unknown Exception", "none [0]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string expected =
        "Error description:\n\n" + c.description +
        "\n\nIf you report this error please include the description above and the following:\n"
        "Caught in MainFrm at line 423\nLast error: " + c.lastError;
    EXPECT_EXIT(
        {
          platform::setLastError(0);
          guardEntryPoint(kReadMessageSite, c.raise);
        },
        ::testing::ExitedWithCode(255), HasSubstr(expected));
  }
}

TEST(GuardEntryPoint, ReturnsTheBodysResultWhenNothingEscapes) {
  EXPECT_EQ(guardEntryPoint(kWindowCreationSite, [] { return -1; }), -1);
  int calls = 0;
  guardEntryPoint(kTerminateSite, [&] { ++calls; });
  EXPECT_EQ(calls, 1);
  int value = 3;
  int& same = guardEntryPoint(kFrameConstructionSite, [&]() -> int& { return value; });
  EXPECT_EQ(&same, &value);
}

}  // namespace
}  // namespace vorn
