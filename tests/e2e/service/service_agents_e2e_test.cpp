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

std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

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
    EXPECT_EQ(std::filesystem::read_symlink(proc + "/fd/3").string(), "anon_inode:[eventfd]");
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

TEST(ServiceAgentsE2e, EndedAgentIsRestartedAfterTheScaledDelay) {
  ServiceScenario scenario(20);
  expectRestart(scenario, 3s);
}

}  // namespace
}  // namespace vorn::e2e
