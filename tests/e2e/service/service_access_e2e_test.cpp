// Who may do what to the service, run as root with an ordinary user beside
// it: that user lists and interrogates, and changes nothing; a print
// administrator (group lpadmin) runs and kills agents; nobody can make a
// program of root's write through a folder of the root that is not root's.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/service/other_user.h"
#include "tests/e2e/service/pipe_scenario.h"

namespace vorn::e2e {
namespace {

const std::string kDenied = "Access is denied.\r\n";

mode_t modeOf(const std::filesystem::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

TEST(ServiceAccessE2e, AnOrdinaryUserListsAndInterrogatesButChangesNothing) {
  if (const std::string why = otherUserUnavailable(); !why.empty()) GTEST_SKIP() << why;
  ServiceScenario scenario;
  // The unit's umask, and that of an administrator's shell: no mode may come from it.
  const mode_t umask = ::umask(027);
  startWithStubAgents(scenario, {{"A"}, {"B"}, {"C", "no"}});
  ::umask(umask);
  ASSERT_TRUE(test::eventually([&] { return scenario.agentPids().size() == 2; }));
  const auto agents = scenario.agentPids();
  const auto spoolcmd = test::programPath("spoolcmd");
  const std::string listing = scenario.spoolcmd({"show"}).standardOutput;
  EXPECT_EQ(runAsNobody(spoolcmd, {"show"}).standardOutput, listing);

  const struct {
    std::vector<std::string> args;
    std::string output;
    int exitCode;
  } refused[] = {
      {{"run", "/profile=C"}, "\nRun process error: Error: 5 " + kDenied + "\n", 0},
      {{"kill", "/profile=A"}, "\nKill process error: Error: 5 " + kDenied + "\n", 0},
      {{"stop"}, "*** error: could not stop service,\n  last error: 5 " + kDenied + "\n", 1},
      {{"start"}, "*** error: failed to start service,\n  last error: 5 " + kDenied + "\n", 1},
      {{"create"}, "*** error: failed to create service,\n  last error: 5 " + kDenied + "\n", 1},
      {{"delete"}, "*** error: could not delete service,\n  last error: 5 " + kDenied + "\n", 1},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.args.front());
    const auto result = runAsNobody(spoolcmd, c.args);
    EXPECT_EQ(result.standardOutput, c.output);
    EXPECT_EQ(result.exitCode, c.exitCode);
  }
  // Straight to the dispatcher: interrogation only (7 is no control the handler knows).
  const struct {
    std::uint32_t control;
    std::uint32_t answer;
  } controls[] = {{1, 5}, {5, 5}, {7, 5}, {4, 0}};
  for (const auto& c : controls) EXPECT_EQ(controlAs(scenario.root(), kNobody, c.control), c.answer) << c.control;

  EXPECT_EQ(scenario.status()->state, 4u);
  EXPECT_EQ(scenario.agentPids(), agents);
  EXPECT_EQ(scenario.spoolcmd({"show"}).standardOutput, listing);
  for (const std::string& event : scenario.serviceEvents()) {
    EXPECT_EQ(event.find("Unrecognized handler opcode"), std::string::npos) << event;
    EXPECT_EQ(event.find("shutting down"), std::string::npos) << event;
  }

  const auto root = scenario.root();
  const struct {
    const char* path;
    mode_t mode;
  } modes[] = {
      {"log", S_IFDIR | 0755},
      {"pipe", S_IFDIR | 0755},
      {"services", S_IFDIR | 0755},
      {"services/VornPrintService", S_IFDIR | 0755},
      {"log/events.jsonl", S_IFREG | 0644},
      {"services/VornPrintService/config", S_IFREG | 0644},
      {"services/VornPrintService/status", S_IFREG | 0644},
      {"services/VornPrintService/lock", S_IFREG | 0644},
      {"services/VornPrintService/pid", S_IFREG | 0644},
      {"pipe/VornPrintService", S_IFSOCK | 0666},
      {"services/VornPrintService/control", S_IFSOCK | 0666},
  };
  for (const auto& m : modes) EXPECT_EQ(modeOf(root / m.path), m.mode) << m.path;

  // The pipe and the control socket go with the service's process, which
  // ends just after it has reported itself stopped.
  EXPECT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
  const auto gone = [](const std::filesystem::path& path) {
    return test::eventually([&] { return !std::filesystem::exists(std::filesystem::symlink_status(path)); });
  };
  EXPECT_TRUE(gone(root / "pipe" / "VornPrintService"));
  EXPECT_TRUE(gone(root / "services/VornPrintService/control"));
}

TEST(ServiceAccessE2e, APrintAdministratorRunsAndKillsAgents) {
  if (const std::string why = otherUserUnavailable(); !why.empty()) GTEST_SKIP() << why;
  // The group Debian's print system gives its administrators; made for the test where it is missing.
  const bool made = ::getgrnam("lpadmin") == nullptr;
  if (made && test::runProgram("/usr/sbin/groupadd", {"--system", "lpadmin"}).exitCode != 0)
    GTEST_SKIP() << "SKIPPED: there is no group lpadmin and groupadd cannot make one";
  struct RemoveGroup {
    bool made;
    ~RemoveGroup() {
      if (made) test::runProgram("/usr/sbin/groupdel", {"lpadmin"});
    }
  } removeGroup{made};

  ServiceScenario scenario;
  startWithStubAgents(scenario, {{"C", "no"}});
  const auto spoolcmd = test::programPath("spoolcmd");
  EXPECT_EQ(runAsNobody(spoolcmd, {"run", "/profile=C"}, "lpadmin").standardOutput, "  ok\n");
  ASSERT_TRUE(test::eventually([&] { return scenario.agentPids().size() == 1; }));
  EXPECT_EQ(runAsNobody(spoolcmd, {"kill", "/profile=C"}, "lpadmin").standardOutput, "  ok\n");
  EXPECT_TRUE(test::eventually([&] { return scenario.agentPids().empty(); }));
  // The service itself stays root's.
  EXPECT_EQ(runAsNobody(spoolcmd, {"stop"}, "lpadmin").exitCode, 1);
  EXPECT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
}

TEST(ServiceAccessE2e, NoEventIsWrittenThroughAFolderThatIsNotRoots) {
  if (const std::string why = otherUserUnavailable(); !why.empty()) GTEST_SKIP() << why;
  test::TempRoot root;
  const RemovedAtEnd removed{test::makeTemporaryFolder("vornprint-outside-")};
  const auto& outside = removed.path;
  const auto log = root.path() / "log";
  // Run from a console, the service writes one event: "StartServiceCtrlDispatcher error".
  const auto writeEvent = [] { test::runProgram(test::programPath("VornPrintService"), {}); };
  const struct {
    const char* what;
    std::function<void()> plant;
    std::filesystem::path target;  // must not be written
  } cases[] = {
      {"log is a link to another folder", [&] { std::filesystem::create_directory_symlink(outside, log); },
       outside / "events.jsonl"},
      {"log is an ordinary user's, its file a link",
       [&] {
         std::filesystem::create_directory(log);
         ASSERT_EQ(::chown(log.c_str(), kNobody, kNobody), 0);
         std::filesystem::create_symlink(outside / "victim", log / "events.jsonl");
       },
       outside / "victim"},
      {"the root is writable by others",
       [&] { std::filesystem::permissions(root.path(), std::filesystem::perms::all); }, log},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.plant();
    writeEvent();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(c.target)));
    std::filesystem::permissions(root.path(), std::filesystem::perms(0755));
    std::filesystem::remove_all(log);
    std::filesystem::remove_all(outside / "events.jsonl");
  }
  writeEvent();  // a root of root's own takes it
  EXPECT_EQ(test::readEvents(root.path()).size(), 1u);
}

}  // namespace
}  // namespace vorn::e2e
