// What the service writes about agents that keep ending and agents a stop
// had to terminate, against the real service with stand-in agents.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/e2e/service/pipe_scenario.h"

namespace vorn::e2e {
namespace {

using test::eventually;

int eventsMatching(const ServiceScenario& scenario, const std::regex& pattern) {
  int count = 0;
  for (const std::string& event : scenario.serviceEvents()) count += std::regex_match(event, pattern) ? 1 : 0;
  return count;
}

// An agent that ends at once, restarted every 60 ms at the time scale of
// 1000, ends about fifty times an hour (3.6 s): one retry event, then one
// event an hour that says how often it ended.
TEST(ServiceEventsE2e, AnAgentThatKeepsEndingIsReportedEveryHour) {
  ServiceScenario scenario(1000);
  startWithStubAgents(scenario, {{"ExitAlways", "yes"}});
  const std::regex hourly(
      "printer subservice [0-9]+ keeps terminating \\(profile ExitAlways\\) - ended ([0-9]+) times in 6[0-9] min\\., "
      "each within 300 sec\\. of its restart; will retry every 60 sec\\.  Run 'spoolcmd show' to check status \\| ");
  ASSERT_TRUE(eventually([&] { return eventsMatching(scenario, hourly) == 1; }, 20));
  const std::regex retry("printer subservice [0-9]+ terminated \\(profile ExitAlways\\) - will retry .*");
  EXPECT_EQ(eventsMatching(scenario, retry), 1);
  for (const std::string& event : scenario.serviceEvents()) {
    std::smatch match;
    if (std::regex_match(event, match, hourly)) {
      EXPECT_GE(std::stoi(match[1]), 10) << event;
    }
  }
  EXPECT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
}

TEST(ServiceEventsE2e, AStopNamesTheAgentItHadToTerminate) {
  ServiceScenario scenario(10);  // a grace period of a second: time for the obliging one
  startWithStubAgents(scenario, {{"Obliging", "yes"}, {"Stubborn", "yes"}});
  ASSERT_TRUE(eventually([&] { return scenario.agentPids().size() == 2; }));
  EXPECT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
  EXPECT_TRUE(scenario.agentPids().empty());
  EXPECT_EQ(scenario.countEvents("printer subservice terminated after the grace period. profile= | Stubborn"), 1);
  EXPECT_EQ(scenario.countEvents("printer subservice terminated after the grace period. profile= | Obliging"), 0);
}

}  // namespace
}  // namespace vorn::e2e
