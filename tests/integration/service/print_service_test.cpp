// The print service run inside the test: controls, start-up, stops and fatal
// stops, restarts in virtual time, with real agents and a fake dispatcher.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <future>
#include <regex>
#include <thread>
#include <string>
#include <vector>

#include "platform/service_control.h"
#include "service/environment_block.h"
#include "tests/integration/service/service_harness.h"

namespace vorn::test {
namespace {

using platform::ServiceStatus;
constexpr std::uint32_t kPending = platform::kServiceStartPending;
constexpr std::uint32_t kRunning = platform::kServiceRunning;
constexpr std::uint32_t kStopping = platform::kServiceStopPending;
constexpr std::uint32_t kStopped = platform::kServiceStopped;

// State, check point and wait hint of each report.
std::vector<std::string> summary(const std::vector<ServiceStatus>& reports) {
  std::vector<std::string> lines;
  for (const ServiceStatus& s : reports) {
    lines.push_back(std::to_string(s.dwCurrentState) + " cp" + std::to_string(s.dwCheckPoint) + " wh" +
                    std::to_string(s.dwWaitHint) + " exit" + std::to_string(s.dwWin32ExitCode));
  }
  return lines;
}

bool allGone(ServiceHarness& h, const std::vector<std::uint32_t>& pids) {
  return eventually([&] {
    for (const std::uint32_t pid : pids)
      if (::kill(static_cast<pid_t>(pid), 0) == 0) return false;
    return agentProcesses(h.root(), ::getpid()).empty();
  });
}

std::vector<ProfileSpec> threeHostedProfiles(ServiceHarness& h) {
  for (int port : {5301, 5302, 5303}) h.startHost(port);
  return {{"A", "yes", 5301}, {"B", "yes", 5302}, {"C", "yes", 5303}};
}

TEST(PrintServiceControls, HandlerTableAndAStopWithNoAgents) {
  ServiceHarness h;  // no registry: the service runs without agents
  h.start();
  ASSERT_TRUE(h.dispatcher.waitForState(kRunning));
  h.joinMain();
  EXPECT_EQ(summary(h.dispatcher.reports()), (std::vector<std::string>{"2 cp0 wh20000 exit0", "4 cp0 wh0 exit0"}));

  h.dispatcher.control(platform::kServiceControlInterrogate);
  h.dispatcher.control(200);
  EXPECT_EQ(summary(h.dispatcher.reports()).back(), "4 cp0 wh0 exit0");
  EXPECT_EQ(h.dispatcher.reports().size(), 3u);  // the unknown control reports nothing

  h.dispatcher.control(platform::kServiceControlStop);
  ASSERT_TRUE(h.waitForStopped());
  // A later stop or shutdown only reports the status again.
  h.dispatcher.control(platform::kServiceControlStop);
  h.dispatcher.control(platform::kServiceControlShutdown);
  EXPECT_EQ(summary(h.dispatcher.reports()),
            (std::vector<std::string>{"2 cp0 wh20000 exit0", "4 cp0 wh0 exit0", "4 cp0 wh0 exit0",
                                      "3 cp0 wh10000 exit0", "3 cp1 wh10000 exit0", "1 cp1 wh10000 exit0",
                                      "1 cp1 wh10000 exit0", "1 cp1 wh10000 exit0"}));
  EXPECT_EQ(h.clock.ticks.load(), 10000u);  // the grace period, even with no agents
  EXPECT_EQ(h.serviceEvents(), (std::vector<std::string>{"started | ", "couldn't open registry | 2",
                                                         "Unrecognized handler opcode | 200", "shutting down | "}));
  EXPECT_TRUE(h.endCodes().empty());
}

TEST(PrintServiceStartup, ActiveProfilesOnlyWithCheckPointsThenRunning) {
  ServiceHarness h;
  auto profiles = threeHostedProfiles(h);
  // An over-long key name is skipped and the scan goes on; "Active" must be exactly "yes".
  profiles.insert(profiles.begin(), {std::string(255, 'L'), "yes", 5399});  // one more than the scan's buffer holds
  profiles.insert(profiles.begin() + 2, {"Capital", "Yes", 5399});
  profiles.insert(profiles.begin() + 3, {"Blank", "yes ", 5399});
  h.writeProfiles(profiles);
  h.start();
  ASSERT_TRUE(h.dispatcher.waitForState(kRunning));
  h.joinMain();
  EXPECT_EQ(summary(h.dispatcher.reports()),
            (std::vector<std::string>{"2 cp0 wh20000 exit0", "2 cp1 wh20000 exit0", "2 cp2 wh20000 exit0",
                                      "2 cp3 wh20000 exit0", "4 cp0 wh0 exit0"}));
  EXPECT_EQ(h.clock.ticks.load(), 5000u);  // one pause per subkey opened
  const auto pids = h.agentPids();
  ASSERT_EQ(pids.size(), 3u);
  for (std::size_t host = 0; host < 3; ++host) EXPECT_TRUE(eventually([&] { return h.hostSawAttach(host); }));

  h.dispatcher.control(platform::kServiceControlStop);
  ASSERT_TRUE(h.waitForStopped());
  EXPECT_TRUE(allGone(h, pids));
  EXPECT_EQ(h.countEvents("shutting down | "), 1);
}

TEST(PrintServiceStop, StopDuringStartUpLaunchesNothingMoreAndNeverReportsRunning) {
  ServiceHarness h;
  h.writeProfiles(threeHostedProfiles(h));
  bool stopped = false;
  h.clock.onSleep = [&](std::uint32_t ms) {
    if (ms == 1000 && !stopped) {  // the pause after the first profile's start
      stopped = true;
      h.dispatcher.control(platform::kServiceControlStop);
    }
  };
  const auto before = agentProcesses(h.root(), ::getpid());
  h.start();
  ASSERT_TRUE(h.waitForStopped());
  h.joinMain();
  for (const ServiceStatus& report : h.dispatcher.reports()) EXPECT_NE(report.dwCurrentState, kRunning);
  EXPECT_TRUE(before.empty());
  EXPECT_TRUE(allGone(h, {}));
  EXPECT_FALSE(h.hostSawAttach(1));
  EXPECT_FALSE(h.hostSawAttach(2));
  EXPECT_EQ(h.countEvents("shutting down | "), 1);
}

TEST(PrintServiceStop, LaterControlsAndAFatalStopDuringAStopRunNoSecondSequence) {
  ServiceHarness h;
  h.writeProfiles(threeHostedProfiles(h));
  h.start();
  ASSERT_TRUE(h.dispatcher.waitForState(kRunning));
  h.joinMain();
  const auto pids = h.agentPids();
  h.clock.onSleep = [&](std::uint32_t ms) {
    if (ms != 10000) return;  // the grace period
    h.dispatcher.control(platform::kServiceControlStop);
    h.dispatcher.control(platform::kServiceControlShutdown);
    h.service().FatalStop("QueueUserAPC failed");  // records its code, returns
  };
  h.dispatcher.control(platform::kServiceControlStop);
  ASSERT_TRUE(h.waitForStopped());
  const auto lines = summary(h.dispatcher.reports());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "3 cp1 wh10000 exit0"), 3);  // signalled, then twice again
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l[0] == '1'; }), 1);
  EXPECT_EQ(lines.back().substr(0, 2), "1 ");
  EXPECT_EQ(h.dispatcher.reports().back().dwWin32ExitCode, 1u);
  EXPECT_EQ(h.service().exitCode(), 1u);
  EXPECT_TRUE(h.endCodes().empty());  // the running sequence ends the process
  EXPECT_TRUE(allGone(h, pids));
  EXPECT_EQ(h.countEvents("shutting down | "), 1);
}

