// spoolcmd against the real service control manager and VornPrintService:
// its texts, exit codes and the service's life cycle.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "tests/e2e/service/service_scenario.h"

namespace vorn::e2e {
namespace {

const std::string kHelp =
    "Options are:\n"
    "    show                  shows all active VORN printers\n"
    "    stop                  stops VORNPrintServices Windows Service\n"
    "    start                 starts the Windows Service\n"
    "    create                installs the Windows Service\n"
    "    delete                uninstalls the Windows Service\n"
    "    run /profile=name\n"
    "    kill /profile=name\n"
    "\n(to define or change VORN printers, run VornPrintProfiles)\n";

std::string systemError(const std::string& text, int code, const std::string& systemText) {
  return "*** error: " + text + ",\n  last error: " + std::to_string(code) + " " + systemText + "\r\n\n";
}

struct Expected {
  std::vector<std::string> args;
  std::string output;
  int exitCode;
};

void expectAll(ServiceScenario& scenario, const std::vector<Expected>& cases) {
  for (const Expected& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const auto result = scenario.spoolcmd(c.args);
    EXPECT_EQ(result.standardOutput, c.output);
    EXPECT_EQ(result.exitCode, c.exitCode);
  }
}

TEST(SpoolcmdE2e, HelpArgumentErrorsAndAnUninstalledService) {
  ServiceScenario scenario;
  const std::string missing =
      systemError("could not open service handle", 1060, "The specified service does not exist as an installed service.");
  expectAll(scenario, {
                          {{}, kHelp, 0},
                          {{"/?", "x"}, kHelp, 0},
                          {{"run"}, "*** error: /profile= parameter required\n", 1},
                          {{"show", "x"}, "*** error: called with too many parameters\n", 1},
                          {{"kill", "/Profile=A"}, "*** error: invalid /profile= parameter\n", 1},
                          {{"install"}, "*** error: called with invalid parameter\n", 1},
                          {{"start"}, missing, 1},
                          {{"STOP"}, missing, 1},
                          {{"delete"}, missing, 1},
                          {{"show"}, missing, 1},
                          {{"run", "/profile=A"}, missing, 1},
                      });
}

using test::fileText;

TEST(SpoolcmdE2e, CreateStartStopDelete) {
  ServiceScenario scenario;
  const auto folder = scenario.root() / "services" / "VornPrintService";
  // A dot a second through the service's ten-second grace period; a loaded
  // machine stretches each second's poll, so fewer than ten dots are no fault.
  const std::regex waitedOk("  waiting for VornPrintService to stop (\\. ){5,}  ok\n");

  expectAll(scenario, {{{"create"}, "  ok\n", 0}});
  const std::string registration = fileText(folder / "config");
  EXPECT_EQ(registration, "{\"DisplayName\":\"VornPrintService\",\"ImagePath\":\"" +
                              (test::programPath("spoolcmd").parent_path() / "VornPrintService").string() +
                              "\",\"Type\":16,\"Start\":2,\"ErrorControl\":1}\n");
  expectAll(scenario, {
                          {{"create"}, systemError("failed to create service", 1073, "The specified service already exists."), 1},
                          {{"start"}, "  ok\n", 0},
                          {{"start"}, systemError("failed to start service", 1056, "An instance of the service is already running."), 1},
                      });
  EXPECT_EQ(fileText(folder / "config"), registration);  // untouched by the second create

  // The pipe answers once the service runs; a refusal still exits with 0.
  ASSERT_TRUE(scenario.waitForState(4));
  const std::string closing = "\n\n(to define or change printer profiles, run VornPrintProfiles)\n";
  expectAll(scenario, {{{"show"},
                        "\nThere are 0 active VornPrintService printers:\n         processid   status   profile.name" +
                            closing,
                        0},
                       {{"kill", "/profile=A"}, "\nKill process error: couldn't find profile\n", 0}});
  auto stop = scenario.spoolcmd({"stop"});
  EXPECT_TRUE(std::regex_match(stop.standardOutput, waitedOk)) << stop.standardOutput;
  EXPECT_EQ(stop.exitCode, 0);
  ASSERT_TRUE(scenario.status());
  EXPECT_EQ(scenario.status()->state, 1u);
  EXPECT_EQ(scenario.status()->checkPoint, 1u);  // the grace period, with no agents
  expectAll(scenario, {{{"stop"}, systemError("could not stop service", 1062, "The service has not been started."), 1},
                       // Not there any more: the pipe client's failure lines, exit code 0.
                       {{"show"}, "\n\nVornPrintService not found: 2\n", 0},
                       {{"kill", "/profile=A"}, "\nKill process error 2\n", 0}});

  // Delete while running stops first; delete while stopped does not wait.
  expectAll(scenario, {{{"start"}, "  ok\n", 0}});
  ASSERT_TRUE(scenario.waitForState(4));
  const auto running = scenario.spoolcmd({"delete"});
  EXPECT_TRUE(std::regex_match(running.standardOutput, waitedOk)) << running.standardOutput;
  EXPECT_FALSE(std::filesystem::exists(folder));
  expectAll(scenario, {{{"create"}, "  ok\n", 0}, {{"delete"}, "  ok\n", 0}});
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_EQ(scenario.countEvents("started | "), 2);
  EXPECT_EQ(scenario.countEvents("shutting down | "), 2);
}

TEST(SpoolcmdE2e, ServiceProgramStartedFromAConsole) {
  ServiceScenario scenario;
  const auto result = test::runProgram(test::programPath("VornPrintService"), {});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(scenario.serviceEvents(), std::vector<std::string>{"StartServiceCtrlDispatcher error | 1063"});
}

}  // namespace
}  // namespace vorn::e2e
