// The test helpers themselves, and the root and clock they stand on.
#include "tests/support/test_support.h"

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/posix/root.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <ctime>

namespace vorn {
namespace {

TEST(TempRoot, SetsTheRootAndCleansUp) {
  std::filesystem::path made;
  {
    test::TempRoot root;
    made = root.path();
    EXPECT_TRUE(std::filesystem::is_directory(made));
    EXPECT_EQ(platform::platformRoot(), made);
    std::filesystem::create_directories(made / "a" / "b");
  }
  EXPECT_FALSE(std::filesystem::exists(made));
}

TEST(TempRoot, RestoresThePreviousRoot) {
  ::setenv("VORNPRINT_ROOT", "/somewhere/else", 1);
  { test::TempRoot root; }
  EXPECT_EQ(platform::platformRoot(), "/somewhere/else");
  ::unsetenv("VORNPRINT_ROOT");
  EXPECT_EQ(platform::platformRoot(), "/var/lib/vornprint");
}

TEST(Root, FoldersAreCreatedOnDemandWithMode0755) {
  test::TempRoot root;
  const mode_t previous = ::umask(077);  // never the umask's
  std::filesystem::path folder;
  ASSERT_EQ(platform::rootFolder("services/VornPrintService", folder), 0u);
  ::umask(previous);
  EXPECT_EQ(folder, root.path() / "services" / "VornPrintService");
  for (const auto& p : {root.path() / "services", folder}) {
    struct stat info {};
    ASSERT_EQ(::stat(p.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u) << p;
  }
  std::filesystem::path again;
  EXPECT_EQ(platform::rootFolder("services/VornPrintService", again), 0u);  // existing is fine
  EXPECT_EQ(again, folder);
}

TEST(Root, AFolderThatIsALinkOrWritableByOthersIsRefused) {
  test::TempRoot root;
  const auto elsewhere = root.path() / "elsewhere";
  std::filesystem::create_directory(elsewhere);
  std::filesystem::create_directory_symlink(elsewhere, root.path() / "log");
  std::filesystem::create_directory(root.path() / "pipe");
  std::filesystem::permissions(root.path() / "pipe", std::filesystem::perms::all);
  std::filesystem::path folder;
  for (const char* refused : {"log", "pipe", "pipe/below", "log/below"})
    EXPECT_EQ(platform::rootFolder(refused, folder), platform::kErrorAccessDenied) << refused;
  EXPECT_FALSE(std::filesystem::exists(elsewhere / "below"));
  std::filesystem::permissions(root.path(), std::filesystem::perms::all);
  EXPECT_EQ(platform::rootFolder("services", folder), platform::kErrorAccessDenied);
  std::filesystem::permissions(root.path(), std::filesystem::perms(0755));
  EXPECT_EQ(platform::rootFolder("services", folder), 0u);
}

TEST(Root, FolderBlockedByAFileIsAMissingPath) {
  test::TempRoot root;
  test::writeRegistry(root.path(), "x");
  std::filesystem::path folder;
  EXPECT_EQ(platform::rootFolder("registry.reg/sub", folder), platform::kErrorPathNotFound);
}

TEST(Clock, FileTimeIsTheCurrentTimeSince1601) {
  const std::uint64_t fileTime = platform::systemClock().systemTimeAsFileTime();
  const auto unixSeconds = static_cast<std::int64_t>(fileTime / 10000000ULL) - 11644473600LL;
  EXPECT_LE(std::abs(unixSeconds - static_cast<std::int64_t>(std::time(nullptr))), 1);
}

TEST(ChildProcess, CapturesOutputExitCodeAndEnvironment) {
  const auto result = test::runProgram("/bin/sh", {"-c", "echo out:$EXTRA; echo err >&2; exit 3"},
                                       {{"EXTRA", "value"}});
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(result.standardOutput, "out:value\n");
  EXPECT_EQ(result.standardError, "err\n");
}

TEST(ChildProcess, ArgumentsArePassedUnsplit) {
  const auto result = test::runProgram("/bin/sh", {"-c", "printf '[%s]' \"$@\"", "sh", "/profile=\"a b\"", ""});
  EXPECT_EQ(result.standardOutput, "[/profile=\"a b\"][]");
}

TEST(ChildProcess, TimeoutKillsAndSignalsAreReported) {
  const auto result = test::runProgram("/bin/sleep", {"10"}, {}, std::chrono::milliseconds(50));
  EXPECT_TRUE(result.timedOut);
  EXPECT_EQ(result.termSignal, SIGKILL);

  test::ChildProcess child("/bin/sleep", {"10"});
  EXPECT_FALSE(child.wait(std::chrono::milliseconds(20)));
  EXPECT_TRUE(child.running());
  child.signal(SIGTERM);
  ASSERT_TRUE(child.wait(std::chrono::seconds(5)));
  EXPECT_EQ(child.termSignal(), SIGTERM);
  EXPECT_EQ(child.exitCode(), -1);
}

TEST(ChildProcess, MissingProgramFailsToStart) {
  // posix_spawn reports a missing program either at once or as exit status 127.
  try {
    const auto result = test::runProgram("/nonexistent/program", {});
    EXPECT_EQ(result.exitCode, 127);
  } catch (const std::system_error&) {
    SUCCEED();
  }
}

TEST(EventReader, RejectsMalformedLines) {
  const std::vector<std::string> bad = {
      "",
      "{}",
      R"({"time":"t","source":"VORN","type":"error","id":1,"category":0,"pid":1,"strings":[null})",
      R"({"time":"t","source":"VORN","type":"error","id":1,"category":0,"pid":1,"strings":[]} x)",
      R"({"time":"t","source":"VORN","type":"error","id":1,"category":0,"strings":[]})",
      R"({"time":"t\q","source":"VORN","type":"error","id":1,"category":0,"pid":1,"strings":[]})",
  };
  for (const auto& line : bad) EXPECT_THROW(test::parseEventLine(line), std::runtime_error) << line;
  const auto ok = test::parseEventLine(
      R"({"time":"t","source":"VORN","type":"error","id":1,"category":0,"pid":9,"strings":["a\u00e9\"",null]})");
  EXPECT_EQ(ok.strings, (std::vector<std::optional<std::string>>{"a\xC3\xA9\"", std::nullopt}));
}

}  // namespace
}  // namespace vorn
