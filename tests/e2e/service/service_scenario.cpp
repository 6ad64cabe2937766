#include "tests/e2e/service/service_scenario.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <thread>

#include <fstream>
#include <regex>
#include <sstream>

namespace vorn::e2e {
namespace {

using test::fileText;

std::uint32_t field(const std::string& json, const std::string& name) {
  std::smatch match;
  if (!std::regex_search(json, match, std::regex("\"" + name + "\":([0-9]+)"))) return 0;
  return static_cast<std::uint32_t>(std::stoul(match[1]));
}

}  // namespace

ServiceScenario::ServiceScenario(unsigned timeScale) : timeScale_(timeScale) {}

ServiceScenario::~ServiceScenario() {
  if (const auto recorded = status(); recorded && recorded->pid != 0 && recorded->state != 1)
    ::kill(recorded->pid, SIGKILL);
  for (const int pid : agentPids()) ::kill(pid, SIGKILL);
}

std::vector<std::pair<std::string, std::string>> ServiceScenario::environment() const {
  if (timeScale_ == 0) return {};
  return {{"VORNPRINT_TIME_SCALE", std::to_string(timeScale_)}};
}

test::ProgramResult ServiceScenario::spoolcmd(const std::vector<std::string>& args,
                                              const std::filesystem::path& folder) {
  const auto program = folder.empty() ? test::programPath("spoolcmd") : folder / "spoolcmd";
  return test::runProgram(program, args, environment(), std::chrono::seconds(120));
}

std::unique_ptr<test::ChildProcess> ServiceScenario::startSpoolcmd(const std::vector<std::string>& args) {
  return std::make_unique<test::ChildProcess>(test::programPath("spoolcmd"), args, environment());
}

test::ChildProcess& ServiceScenario::startHost(int port, bool keepListening) {
  hosts_.push_back(test::startHost(port, keepListening));
  return *hosts_.back();
}

std::optional<RecordedStatus> ServiceScenario::status() const {
  const auto path = root() / "services" / "VornPrintService" / "status";
  if (!std::filesystem::exists(path)) return std::nullopt;
  const std::string json = fileText(path);
  if (json.empty()) return std::nullopt;
  return RecordedStatus{field(json, "dwCurrentState"), field(json, "dwCheckPoint"), field(json, "dwWin32ExitCode"),
                        static_cast<int>(field(json, "pid"))};
}

bool ServiceScenario::waitForState(std::uint32_t state) const {
  return test::eventually([&] {
    const auto recorded = status();
    return recorded && recorded->state == state;
  });
}

std::vector<int> ServiceScenario::agentPids() const {
  std::vector<int> pids;
  for (const auto& agent : test::agentProcesses(root(), -1)) pids.push_back(agent.pid);
  return pids;
}

bool ServiceScenario::zombies() const {
  const auto recorded = status();
  if (!recorded) return false;
  for (const auto& agent : test::agentProcesses(root(), recorded->pid))
    if (agent.zombie) return true;
  return false;
}

std::vector<std::string> ServiceScenario::serviceEvents() const {
  std::vector<std::string> lines;
  for (const auto& event : test::readEvents(root())) {
    if (event.strings.at(0) == "VornPrintService")
      lines.push_back(event.strings.at(1).value_or("") + " | " + event.strings.at(2).value_or(""));
  }
  return lines;
}

int ServiceScenario::countEvents(const std::string& line) const {
  int count = 0;
  for (const std::string& event : serviceEvents()) count += event == line ? 1 : 0;
  return count;
}

// An agent that ends is started again after the restart delay, with one
// retry event naming the ended process; nothing is left unreaped and the
// idle service uses no processor time in between.
void expectRestart(ServiceScenario& scenario, std::chrono::milliseconds delay) {
  using test::eventually;
  scenario.startHost(5421, true);
  scenario.writeProfiles({{"A", "yes", 5421}});
  ASSERT_EQ(scenario.spoolcmd({"create"}).exitCode, 0);
  ASSERT_EQ(scenario.spoolcmd({"start"}).exitCode, 0);
  ASSERT_TRUE(scenario.waitForState(4));
  ASSERT_TRUE(eventually([&] { return scenario.agentPids().size() == 1; }));
  const int ended = scenario.agentPids().front();
  const int servicePid = scenario.status()->pid;
  const auto cpuTicks = [&] {
    const std::string text = fileText("/proc/" + std::to_string(servicePid) + "/stat");
    std::istringstream stat(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && stat >> field; ++i)
      if (i == 14 || i == 15) ticks += std::stol(field);  // utime, stime
    return ticks;
  };

  const auto killedAt = std::chrono::steady_clock::now();
  ASSERT_EQ(::kill(ended, SIGKILL), 0);
  ASSERT_TRUE(eventually([&] { return scenario.countEvents("printer subservice " + std::to_string(ended) +
                                                           " terminated (profile A) - will retry every 60 sec.  Run "
                                                           "'spoolcmd show' to check status | ") == 1; }));
  EXPECT_FALSE(scenario.zombies());
  const long idleFrom = cpuTicks();
  std::this_thread::sleep_for(delay / 3);
  EXPECT_LE(cpuTicks() - idleFrom, 1);
  EXPECT_TRUE(scenario.agentPids().empty());

  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(delay).count() + 30;
  ASSERT_TRUE(eventually([&] { return scenario.agentPids().size() == 1; }, static_cast<int>(seconds)));
  EXPECT_GE(std::chrono::steady_clock::now() - killedAt, delay);
  EXPECT_NE(scenario.agentPids().front(), ended);
  ASSERT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
}

}  // namespace vorn::e2e
