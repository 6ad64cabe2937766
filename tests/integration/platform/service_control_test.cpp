#include "platform/service_control.h"

#include "platform/error.h"
#include "platform/posix/unique_fd.h"
#include "platform/service_dispatcher.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace vorn::platform {
namespace {

using namespace std::chrono_literals;
using posix::UniqueFd;

std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ServiceConfig testService(std::string name) {
  ServiceConfig config;
  config.name = std::move(name);
  config.displayName = config.name;
  config.binaryPath = VORN_TEST_SERVICE_PROGRAM;
  return config;
}

// A temporary root with a manager on it. Services still running at the end
// are killed, since they live in sessions of their own.
class ServiceControl : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(openServiceManager(kScManagerAllAccess, manager_), 0u); }

  void TearDown() override {
    for (const pid_t pid : started_) ::kill(pid, SIGKILL);
  }

  std::unique_ptr<ServiceHandle> create(const std::string& name) {
    std::unique_ptr<ServiceHandle> service;
    EXPECT_EQ(manager_->createService(testService(name), kServiceAllAccess, service), 0u);
    return service;
  }

  std::unique_ptr<ServiceHandle> createAndStart(const std::string& name) {
    auto service = create(name);
    EXPECT_EQ(service->start(), 0u);
    remember(name);
    EXPECT_TRUE(waitForState(*service, kServiceRunning));
    return service;
  }

  void remember(const std::string& name) {
    if (const pid_t pid = recordedPid(name)) started_.push_back(pid);
  }

  pid_t recordedPid(const std::string& name) const {
    std::smatch match;
    const std::string status = readFile(folder(name) / "status");
    return std::regex_search(status, match, std::regex("\"pid\":([0-9]+)")) ? std::stoi(match[1]) : 0;
  }

  static bool waitForState(ServiceHandle& service, std::uint32_t state) {
    for (auto waited = 0ms; waited < 10s; waited += 10ms) {
      ServiceStatus status;
      if (service.queryStatus(status) == 0 && status.dwCurrentState == state) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  static bool processEnds(pid_t pid) {
    for (auto waited = 0ms; waited < 10s; waited += 10ms) {
      if (::kill(pid, 0) != 0) return true;  // ended and reaped
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  std::filesystem::path folder(const std::string& name) const { return root_.path() / "services" / name; }
  std::string serviceLog() const { return readFile(root_.path() / "test-service.log"); }

  test::TempRoot root_;
  std::unique_ptr<ServiceManager> manager_;
  std::vector<pid_t> started_;
};

TEST_F(ServiceControl, CreatingAgainIsServiceExistsAndLeavesTheRegistration) {
  auto service = create("Spooler");
  const std::string config = readFile(folder("Spooler") / "config");
  EXPECT_EQ(config, "{\"DisplayName\":\"Spooler\",\"ImagePath\":\"" VORN_TEST_SERVICE_PROGRAM
                    "\",\"Type\":16,\"Start\":2,\"ErrorControl\":1}\n");
  ServiceConfig other = testService("Spooler");
  other.binaryPath = "/elsewhere";
  std::unique_ptr<ServiceHandle> again;
  EXPECT_EQ(manager_->createService(other, kServiceAllAccess, again), kErrorServiceExists);
  EXPECT_EQ(readFile(folder("Spooler") / "config"), config);
}

TEST_F(ServiceControl, StartInterrogateAndStopRunTheServiceThroughItsLife) {
  // What a starter leaves around must not reach the service: a descriptor, a
  // blocked signal, an ignored one, its session and folder.
  const UniqueFd leaked(::open("/dev/null", O_RDONLY));
  sigset_t usr2;
  sigemptyset(&usr2);
  sigaddset(&usr2, SIGUSR2);
  ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &usr2, nullptr), 0);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGHUP, &ignore, &previous), 0);
  auto service = createAndStart("Life");
  ::pthread_sigmask(SIG_UNBLOCK, &usr2, nullptr);
  ::sigaction(SIGHUP, &previous, nullptr);
  const pid_t pid = recordedPid("Life");
  EXPECT_EQ(service->start(), kErrorServiceAlreadyRunning);

  ServiceStatus status;
  EXPECT_EQ(service->control(kServiceControlInterrogate, status), 0u);
  EXPECT_EQ(status, (ServiceStatus{kServiceWin32OwnProcess, kServiceRunning, kServiceAcceptStop | kServiceAcceptShutdown, 0, 0, 0, 3000}));
  EXPECT_EQ(service->control(kServiceControlStop, status), 0u);
  EXPECT_EQ(status.dwCurrentState, kServiceStopPending);

  EXPECT_TRUE(waitForState(*service, kServiceStopped));
  EXPECT_TRUE(processEnds(pid));
  EXPECT_EQ(serviceLog(),
            "spawned fds=0,1,2 session=own blocked=none ignored=none cwd=root\ncontrol 4\ncontrol 1\nrun 0\n");
  EXPECT_EQ(service->control(kServiceControlStop, status), kErrorServiceNotActive);
  EXPECT_FALSE(std::filesystem::exists(folder("Life") / "control"));
}

TEST_F(ServiceControl, TwoStartsAtOnceGiveOneService) {
  auto service = create("Twice");
  std::unique_ptr<ServiceHandle> second;
  ASSERT_EQ(manager_->openService("Twice", kServiceAllAccess, second), 0u);
  std::uint32_t results[2] = {};
  std::thread other([&] { results[1] = second->start(); });
  results[0] = service->start();
  other.join();
  remember("Twice");
  std::sort(std::begin(results), std::end(results));
  EXPECT_EQ(results[0], 0u);
  EXPECT_EQ(results[1], kErrorServiceAlreadyRunning);
  // A start returns once the service listens for controls (its handler may
  // still be on the way: 1061 then).
  ServiceStatus status;
  EXPECT_NE(service->control(kServiceControlInterrogate, status), kErrorServiceNotActive);
}

