// The service in the faults of a production machine: a crash, a full disk, a
// status that cannot be recorded, idle and vanished clients, and an event
// log that many writers fill. Mounts and other users need root: without it
// those tests skip loudly.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/service/other_user.h"
#include "tests/e2e/service/pipe_scenario.h"

namespace vorn::e2e {
namespace {

using namespace std::chrono_literals;
using test::eventually;

using test::fileText;

// Alive and not a zombie (an ended service is reaped by whoever inherits it).
bool running(int pid) {
  return pid > 0 && ::kill(pid, 0) == 0 && fileText("/proc/" + std::to_string(pid) + "/stat").find(") Z ") == std::string::npos;
}

// The manager's own events, as "message | detail".
std::vector<std::string> managerEvents(const std::filesystem::path& root) {
  std::vector<std::string> lines;
  for (const auto& event : test::readEvents(root))
    if (event.source == "Service Control Manager")
      lines.push_back(event.strings.at(1).value_or("") + " | " + event.strings.at(2).value_or(""));
  return lines;
}

// Something mounted for a test: what the scenario started is killed while it
// can still be found, then the mount goes (lazily: the service's folder may
// still be in it).
class Mounted {
 public:
  Mounted(ServiceScenario& scenario, std::filesystem::path at) : scenario_(scenario), at_(std::move(at)) {}
  ~Mounted() {
    if (const auto status = scenario_.status(); status && running(status->pid)) ::kill(status->pid, SIGKILL);
    for (const int pid : scenario_.agentPids()) ::kill(pid, SIGKILL);
    ::umount2(at_.c_str(), MNT_DETACH);
  }

 private:
  ServiceScenario& scenario_;
  std::filesystem::path at_;
};

TEST(ServiceFaultsE2e, AStartAfterACrashSaysSoAndThePidFileNamesTheService) {
  ServiceScenario scenario;
  startWithStubAgents(scenario, {{"A"}});
  const auto pidFile = scenario.root() / "services" / "VornPrintService" / "pid";
  const int crashed = scenario.status()->pid;
  EXPECT_EQ(fileText(pidFile), std::to_string(crashed) + "\n");
  ASSERT_EQ(::kill(crashed, SIGKILL), 0);
  ASSERT_TRUE(eventually([&] { return !running(crashed); }));
  for (const int agent : scenario.agentPids()) ::kill(agent, SIGKILL);

  ASSERT_EQ(scenario.spoolcmd({"start"}).standardOutput, "  ok\n");
  ASSERT_TRUE(scenario.waitForState(4));
  EXPECT_EQ(fileText(pidFile), std::to_string(scenario.status()->pid) + "\n");
  EXPECT_EQ(managerEvents(scenario.root()),
            std::vector<std::string>{"ended without stopping | " + std::to_string(crashed)});
  // A stop is no crash.
  ASSERT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
  ASSERT_EQ(scenario.spoolcmd({"start"}).exitCode, 0);
  ASSERT_TRUE(scenario.waitForState(4));
  EXPECT_EQ(managerEvents(scenario.root()).size(), 1u);
  EXPECT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
}

TEST(ServiceFaultsE2e, AFullDiskEndsNeitherTheServiceNorItsStatus) {
  if (const std::string why = otherUserUnavailable(); !why.empty()) GTEST_SKIP() << why;
  ServiceScenario scenario;
  if (::mount("tmpfs", scenario.root().c_str(), "tmpfs", 0, "size=512k,mode=0755") != 0)
    GTEST_SKIP() << "SKIPPED: cannot mount a tmpfs for the platform root: " << std::strerror(errno);
  Mounted tmpfs(scenario, scenario.root());
  const RemovedAtEnd programs{test::makeTemporaryFolder("vornprint-programs-")};
  startWithStubAgents(scenario, {{"A"}, {"B"}}, programs.path);
  ASSERT_TRUE(eventually([&] { return scenario.agentPids().size() == 2; }));
  const auto agents = scenario.agentPids();
  const int service = scenario.status()->pid;
  {
    std::ofstream filler(scenario.root() / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), block.size())) {
    }
  }

  // Anyone's interrogation; then a whole stop, every report recorded.
  EXPECT_EQ(controlAs(scenario.root(), kNobody, 4), 0u);
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(running(service));
  EXPECT_EQ(scenario.agentPids(), agents);
  EXPECT_EQ(scenario.status()->state, 4u);
  const auto stopped = scenario.spoolcmd({"stop"});
  EXPECT_EQ(stopped.exitCode, 0) << stopped.standardOutput;
  EXPECT_EQ(scenario.status()->state, 1u);
  EXPECT_EQ(scenario.status()->exitCode, 0u);
}

