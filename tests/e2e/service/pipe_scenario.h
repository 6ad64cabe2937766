// The service with stand-in agents: VornPrintService and spoolcmd copied
// into a folder of the root with the stub agent as its spoolagent (the
// service finds its agent beside itself first), registered and started.
#pragma once

#include <string>
#include <vector>

#include "tests/e2e/service/service_scenario.h"

namespace vorn::e2e {

// Writes `profiles` (no host values), registers the copied service and
// starts it; returns once it runs. The programs go to `programs` when one is
// given, else to a folder of the root.
void startWithStubAgents(ServiceScenario& scenario, const std::vector<test::ProfileSpec>& profiles,
                         const std::filesystem::path& programs = {});
// The same with a registry file of the test's own.
void startWithStubAgentsAndRegistry(ServiceScenario& scenario, const std::string& registryFile);

// What spoolcmd show prints for `lines` (each as "\n..." after the header).
std::string showListing(int count, const std::string& lines);
std::string runningLine(int pid, const std::string& name);

}  // namespace vorn::e2e