TEST(PrintServiceStop, AgentsNotYetHandedToTheWatchdogAreStoppedToo) {
  ServiceHarness h;
  h.writeProfiles(threeHostedProfiles(h));
  // From the first pause of the start-up on, the watchdog is held up until
  // the stop terminates: the later agents are never handed over to it.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  h.clock.onSleep = [&](std::uint32_t ms) {
    if (ms != 1000 || released.valid() == false) return;
    ASSERT_TRUE(h.service().agents().queueToWatchdog([released] { released.wait(); }));
    released = {};
  };
  h.start();
  ASSERT_TRUE(h.dispatcher.waitForState(kRunning));
  h.joinMain();
  const auto pids = h.agentPids();
  std::thread releaser([&] {
    eventually([&] { return h.service().stopState().get() == STOP_TERMINATING; });
    release.set_value();
  });
  h.dispatcher.control(platform::kServiceControlStop);
  ASSERT_TRUE(h.waitForStopped());
  releaser.join();
  EXPECT_EQ(h.dispatcher.reports().back().dwCheckPoint, 4u);  // signalled, then each of the three terminated
  EXPECT_TRUE(allGone(h, pids));
}

TEST(PrintServiceStop, RefusedStatusReportIsAFatalStopThatRunsOnce) {
  struct Case {
    const char* what;
    std::function<bool(const ServiceStatus&)> refuse;
  };
  const std::vector<Case> cases = {
      {"the running report", [](const ServiceStatus& s) { return s.dwCurrentState == kRunning; }},
      {"every report after the start", [](const ServiceStatus& s) { return s.dwCurrentState != kPending; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ServiceHarness h;
    h.writeProfiles(threeHostedProfiles(h));
    h.dispatcher.refuse = c.refuse;
    h.start();
    ASSERT_TRUE(eventually([&] { return !h.endCodes().empty(); }));
    h.joinMain();
    EXPECT_EQ(h.endCodes(), std::vector<std::uint32_t>{1});
    EXPECT_TRUE(allGone(h, {}));
    EXPECT_EQ(h.countEvents("shutting down | "), 1);
    // One fatal stop; every later refusal is an event only.
    EXPECT_EQ(h.countEvents("error calling SetServiceStatus | 6"), h.dispatcher.refusedReports());
    for (const ServiceStatus& report : h.dispatcher.reports()) {
      EXPECT_NE(report.dwCurrentState, kRunning);
      if (report.dwCurrentState == kStopping || report.dwCurrentState == kStopped) {
        EXPECT_EQ(report.dwWin32ExitCode, 6u);
      }
    }
  }
}

TEST(PrintServiceLauncher, HandOverFailureTerminatesTheAgentAndStopsAfterTheLock) {
  ServiceHarness h;
  h.startHost(5311);
  h.writeProfiles({{"A", "no", 5311}});
  h.start();
  ASSERT_TRUE(h.dispatcher.waitForState(kRunning));
  h.joinMain();
  // The watchdog ends (as after a failed wait): no launch can hand over to it.
  h.service().agents().EndWatchdog();
  h.service().agents().StartProfileAtBoot("A");
  EXPECT_EQ(h.endCodes(), std::vector<std::uint32_t>{1});
  h.service().agents().withTable([](const SubserviceTable& table) {
    EXPECT_EQ(table[0].status, SUBSERVICE_START_FAILED);
    EXPECT_EQ(table[0].processId, 0u);
  });
  EXPECT_TRUE(allGone(h, {}));
  EXPECT_EQ(h.countEvents("QueueUserAPC failed | "), 1);
  EXPECT_EQ(h.countEvents("shutting down | "), 1);
  EXPECT_TRUE(h.dispatcher.waitForState(kStopped));
}

TEST(PrintServiceLauncher, MissingAgentProgramAndAFullTable) {
  ServiceHarness h(false);
  std::vector<ProfileSpec> profiles;
  for (int i = 0; i < 65; ++i) profiles.push_back({"P" + std::to_string(100 + i)});
  h.writeProfiles(profiles);
  h.start();
  ASSERT_TRUE(h.dispatcher.waitForState(kRunning));
  h.joinMain();
  EXPECT_EQ(h.countEvents("Init error, failed to create:\nP100 | 2"), 1);
  EXPECT_EQ(h.countEvents("Init error, failed to create:\nP163 | 2"), 1);
  EXPECT_EQ(h.countEvents("ohno addtotable failed | 536870916"), 1);
  h.service().agents().withTable([](const SubserviceTable& table) {
    for (int slot = 0; slot < kSubserviceSlots; ++slot) {
      EXPECT_EQ(table[slot].status, SUBSERVICE_START_FAILED);
      EXPECT_EQ(table[slot].processId, 0u);
    }
  });
}

TEST(PrintServiceLauncher, EnvironmentTooLargeForTheAgentsBlock) {
  ServiceHarness h;
  h.writeProfiles({{"A"}});
  ::setenv("VORN_TEST_LARGE", std::string(kEnvironmentCopyLimit, 'x').c_str(), 1);
  h.start();
  ASSERT_TRUE(h.dispatcher.waitForState(kRunning));
  h.joinMain();
  ::unsetenv("VORN_TEST_LARGE");
  EXPECT_EQ(h.countEvents("Init error, failed to create:\nA | 10"), 1);
  EXPECT_TRUE(agentProcesses(h.root(), ::getpid()).empty());
}

TEST(PrintServiceWatchdog, RetryEventsOutsideTheQuietPeriodOnly) {
  ServiceHarness h;
  h.writeProfiles({{"Q"}});  // an agent that ends at its start-up, again and again
  h.start();
  ASSERT_TRUE(h.dispatcher.waitForState(kRunning));
  h.joinMain();
  const std::string retry = "printer subservice ";
  const auto retries = [&] {
    int count = 0;
    for (const std::string& line : h.serviceEvents()) count += line.starts_with(retry) ? 1 : 0;
    return count;
  };
  ASSERT_TRUE(eventually([&] { return retries() == 1 && h.agentEventCount() >= 4; }));
  EXPECT_EQ(retries(), 1);  // restarted three times within the quiet period
  // Every agent now ends 400 seconds after its restart: each end is reported.
  int agentEvents = h.agentEventCount();
  h.clock.stepPerReading = 400000;  // read at the restart and at the end
  ASSERT_TRUE(eventually([&] { return retries() >= 3 && h.agentEventCount() >= agentEvents + 3; }));
  // And 100 seconds after: quiet again.
  h.clock.stepPerReading = 100000;
  ASSERT_TRUE(eventually([&] { return h.agentEventCount() >= agentEvents + 5; }));
  const int reported = retries();
  agentEvents = h.agentEventCount();
  ASSERT_TRUE(eventually([&] { return h.agentEventCount() >= agentEvents + 3; }));
  EXPECT_LE(retries(), reported + 1);  // at most the end that was under way when the step changed

  // The first event carries the ended process's id.
  const auto events = h.serviceEvents();
  const auto first = std::find_if(events.begin(), events.end(), [&](const std::string& l) { return l.starts_with(retry); });
  EXPECT_TRUE(std::regex_match(*first, std::regex("printer subservice [0-9]+ terminated \\(profile Q\\) - will retry "
                                                  "every 60 sec\\.  Run 'spoolcmd show' to check status \\| ")));

  // A routine armed for another slot or another use of it launches nothing.
  h.service().agents().RestartTimerRoutine(64, 1);
  h.service().agents().RestartTimerRoutine(0, 999);
  EXPECT_EQ(h.countEvents("ohno bad timer restart, param= | 64"), 1);
  EXPECT_EQ(h.countEvents("ohno bad timer restart, param= | 0"), 1);

  // A stop cancels the restart: no agent starts after it.
  h.dispatcher.control(platform::kServiceControlStop);
  ASSERT_TRUE(h.waitForStopped());
  const int afterStop = h.agentEventCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // five restart delays
  EXPECT_EQ(h.agentEventCount(), afterStop);
  EXPECT_TRUE(agentProcesses(h.root(), ::getpid()).empty());
}

}  // namespace
}  // namespace vorn::test
