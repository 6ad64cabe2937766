// The service control manager on Windows, with platform_child as the service.
#include <gtest/gtest.h>

#include <string>

#include "platform/child_process.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/service_control.h"
#include "platform/wait.h"
#include "tests/windows/platform/child_path.h"

namespace vorn::platform {
namespace {

constexpr std::uint32_t kErrorServiceDatabaseLocked = 1055;

class Win32ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(openServiceManager(kScManagerAllAccess, manager_), 0u); }
  void TearDown() override {
    std::unique_ptr<ServiceHandle> service;
    if (manager_->openService(name_, kServiceAllAccess, service) == 0) service->remove();
  }

  ServiceConfig config() const {
    return {name_, "Vorn platform test", kServiceWin32OwnProcess, kServiceDemandStart, kServiceErrorNormal,
            "\"" + test::childProgram() + "\" service " + name_};
  }

  std::string name_ = "VornTest" + std::to_string(currentProcessId()) +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::unique_ptr<ServiceManager> manager_;
};

TEST_F(Win32ServiceTest, RegistrationCodesAreWindows) {
  std::unique_ptr<ServiceHandle> service;
  EXPECT_EQ(manager_->openService(name_, kServiceAllAccess, service), kErrorServiceDoesNotExist);
  EXPECT_EQ(lastError(), kErrorServiceDoesNotExist);
  ASSERT_EQ(manager_->createService(config(), kServiceAllAccess, service), 0u);
  std::unique_ptr<ServiceHandle> again;
  EXPECT_EQ(manager_->createService(config(), kServiceAllAccess, again), kErrorServiceExists);
  ServiceStatus status;
  ASSERT_EQ(service->queryStatus(status), 0u);
  EXPECT_EQ(status.dwCurrentState, kServiceStopped);
  EXPECT_EQ(service->control(kServiceControlStop, status), kErrorServiceNotActive);
  ASSERT_EQ(service->remove(), 0u);
  service.reset();
  EXPECT_EQ(manager_->openService(name_, kServiceAllAccess, service), kErrorServiceDoesNotExist);
}

TEST_F(Win32ServiceTest, ServiceRunsUntilStopped) {
  std::unique_ptr<ServiceHandle> service;
  ASSERT_EQ(manager_->createService(config(), kServiceAllAccess, service), 0u);
  // Just after the machine (or Wine) has started, the manager keeps its
  // database locked while it starts the system's own services.
  std::uint32_t started = service->start();
  for (int i = 0; i < 100 && started == kErrorServiceDatabaseLocked; ++i) {
    sleepEx(200, false);
    started = service->start();
  }
  ASSERT_EQ(started, 0u);
  EXPECT_EQ(service->start(), kErrorServiceAlreadyRunning);
  ServiceStatus status;
  ASSERT_EQ(service->queryStatus(status), 0u);
  EXPECT_EQ(status.dwCurrentState, kServiceRunning);
  ASSERT_EQ(service->control(kServiceControlStop, status), 0u);
  EXPECT_NE(status.dwCurrentState, kServiceRunning);
  for (int i = 0; i < 100 && status.dwCurrentState != kServiceStopped; ++i) {
    sleepEx(50, false);
    ASSERT_EQ(service->queryStatus(status), 0u);
  }
  EXPECT_EQ(status.dwCurrentState, kServiceStopped);
}

TEST(Win32ServiceDispatcher, AConsoleStartCannotReachTheManager) {
  std::unique_ptr<ProcessHandle> child;
  ProcessStart start;
  const std::string command = "\"" + test::childProgram() + "\" service";
  start.commandLine = command;
  ASSERT_EQ(createProcess(start, child), 0u);
  Waitable* objects[] = {child.get()};
  ASSERT_EQ(waitForMultipleObjects(objects, 20000, false), kWaitObject0);
  std::uint32_t code = 0;
  ASSERT_TRUE(child->exitCode(code));
  EXPECT_EQ(code, kErrorFailedServiceControllerConnect);
}

}  // namespace
}  // namespace vorn::platform
