#include "tests/e2e/service/pipe_scenario.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace vorn::e2e {
namespace {

void registerAndStart(ServiceScenario& scenario, const std::filesystem::path& programs) {
  const auto folder = programs.empty() ? scenario.root() / "programs" : programs;
  std::filesystem::create_directories(folder);
  for (const char* program : {"VornPrintService", "spoolcmd"})
    std::filesystem::copy_file(test::programPath(program), folder / program);
  std::filesystem::copy_file(VORN_STUB_AGENT, folder / "spoolagent");
  ASSERT_EQ(scenario.spoolcmd({"create"}, folder).standardOutput, "  ok\n");
  ASSERT_EQ(scenario.spoolcmd({"start"}).standardOutput, "  ok\n");
  ASSERT_TRUE(scenario.waitForState(4));
}

}  // namespace

void startWithStubAgents(ServiceScenario& scenario, const std::vector<test::ProfileSpec>& profiles,
                         const std::filesystem::path& programs) {
  scenario.writeProfiles(profiles);
  registerAndStart(scenario, programs);
}

void startWithStubAgentsAndRegistry(ServiceScenario& scenario, const std::string& registryFile) {
  test::writeRegistry(scenario.root(), registryFile);
  registerAndStart(scenario, {});
}

std::string showListing(int count, const std::string& lines) {
  return "\nThere are " + std::to_string(count) + " active VornPrintService printers:\n" +
         "         processid   status   profile.name" + lines +
         "\n\n(to define or change printer profiles, run VornPrintProfiles)\n";
}

std::string runningLine(int pid, const std::string& name) {
  char line[64];
  std::snprintf(line, sizeof line, "\n         %6d     running   ", pid);
  return line + name;
}

}  // namespace vorn::e2e
