// A PrintService run inside the test process on the real platform (a
// temporary root, its registry and event log, real spoolagents attached to
// vornhosts) with a fake dispatcher, which the test plays, and a virtual clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "service/print_service.h"
#include "tests/fakes/fake_service_dispatcher.h"
#include "tests/support/test_support.h"

namespace vorn::test {

// Sleeps move the time on at once; the test may move it on, or act, from a
// sleep (onSleep runs on the sleeping thread before the sleep returns).
class VirtualClock final : public platform::Clock {
 public:
  std::uint64_t systemTimeAsFileTime() override { return 0; }
  // Each reading moves the time on by `stepPerReading` first.
  std::uint64_t tickCount64() override { return ticks += stepPerReading.load(); }
  void sleep(std::uint32_t milliseconds) override;

  std::atomic<std::uint64_t> ticks{0};
  std::atomic<std::uint64_t> stepPerReading{0};
  std::function<void(std::uint32_t milliseconds)> onSleep;  // set before the service starts

 private:
  std::mutex mutex_;
  std::vector<std::uint32_t> sleeps_;
};

struct ProfileSpec {
  std::string name;
  std::string active = "yes";
  int hostPort = 0;  // 0: no host values (the agent ends at its start-up)
};

// Writes <root>/registry.reg: the profiles key with `profiles`, in this
// order, and the built-in PDF printer VornPDF the hosted ones print on.
void writeProfiles(const std::filesystem::path& root, const std::vector<ProfileSpec>& profiles);

// vornhost on pipe port `port`, holding its agent's link (serving one agent
// after the other with `keepListening`), once it listens.
std::unique_ptr<ChildProcess> startHost(int port, bool keepListening = false);

// Agent processes (spoolagent) that run with this root, and those that
// ended and were not reaped by `parent` (zombies).
struct AgentProcess {
  int pid = 0;
  bool zombie = false;
};
std::vector<AgentProcess> agentProcesses(const std::filesystem::path& root, int parent);

class ServiceHarness {
 public:
  // `agentProgram`: whether the agents can be found (the build's programs on PATH).
  explicit ServiceHarness(bool agentProgram = true);
  ~ServiceHarness();

  const std::filesystem::path& root() const { return root_.path(); }

  void writeProfiles(const std::vector<ProfileSpec>& profiles) { test::writeProfiles(root(), profiles); }
  // vornhost on pipe port `port`, holding its agent's link.
  void startHost(int port);
  bool hostSawAttach(std::size_t index) const;

  // Runs ServiceMain on a thread of its own, as the dispatcher would.
  void start();
  void joinMain();
  // Waits until SERVICE_STOPPED is reported and the stop sequence's thread has ended.
  bool waitForStopped();

  // Process ids of the slots that hold a process.
  std::vector<std::uint32_t> agentPids();
  // The service's events as "message | detail".
  std::vector<std::string> serviceEvents() const;
  int countEvents(const std::string& text) const;
  // The agents' own events.
  int agentEventCount() const;

  fakes::FakeServiceDispatcher dispatcher;
  VirtualClock clock;
  std::vector<std::uint32_t> endCodes();  // what endProcess was called with
  PrintService& service() { return *service_; }

 private:
  TempRoot root_;
  std::string savedPath_;
  std::mutex endMutex_;
  std::vector<std::uint32_t> endCodes_;
  std::unique_ptr<PrintService> service_;
  std::thread main_;
  std::vector<std::unique_ptr<ChildProcess>> hosts_;
};

// Polls `condition` for up to `seconds`.
bool eventually(const std::function<bool()>& condition, int seconds = 10);

}  // namespace vorn::test
