// Profile keys the service cannot start an agent for, and names in another
// spelling, against the real service with stand-in agents.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/service/pipe_scenario.h"

namespace vorn::e2e {
namespace {

using test::eventually;

const std::string kPrinter = "\xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA";  // 打印机
const std::string kCopier = "\xE5\xA4\x8D\xE5\x8D\xB0\xE6\x9C\xBA";   // 复印机, "???" as well

std::string activeProfiles(const std::vector<std::string>& names) {
  std::string reg = "Windows Registry Editor Version 5.00\r\n";
  for (const std::string& name : names)
    reg += "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\" + name + "]\r\n\"Active\"=\"yes\"\r\n";
  return reg;
}

TEST(ProfileNamesE2e, KeysNoAgentCanBeStartedForAreSkippedWithAnEventAndNeverRun) {
  ServiceScenario scenario(1000);
  const std::string longName(255, 'L');
  startWithStubAgentsAndRegistry(scenario, activeProfiles({"LASER1", kPrinter, kCopier, "quo\"te", longName}));
  ASSERT_TRUE(eventually([&] { return scenario.agentPids().size() == 1; }));
  EXPECT_EQ(scenario.spoolcmd({"show"}).standardOutput,
            showListing(1, runningLine(scenario.agentPids().front(), "LASER1")));
  const std::string skipped = "printer profile skipped: its name ";
  for (const std::string& event :
       {skipped + "has characters the ANSI code page lacks | <U+6253><U+5370><U+673A>",
        skipped + "has characters the ANSI code page lacks | <U+590D><U+5370><U+673A>",
        skipped + "contains a double quote | quo\"te", skipped + "is longer than 254 characters | " + longName})
    EXPECT_EQ(scenario.countEvents(event), 1) << event;

  for (const std::string& name : {std::string("quo\"te"), std::string("???"), kPrinter}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(scenario.spoolcmd({"run", "/profile=" + name}).standardOutput,
              "\nRun process error: couldn't find profile\n");
  }
  EXPECT_EQ(scenario.agentPids().size(), 1u);
  EXPECT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
}

// Profile names are registry key names: one key in any spelling.
TEST(ProfileNamesE2e, AnotherSpellingIsTheSameProfile) {
  ServiceScenario scenario(1000);
  startWithStubAgentsAndRegistry(scenario, activeProfiles({"LASER1"}));
  ASSERT_TRUE(eventually([&] { return scenario.agentPids().size() == 1; }));
  const int agent = scenario.agentPids().front();
  EXPECT_EQ(scenario.spoolcmd({"run", "/profile=laser1"}).standardOutput, "\nRun process error: duplicate entry\n");
  EXPECT_EQ(scenario.spoolcmd({"show"}).standardOutput, showListing(1, runningLine(agent, "LASER1")));
  EXPECT_EQ(scenario.spoolcmd({"kill", "/profile=Laser1"}).standardOutput, "  ok\n");
  ASSERT_TRUE(eventually([&] { return scenario.agentPids().empty(); }));
  EXPECT_EQ(scenario.countEvents("printer subservice terminated. profile= | LASER1"), 1);
  EXPECT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
}

}  // namespace
}  // namespace vorn::e2e
