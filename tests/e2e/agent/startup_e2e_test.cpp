// The agent's start-up and lifetime as an operator sees them: its events and
// its exit status.
#include <gtest/gtest.h>
#include <signal.h>

#include "tests/e2e/agent/agent_scenario.h"

namespace vorn::e2e {
namespace {

using namespace std::chrono_literals;

TEST(AgentStartup, WithoutRegistryWritesOneEventAndExitsZero) {
  AgentScenario scenario;
  const auto run = scenario.runAgent("LASER1");
  EXPECT_EQ(run.exitCode, 0);

  const auto events = scenario.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, "error");
  EXPECT_EQ(events[0].strings[0], "SPOOLAGENT");
  EXPECT_EQ(events[0].strings[1], "couldn't open registry key");
  // The command line is lower-cased, so the key path ends in the lower-case name.
  EXPECT_EQ(events[0].strings[2], "SOFTWARE\\Kolvane\\VornPrint\\profiles\\laser1");
}

TEST(AgentStartup, ProfileWithoutPrinterIdIsIncomplete) {
  AgentScenario scenario;
  auto profile = pipeProfile(1, "VornPDF");
  profile.texts.erase("printerid");
  scenario.writeRegistry("LASER1", profile, "VornPDF");

  const auto run = scenario.runAgent("laser1");
  EXPECT_EQ(run.exitCode, 0);
  const auto events = scenario.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(eventText(events[0]), "registry info missing | SOFTWARE\\Kolvane\\VornPrint\\profiles\\laser1");
}

TEST(AgentStartup, UnknownPrinterEndsStartUp) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(1, "NoSuchPrinter"));
  const auto run = scenario.runAgent("laser1");
  EXPECT_EQ(run.exitCode, 0);
  const auto events = scenario.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(eventText(events[0]), "OpenPrinter failed | NoSuchPrinter");
}

TEST(AgentStartup, DirectToDiskNeedsNoPrinter) {
  AgentScenario scenario;
  auto profile = pipeProfile(7, "NoSuchPrinter");
  profile.texts["PrintToFile"] = "yes";
  profile.texts["directtodisk"] = "yes";
  scenario.writeRegistry("laser1", profile);
  auto& host = scenario.startHost({"--pipe", "7", "--terminate", "1"});

  const auto run = scenario.runAgent("laser1");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(host.wait(10s));
  EXPECT_TRUE(scenario.events().empty());  // Terminate(1) ends the agent silently
}

TEST(AgentStartup, CommandLineWithoutUsableProfileFailsInTheProfileRead) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(1, "VornPDF"), "VornPDF");
  const auto run = test::runProgram(test::programPath("spoolagent"), {"/profile=laser1"});
  EXPECT_EQ(run.exitCode, 0);
  const auto events = scenario.events();
  ASSERT_EQ(events.size(), 1u);
  // An empty name makes the key path end in the backslash after "profiles":
  // that opens the profiles key itself, which holds no profile values.
  EXPECT_EQ(eventText(events[0]), "registry info missing | SOFTWARE\\Kolvane\\VornPrint\\profiles\\");
}

TEST(AgentStartup, RunsUntilSigtermThenEndsInOrderWithoutEvents) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(3, "VornPDF"), "VornPDF");
  auto& host = scenario.startHost({"--pipe", "3", "--hold"});
  auto& agent = scenario.startAgent("laser1");
  ASSERT_TRUE(scenario.waitForHostOutput("connect-result code=0"));

  EXPECT_FALSE(agent.wait(300ms)) << "the agent ended on its own";
  agent.signal(SIGTERM);
  ASSERT_TRUE(agent.wait(10s));
  EXPECT_EQ(agent.exitCode(), 0);
  EXPECT_TRUE(scenario.events().empty());
  EXPECT_TRUE(host.wait(10s));  // the agent closed the link on its way out
}

TEST(AgentStartup, SigintEndsTheAgentLikeSigterm) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(4, "VornPDF"), "VornPDF");
  scenario.startHost({"--pipe", "4", "--hold"});
  auto& agent = scenario.startAgent("laser1");
  ASSERT_TRUE(scenario.waitForHostOutput("connect-result code=0"));
  agent.signal(SIGINT);
  ASSERT_TRUE(agent.wait(10s));
  EXPECT_EQ(agent.exitCode(), 0);
  EXPECT_TRUE(scenario.events().empty());
}

}  // namespace
}  // namespace vorn::e2e
