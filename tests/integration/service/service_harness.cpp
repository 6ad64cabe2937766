#include "tests/integration/service/service_harness.h"

#include <signal.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/event_log.h"
#include "platform/registry.h"
#include "platform/wait.h"

namespace vorn::test {
namespace {

using namespace std::chrono_literals;

std::string eventLine(const LoggedEvent& event) {
  return event.strings.at(1).value_or("") + " | " + event.strings.at(2).value_or("");
}

}  // namespace

void VirtualClock::sleep(std::uint32_t milliseconds) {
  if (onSleep) onSleep(milliseconds);
  ticks += milliseconds;
}

std::vector<AgentProcess> agentProcesses(const std::filesystem::path& root, int parent) {
  std::vector<AgentProcess> agents;
  const std::string marker = "VORNPRINT_ROOT=" + root.string() + std::string(1, '\0');
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string stat = fileText(entry.path() / "stat");
    if (stat.find("(spoolagent)") == std::string::npos) continue;
    const std::string environment = fileText(entry.path() / "environ");
    // A zombie has no environment left to read: its parent tells whose it is.
    const bool zombie = stat.find(") Z ") != std::string::npos;
    if (!zombie && environment.find(marker) == std::string::npos) continue;
    if (zombie && std::stoi(stat.substr(stat.find(") Z ") + 4)) != parent) continue;
    agents.push_back({std::stoi(name), zombie});
  }
  return agents;
}

bool eventually(const std::function<bool()>& condition, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return condition();
}

ServiceHarness::ServiceHarness(bool agentProgram) {
  // Restart timers of 60 seconds take 60 ms: the time scale is read once per
  // process, and every test of this program uses the same.
  ::setenv("VORNPRINT_TIME_SCALE", "1000", 1);
  const char* path = std::getenv("PATH");
  savedPath_ = path != nullptr ? path : "";
  const std::string programs = programPath("spoolagent").parent_path().string();
  ::setenv("PATH", agentProgram ? (programs + ":" + savedPath_).c_str() : "/nonexistent", 1);
  service_ = std::make_unique<PrintService>(ServiceServices{
      .registry = platform::systemRegistry(),
      .eventLog = platform::systemEventLog(),
      .clock = clock,
      .dispatcher = dispatcher,
      .endProcess =
          [this](std::uint32_t code) {
            std::lock_guard lock(endMutex_);
            endCodes_.push_back(code);
          },
      .controlPipe = false,
  });
}

ServiceHarness::~ServiceHarness() {
  joinMain();
  PrintService& service = *service_;
  service.agents().EndWatchdog();
  if (service.stopState().begun()) waitForStopped();
  service.agents().withTable([](SubserviceTable& table) {
    for (int slot = 0; slot < kSubserviceSlots; ++slot) {
      if (auto& process = table[slot].process) static_cast<void>(process->terminate(0));
    }
  });
  service_.reset();
  ::setenv("PATH", savedPath_.c_str(), 1);
}

void writeProfiles(const std::filesystem::path& root, const std::vector<ProfileSpec>& profiles) {
  std::string reg = "REGEDIT4\n";
  for (const ProfileSpec& profile : profiles) {
    reg += "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\" + profile.name + "]\n";
    if (!profile.active.empty()) reg += "\"Active\"=\"" + profile.active + "\"\n";
    if (profile.hostPort == 0) continue;
    reg += "\"Machine\"=\"localhost\"\n\"CommType\"=\"pipe\"\n\"Port\"=\"" + std::to_string(profile.hostPort) +
           "\"\n\"Online\"=\"ONL1\"\n\"User\"=\"prtuser\"\n\"Location\"=\"floor2\"\n"
           "\"printerid\"=\"LASER1\"\n\"printername\"=\"VornPDF\"\n";
  }
  std::filesystem::create_directories(root / "pdf");
  reg += "\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\VornPDF]\n\"Port\"=\"" +
         (root / "pdf").string() + "\"\n";
  writeRegistry(root, reg);
}

std::unique_ptr<ChildProcess> startHost(int port, bool keepListening) {
  std::vector<std::string> args{"--pipe", std::to_string(port), "--hold"};
  if (keepListening) args.emplace_back("--keep-listening");
  auto host = std::make_unique<ChildProcess>(programPath("vornhost"), args);
  if (!eventually([&] { return host->standardOutput().find("listening") != std::string::npos; }))
    throw std::runtime_error("vornhost did not listen: " + host->standardError());
  return host;
}

void ServiceHarness::startHost(int port) { hosts_.push_back(test::startHost(port)); }

bool ServiceHarness::hostSawAttach(std::size_t index) const {
  return hosts_.at(index)->standardOutput().find("attach connect-string") != std::string::npos;
}

void ServiceHarness::start() {
  main_ = std::thread([this] { service_->ServiceMain(); });
}

void ServiceHarness::joinMain() {
  if (main_.joinable()) main_.join();
}

bool ServiceHarness::waitForStopped() {
  PrintService& service = *service_;
  if (!dispatcher.waitForState(platform::kServiceStopped, 1s)) {
    // No stop was asked for, or it never got far enough.
    if (service.shutdownThread() == nullptr) return false;
  }
  platform::Thread* thread = nullptr;
  eventually([&] {
    thread = service.shutdownThread();
    // A fatal stop runs its sequence on the thread that raised it.
    return thread != nullptr || !service.stopState().begun() || service.stopState().fatal();
  }, 2);
  if (thread != nullptr) {
    const std::array<platform::Waitable*, 1> objects{thread};
    platform::waitForMultipleObjects(objects, platform::kInfinite, false);
  }
  return dispatcher.waitForState(platform::kServiceStopped, 10s);
}

std::vector<std::uint32_t> ServiceHarness::agentPids() {
  std::vector<std::uint32_t> pids;
  service_->agents().withTable([&](const SubserviceTable& table) {
    for (int slot = 0; slot < kSubserviceSlots; ++slot) {
      if (table[slot].processId != 0) pids.push_back(table[slot].processId);
    }
  });
  return pids;
}

std::vector<std::string> ServiceHarness::serviceEvents() const {
  std::vector<std::string> lines;
  for (const LoggedEvent& event : readEvents(root())) {
    if (event.strings.at(0) == "VornPrintService") lines.push_back(eventLine(event));
  }
  return lines;
}

int ServiceHarness::countEvents(const std::string& text) const {
  int count = 0;
  for (const std::string& line : serviceEvents()) count += line == text ? 1 : 0;
  return count;
}

int ServiceHarness::agentEventCount() const {
  int count = 0;
  for (const LoggedEvent& event : readEvents(root())) count += event.strings.at(0) == "SPOOLAGENT" ? 1 : 0;
  return count;
}

std::vector<std::uint32_t> ServiceHarness::endCodes() {
  std::lock_guard lock(endMutex_);
  return endCodes_;
}

}  // namespace vorn::test
