// spoolcmd show, run and kill against the real service, whose agents are
// stand-ins: the exact output, the table's limit, and clients at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/service/pipe_scenario.h"

namespace vorn::e2e {
namespace {

using namespace std::chrono_literals;
using test::eventually;

const std::string kOk = "  ok\n";

std::string name(int index) {
  char text[8];
  std::snprintf(text, sizeof text, "P%02d", index);
  return text;
}

TEST(PipeE2e, ShowRunAndKillWithTheirExactOutput) {
  ServiceScenario scenario(20);  // the restart after 3 s
  startWithStubAgents(scenario, {{"A", "no"}, {"ExitSoon", "no"}});
  const auto show = [&] { return scenario.spoolcmd({"show"}).standardOutput; };
  EXPECT_EQ(show(), showListing(0, ""));

  // An inactive profile is run all the same, once.
  const auto ran = scenario.spoolcmd({"run", "/profile=A"});
  EXPECT_EQ(ran.standardOutput, kOk);
  EXPECT_EQ(ran.exitCode, 0);
  ASSERT_TRUE(eventually([&] { return scenario.agentPids().size() == 1; }));
  const int agent = scenario.agentPids().front();
  EXPECT_EQ(show(), showListing(1, runningLine(agent, "A")));
  const struct {
    std::vector<std::string> args;
    std::string output;
  } refused[] = {
      {{"run", "/profile=A"}, "\nRun process error: duplicate entry\n"},
      {{"run", "/profile=Nobody"}, "\nRun process error: couldn't find profile\n"},
      {{"run", "/profile="}, "\nRun process error: couldn't find profile\n"},
      {{"run", "/profile=A\\B"}, "\nRun process error: couldn't find profile\n"},
      {{"kill", "/profile=Nobody"}, "\nKill process error: couldn't find profile\n"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.args.back());
    const auto result = scenario.spoolcmd(c.args);
    EXPECT_EQ(result.standardOutput, c.output);
    EXPECT_EQ(result.exitCode, 0);
  }

  // An agent that ends at once waits for its restart; a kill frees its slot for good.
  EXPECT_EQ(scenario.spoolcmd({"run", "/profile=ExitSoon"}).standardOutput, kOk);
  const std::string retrying = "\n                    retrying  ExitSoon";
  ASSERT_TRUE(eventually([&] { return show() == showListing(2, runningLine(agent, "A") + retrying); }));
  EXPECT_EQ(scenario.spoolcmd({"kill", "/profile=ExitSoon"}).standardOutput, kOk);
  EXPECT_EQ(show(), showListing(1, runningLine(agent, "A")));
  std::this_thread::sleep_for(3500ms);
  EXPECT_EQ(show(), showListing(1, runningLine(agent, "A")));

  // A running agent is terminated; its slot goes once the watchdog has seen it end.
  EXPECT_EQ(scenario.spoolcmd({"kill", "/profile=A"}).standardOutput, kOk);
  ASSERT_TRUE(eventually([&] { return show() == showListing(0, ""); }));
  EXPECT_TRUE(scenario.agentPids().empty());
  EXPECT_EQ(scenario.countEvents("printer subservice terminated. profile= | A"), 1);
  EXPECT_EQ(scenario.countEvents("printer subservice terminated. profile= | ExitSoon"), 0);
  EXPECT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
}

TEST(PipeE2e, SixtyFourSlotsAndClientsAtOnce) {
  ServiceScenario scenario(1000);  // start-up pauses and the grace period of milliseconds
  std::vector<test::ProfileSpec> profiles{{"Extra", "no"}};
  for (int i = 0; i < 65; ++i) profiles.push_back({name(i), "yes"});
  startWithStubAgents(scenario, profiles);
  ASSERT_TRUE(eventually([&] { return scenario.agentPids().size() == 64; }));
  // The 65th active profile is left out, and the event says which.
  int leftOut = 0;
  for (const auto& event : test::readEvents(scenario.root())) {
    if (event.strings[1] != "ohno addtotable failed") continue;
    ++leftOut;
    EXPECT_EQ(event.strings[2], "536870916");
    EXPECT_EQ(event.strings[3], "P64");
  }
  EXPECT_EQ(leftOut, 1);

  const std::string listing = scenario.spoolcmd({"show"}).standardOutput;
  ASSERT_EQ(std::count(listing.begin(), listing.end(), '\n'), 1 + 1 + 64 + 3) << listing;
  EXPECT_TRUE(listing.starts_with("\nThere are 64 active VornPrintService printers:\n"));
  std::size_t at = 0;
  for (int i = 0; i < 64; ++i) {
    at = listing.find("     running   " + name(i) + "\n", at);
    ASSERT_NE(at, std::string::npos) << name(i);
  }
  EXPECT_EQ(scenario.spoolcmd({"run", "/profile=Extra"}).standardOutput, "\nRun process error: addtotable failed\n");

  EXPECT_EQ(scenario.spoolcmd({"kill", "/profile=P07"}).standardOutput, kOk);
  ASSERT_TRUE(eventually([&] { return scenario.agentPids().size() == 63; }));
  ASSERT_TRUE(eventually([&] {
    return scenario.spoolcmd({"show"}).standardOutput.starts_with("\nThere are 63 active");
  }));

  // Ten runs of one name at once: one wins, the others find it taken.
  std::vector<std::unique_ptr<test::ChildProcess>> runs;
  for (int i = 0; i < 10; ++i) runs.push_back(scenario.startSpoolcmd({"run", "/profile=Extra"}));
  int started = 0;
  for (auto& run : runs) {
    ASSERT_TRUE(run->wait(30s));
    const std::string output = run->standardOutput();
    started += output == kOk ? 1 : 0;
    EXPECT_TRUE(output == kOk || output == "\nRun process error: duplicate entry\n") << output;
  }
  EXPECT_EQ(started, 1);

  // Forty listings at once, all answered.
  std::vector<std::unique_ptr<test::ChildProcess>> shows;
  for (int i = 0; i < 40; ++i) shows.push_back(scenario.startSpoolcmd({"show"}));
  for (auto& show : shows) {
    ASSERT_TRUE(show->wait(30s));
    EXPECT_TRUE(show->standardOutput().starts_with("\nThere are 64 active")) << show->standardOutput();
  }
  EXPECT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
  EXPECT_TRUE(scenario.agentPids().empty());
}

}  // namespace
}  // namespace vorn::e2e