TEST(ServiceFaultsE2e, AStatusThatCannotBeRecordedIsAnEventNotAFatalStop) {
  if (const std::string why = otherUserUnavailable(); !why.empty()) GTEST_SKIP() << why;
  ServiceScenario scenario;
  startWithStubAgents(scenario, {{"A"}});
  const auto folder = scenario.root() / "services" / "VornPrintService";
  if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "SKIPPED: cannot bind-mount the service's folder: " << std::strerror(errno);
  Mounted bound(scenario, folder);
  ASSERT_EQ(::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0) << std::strerror(errno);
  const int service = scenario.status()->pid;

  EXPECT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
  EXPECT_TRUE(eventually([&] { return !running(service); }));
  EXPECT_EQ(managerEvents(scenario.root()), std::vector<std::string>{"could not record the service status | 19"});
  for (const std::string& event : scenario.serviceEvents())
    EXPECT_EQ(event.find("SetServiceStatus"), std::string::npos) << event;
}

TEST(ServiceFaultsE2e, SilentClientsDelayNobodyAndAControlWhoseSenderLeftIsNotCarriedOut) {
  if (const std::string why = otherUserUnavailable(); !why.empty()) GTEST_SKIP() << why;
  ServiceScenario scenario;
  startWithStubAgents(scenario, {{"A"}});
  const int service = scenario.status()->pid;
  const auto control = scenario.root() / "services" / "VornPrintService" / "control";

  // A stop sent while the dispatcher could not read it, by a client gone before it could.
  ASSERT_EQ(::kill(service, SIGSTOP), 0);
  {
    const auto socket = connectLocal(control);
    const std::uint8_t stop[4] = {1, 0, 0, 0};
    EXPECT_EQ(::send(socket.get(), stop, sizeof stop, MSG_NOSIGNAL), 4);
  }
  ASSERT_EQ(::kill(service, SIGCONT), 0);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(scenario.status()->state, 4u);

  // Silent connections on both channels, root's and an ordinary user's.
  IdleClients rootsControl(control, 0, 12);
  IdleClients nobodysControl(control, kNobody, 12);
  IdleClients nobodysPipe(scenario.root() / "pipe" / "VornPrintService", kNobody, 12);
  EXPECT_EQ(rootsControl.connected() + nobodysControl.connected() + nobodysPipe.connected(), 36);
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(scenario.spoolcmd({"show"}).standardOutput.find("not found"), std::string::npos);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
  started = std::chrono::steady_clock::now();
  const auto stopped = scenario.spoolcmd({"stop"});
  EXPECT_EQ(stopped.exitCode, 0) << stopped.standardOutput;
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

TEST(ServiceFaultsE2e, TheEventLogTurnsOverAtItsSizeAndNoWriterLosesALine) {
  test::TempRoot root;
  // About 170 bytes an event: 40 of them fill the log once and two thirds.
  test::writeRegistry(root.path(),
                      "Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application]\r\n"
                      "\"MaxSize\"=dword:00001000\r\n");
  const std::string loop = "for i in $(seq 10); do \"$0\"; done";
  std::vector<std::unique_ptr<test::ChildProcess>> writers;
  for (int i = 0; i < 4; ++i)
    writers.push_back(std::make_unique<test::ChildProcess>(
        "/bin/sh", std::vector<std::string>{"-c", loop, test::programPath("VornPrintService").string()}));
  for (auto& writer : writers) ASSERT_TRUE(writer->wait(120s));

  const auto current = root.path() / "log" / "events.jsonl";
  const auto older = root.path() / "log" / "events.jsonl.1";
  ASSERT_TRUE(std::filesystem::exists(older));
  std::size_t lines = 0;
  for (const auto& file : {older, current}) {
    EXPECT_LE(std::filesystem::file_size(file), 0x1000u) << file;
    std::istringstream text(fileText(file));
    for (std::string line; std::getline(text, line); ++lines)
      EXPECT_EQ(test::parseEventLine(line).strings.at(1), "StartServiceCtrlDispatcher error");
  }
  EXPECT_EQ(lines, 40u);
}

}  // namespace
}  // namespace vorn::e2e