TEST_F(ServiceControl, UnknownServicesAreServiceDoesNotExist) {
  std::unique_ptr<ServiceHandle> service;
  EXPECT_EQ(manager_->openService("Nobody", kServiceAllAccess, service), kErrorServiceDoesNotExist);
  EXPECT_EQ(lastError(), kErrorServiceDoesNotExist);

  service = create("Brief");
  EXPECT_EQ(service->remove(), 0u);  // stopped: it goes at once
  EXPECT_FALSE(std::filesystem::exists(folder("Brief")));
  ServiceStatus status;
  EXPECT_EQ(service->control(kServiceControlStop, status), kErrorServiceDoesNotExist);
  EXPECT_EQ(service->remove(), kErrorServiceDoesNotExist);
  EXPECT_EQ(service->start(), kErrorServiceDoesNotExist);
}

TEST_F(ServiceControl, AProgramThatNeverListensOrIsMissingDoesNotStart) {
  for (const auto& [program, expected] : {std::pair{"/bin/true", kErrorServiceRequestTimeout},
                                          std::pair{"/no/such/program", kErrorFileNotFound}}) {
    ServiceConfig config = testService("Broken");
    config.binaryPath = program;
    std::unique_ptr<ServiceHandle> service;
    ASSERT_EQ(manager_->createService(config, kServiceAllAccess, service), 0u);
    EXPECT_EQ(service->start(), expected) << program;
    ServiceStatus status;
    EXPECT_EQ(service->queryStatus(status), 0u);
    EXPECT_EQ(status.dwCurrentState, kServiceStopped) << program;
    EXPECT_EQ(service->remove(), 0u);
  }
}

TEST_F(ServiceControl, ARunningServiceDeletedGoesWhenItStops) {
  auto service = createAndStart("Doomed");
  EXPECT_EQ(service->remove(), 0u);
  std::unique_ptr<ServiceHandle> other;
  EXPECT_EQ(manager_->createService(testService("Doomed"), kServiceAllAccess, other), kErrorServiceMarkedForDelete);
  EXPECT_EQ(manager_->openService("Doomed", kServiceAllAccess, other), kErrorServiceDoesNotExist);
  EXPECT_EQ(service->start(), kErrorServiceMarkedForDelete);

  ServiceStatus status;
  EXPECT_EQ(service->control(kServiceControlStop, status), 0u);
  for (auto waited = 0ms; waited < 10s && std::filesystem::exists(folder("Doomed")); waited += 10ms) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_FALSE(std::filesystem::exists(folder("Doomed")));
  EXPECT_EQ(manager_->createService(testService("Doomed"), kServiceAllAccess, other), 0u);
}

TEST_F(ServiceControl, AProgramNotStartedAsAServiceCannotConnect) {
  create("Registered");
  for (const char* name : {"", "Unregistered"}) {
    std::filesystem::remove(root_.path() / "test-service.log");
    const auto run = test::runProgram(VORN_TEST_SERVICE_PROGRAM, {}, {{"VORNPRINT_SERVICE", name}}, 10s);
    EXPECT_EQ(run.exitCode, 0) << name;
    EXPECT_EQ(serviceLog(), "run 1063\n") << name;
  }
  EXPECT_EQ(systemServiceDispatcher().run("Registered", [](std::span<const std::string>) {}),
            kErrorFailedServiceControllerConnect);  // no VORNPRINT_SERVICE here
  EXPECT_EQ(systemServiceDispatcher().registerControlHandler("Registered", [](std::uint32_t) {}),
            kErrorServiceDoesNotExist);
  EXPECT_FALSE(systemServiceDispatcher().setServiceStatus(ServiceStatus{}));
}

TEST_F(ServiceControl, TerminationSignalsReachTheHandlerOnceAsShutdown) {
  auto service = createAndStart("Signalled");
  const pid_t pid = recordedPid("Signalled");
  ASSERT_GT(pid, 0);
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  ASSERT_TRUE(waitForState(*service, kServiceStopPending));
  ::kill(pid, SIGTERM);  // the service is still stopping: these are ignored
  ::kill(pid, SIGINT);
  EXPECT_TRUE(waitForState(*service, kServiceStopped));
  EXPECT_TRUE(processEnds(pid));
  EXPECT_EQ(serviceLog().substr(serviceLog().find('\n') + 1), "control 5\nrun 0\n");
}

TEST_F(ServiceControl, ARecordedProcessThatIsGoneReadsAsStopped) {
  auto service = create("Stale");
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ASSERT_GT(ended, 0);
  ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
  const std::string running =
      "{\"dwServiceType\":16,\"dwCurrentState\":4,\"dwControlsAccepted\":5,\"dwWin32ExitCode\":0,"
      "\"dwServiceSpecificExitCode\":0,\"dwCheckPoint\":0,\"dwWaitHint\":0,";
  // An ended process, and a live one whose start time is not the recorded one (a reused pid).
  for (const pid_t pid : {ended, ::getpid()}) {
    std::ofstream(folder("Stale") / "status") << running << "\"pid\":" << pid << ",\"startTime\":1}\n";
    ServiceStatus status;
    EXPECT_EQ(service->queryStatus(status), 0u);
    EXPECT_EQ(status.dwCurrentState, kServiceStopped) << pid;
  }
}

}  // namespace
}  // namespace vorn::platform
