// The service with real agents attached to vornhosts: start-up, the agents'
// command line and environment, stops, and restarts of ended agents.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "platform/ansi_code_page.h"
#include "tests/e2e/service/service_scenario.h"

namespace vorn::e2e {
namespace {

using namespace std::chrono_literals;
using test::eventually;

using test::fileText;

std::vector<std::string> splitZeros(const std::string& block) {
  std::vector<std::string> strings;
  std::istringstream in(block);
  for (std::string entry; std::getline(in, entry, '\0');) strings.push_back(entry);
  return strings;
}

// Three profiles on three hosts; the service started.
std::vector<test::ChildProcess*> startWithThreeAgents(ServiceScenario& scenario) {
  std::vector<test::ChildProcess*> hosts;
  for (int port : {5401, 5402, 5403}) hosts.push_back(&scenario.startHost(port));
  scenario.writeProfiles({{"A", "yes", 5401}, {"B", "yes", 5402}, {"Off", "no", 5409}, {"C", "yes", 5403}});
  EXPECT_EQ(scenario.spoolcmd({"create"}).exitCode, 0);
  EXPECT_EQ(scenario.spoolcmd({"start"}).exitCode, 0);
  return hosts;
}

TEST(ServiceAgentsE2e, StartUpAgentsAndAStopThatEndsThemInOrder) {
  ServiceScenario scenario(10);  // pauses of 100 ms: each check point can be seen
  const auto hosts = startWithThreeAgents(scenario);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> seen;
  ASSERT_TRUE(eventually([&] {
    if (const auto s = scenario.status(); s && (seen.empty() || seen.back() != std::pair{s->state, s->checkPoint}))
      seen.emplace_back(s->state, s->checkPoint);
    return !seen.empty() && seen.back().first == 4;
  }));
  // The first report may be over before the first look (spoolcmd start
  // returns once the service runs): what is seen is a tail of the sequence.
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> sequence{{2, 0}, {2, 1}, {2, 2}, {2, 3}, {4, 0}};
  ASSERT_GE(seen.size(), 3u);
  EXPECT_TRUE(std::equal(seen.rbegin(), seen.rend(), sequence.rbegin())) << ::testing::PrintToString(seen);

  const int servicePid = scenario.status()->pid;
  const auto pids = scenario.agentPids();
  ASSERT_EQ(pids.size(), 3u);
  const auto serviceEnvironment = splitZeros(fileText("/proc/" + std::to_string(servicePid) + "/environ"));
  std::set<std::string> names;
  for (const int pid : pids) {
    const std::string proc = "/proc/" + std::to_string(pid);
    const auto argv = splitZeros(fileText(proc + "/cmdline"));
    ASSERT_EQ(argv.size(), 2u);
    EXPECT_EQ(argv[0], "spoolagent");
    names.insert(argv[1]);
    // The service's environment with TerminateMutex in its place by name,
    // without regard to case, naming the inherited event at descriptor 3.
    auto expected = serviceEnvironment;
    const auto place = std::find_if(expected.begin(), expected.end(), [](const std::string& entry) {
      return platform::compareIgnoringCase("TerminateMutex", entry) < 0;
    });
    expected.insert(place, "TerminateMutex=000000003");
    EXPECT_EQ(splitZeros(fileText(proc + "/environ")), expected);
    // The read end of a pipe whose write end only the service holds.
    EXPECT_TRUE(std::filesystem::read_symlink(proc + "/fd/3").string().starts_with("pipe:["));
  }
  EXPECT_EQ(names, (std::set<std::string>{"/profile=\"A\"", "/profile=\"B\"", "/profile=\"C\""}));

  const auto stop = scenario.spoolcmd({"stop"});
  EXPECT_TRUE(std::regex_match(stop.standardOutput, std::regex("  waiting for VornPrintService to stop (\\. )+  ok\n")));
  EXPECT_EQ(stop.exitCode, 0);
  EXPECT_TRUE(scenario.agentPids().empty());
  // They ended on their termination events within the grace period: each
  // closed its link in order, none was left to terminate, and the service
  // freed each slot.
  for (test::ChildProcess* host : hosts) {
    ASSERT_TRUE(host->wait(10s));
    EXPECT_EQ(host->exitCode(), 0);
    EXPECT_NE(host->standardOutput().find("acks: right=0 wrong=0 missing=0"), std::string::npos);
  }
  EXPECT_EQ(scenario.status()->state, 1u);
  EXPECT_EQ(scenario.status()->checkPoint, 1u);
  EXPECT_EQ(scenario.status()->exitCode, 0u);
  // The process ended (what is left of it is its parent's to reap).
  const auto stat = "/proc/" + std::to_string(servicePid) + "/stat";
  EXPECT_TRUE(eventually([&] { return ::kill(servicePid, 0) != 0 || fileText(stat).find(") Z ") != std::string::npos; }));
  for (const char* profile : {"A", "B", "C"})
    EXPECT_EQ(scenario.countEvents(std::string("printer subservice terminated. profile= | ") + profile), 1);
  EXPECT_EQ(scenario.countEvents("shutting down | "), 1);
}

TEST(ServiceAgentsE2e, ShutdownSignalDuringAStopRunsNoSecondSequence) {
  ServiceScenario scenario;
  startWithThreeAgents(scenario);
  ASSERT_TRUE(scenario.waitForState(4));
  const int servicePid = scenario.status()->pid;
  auto stop = scenario.startSpoolcmd({"stop"});
  ASSERT_TRUE(eventually([&] { return scenario.status()->state == 3; }));
  ASSERT_EQ(::kill(servicePid, SIGTERM), 0);
  ASSERT_TRUE(stop->wait(30s));
  EXPECT_EQ(stop->exitCode(), 0);
  EXPECT_TRUE(std::regex_search(stop->standardOutput(), std::regex("  ok\n$")));
  EXPECT_EQ(scenario.status()->state, 1u);
  EXPECT_TRUE(eventually([&] { return scenario.agentPids().empty(); }));
  EXPECT_EQ(scenario.countEvents("shutting down | "), 1);
}

// The profile an agent process serves, from its command line.
std::string profileOf(int pid) {
  const auto argv = splitZeros(fileText("/proc/" + std::to_string(pid) + "/cmdline"));
  return argv.size() == 2 ? argv[1] : "";
}

int agentEvents(const ServiceScenario& scenario, const std::string& text) {
  int count = 0;
  for (const auto& event : test::readEvents(scenario.root()))
    count += event.strings.at(0) == "SPOOLAGENT" && event.strings.at(2) == text ? 1 : 0;
  return count;
}

// However the service ends, its agents end with it within moments, each in
// order as on its termination event: the kernel closes the service's end of
// every agent's event.
TEST(ServiceAgentsE2e, AKilledServiceTakesItsAgentsWithIt) {
  ServiceScenario scenario;
  const auto hosts = startWithThreeAgents(scenario);
  ASSERT_TRUE(scenario.waitForState(4));
  ASSERT_TRUE(eventually([&] { return scenario.agentPids().size() == 3; }));
  ASSERT_EQ(::kill(scenario.status()->pid, SIGKILL), 0);
  EXPECT_TRUE(eventually([&] { return scenario.agentPids().empty(); }, 5));
  for (test::ChildProcess* host : hosts) {
    ASSERT_TRUE(host->wait(10s));
    EXPECT_EQ(host->exitCode(), 0);
    EXPECT_NE(host->standardOutput().find("acks: right=0 wrong=0 missing=0"), std::string::npos);
  }
}

// A start right after a crash never leaves two agents for one profile: a new
// agent waits while the crashed service's agent of its profile is ending,
// and ends itself, to be restarted, when that one is too slow to end.
TEST(ServiceAgentsE2e, AStartAfterACrashNeverLeavesTwoAgentsForAProfile) {
  ServiceScenario scenario(20);  // the claim's wait half a second, the restart three
  test::ChildProcess& hostA = scenario.startHost(5411, true);
  test::ChildProcess& hostB = scenario.startHost(5412, true);
  scenario.writeProfiles({{"A", "yes", 5411}, {"B", "yes", 5412}});
  ASSERT_EQ(scenario.spoolcmd({"create"}).exitCode, 0);
  ASSERT_EQ(scenario.spoolcmd({"start"}).exitCode, 0);
  ASSERT_TRUE(scenario.waitForState(4));
  const auto attaches = [](const test::ChildProcess& host) {
    const std::string output = host.standardOutput();
    int count = 0;
    for (std::size_t at = 0; (at = output.find("attach connect-string", at)) != std::string::npos; ++at) ++count;
    return count;
  };
  ASSERT_TRUE(eventually([&] { return attaches(hostA) == 1 && attaches(hostB) == 1; }));
  const auto old = scenario.agentPids();
  ASSERT_EQ(old.size(), 2u);
  const int slowA = profileOf(old[0]) == "/profile=\"A\"" ? old[0] : old[1];
  ASSERT_EQ(::kill(slowA, SIGSTOP), 0);  // too slow to end

  ASSERT_EQ(::kill(scenario.status()->pid, SIGKILL), 0);
  ASSERT_EQ(scenario.spoolcmd({"start"}).exitCode, 0);
  const std::string stillRunning = "terminating - another agent of this profile is still running";
  ASSERT_TRUE(eventually([&] { return agentEvents(scenario, stillRunning) == 1; }));
  ASSERT_EQ(::kill(slowA, SIGCONT), 0);

  // The slow one ends in order, the new A is restarted and attaches.
  ASSERT_TRUE(eventually([&] {
    const auto pids = scenario.agentPids();
    return pids.size() == 2 && std::find_first_of(pids.begin(), pids.end(), old.begin(), old.end()) == pids.end();
  }, 20));
  EXPECT_TRUE(eventually([&] { return attaches(hostA) == 2 && attaches(hostB) == 2; }))
      << hostA.standardOutput() << hostB.standardOutput();
  EXPECT_EQ(agentEvents(scenario, stillRunning), 1);
  ASSERT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
  EXPECT_TRUE(scenario.agentPids().empty());
}

TEST(ServiceAgentsE2e, EndedAgentIsRestartedAfterTheScaledDelay) {
  ServiceScenario scenario(20);
  expectRestart(scenario, 3s);
}

}  // namespace
}  // namespace vorn::e2e
