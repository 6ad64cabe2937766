// End-to-end scenarios of the print service: spoolcmd, VornPrintService,
// spoolagent and vornhost as real processes in a temporary platform root, at
// a time scale that makes the service's waits short.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/integration/service/service_harness.h"
#include "tests/support/test_support.h"

namespace vorn::e2e {

// The status the service reported last (services/VornPrintService/status).
struct RecordedStatus {
  std::uint32_t state = 0;
  std::uint32_t checkPoint = 0;
  std::uint32_t exitCode = 0;
  int pid = 0;
};

class ServiceScenario {
 public:
  // `timeScale`: 0 leaves VORNPRINT_TIME_SCALE unset.
  explicit ServiceScenario(unsigned timeScale = 20);
  // Kills a service and agents still running (they live in sessions of their own).
  ~ServiceScenario();

  const std::filesystem::path& root() const { return root_.path(); }

  // Runs spoolcmd from `folder` (default: the build's programs) to its end.
  test::ProgramResult spoolcmd(const std::vector<std::string>& args, const std::filesystem::path& folder = {});
  // Starts spoolcmd and returns at once.
  std::unique_ptr<test::ChildProcess> startSpoolcmd(const std::vector<std::string>& args);

  void writeProfiles(const std::vector<test::ProfileSpec>& profiles) { test::writeProfiles(root(), profiles); }
  test::ChildProcess& startHost(int port, bool keepListening = false);

  std::optional<RecordedStatus> status() const;
  // Waits until the recorded state is `state` (a stop is refused, 1061,
  // while the service is still starting).
  bool waitForState(std::uint32_t state) const;
  // Pids of the running agents of this root, and whether any ended one is left unreaped.
  std::vector<int> agentPids() const;
  bool zombies() const;

  // The service's events as "message | detail".
  std::vector<std::string> serviceEvents() const;
  int countEvents(const std::string& line) const;

 private:
  std::vector<std::pair<std::string, std::string>> environment() const;

  test::TempRoot root_;
  unsigned timeScale_;
  std::vector<std::unique_ptr<test::ChildProcess>> hosts_;
};

// Kills the one agent of profile A (on host pipe 5421) and checks that it is
// started again after `delay`, with one retry event naming it, no process
// left unreaped and no processor time used by the idle service meanwhile.
void expectRestart(ServiceScenario& scenario, std::chrono::milliseconds delay);

}  // namespace vorn::e2e
