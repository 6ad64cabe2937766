// A service control manager for a service run inside a test: the test plays
// the dispatcher's main thread and sends controls itself; every status report
// is kept, and reports can be refused.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/service_dispatcher.h"

namespace vorn::fakes {

class FakeServiceDispatcher final : public platform::ServiceDispatcher {
 public:
  // Not used: the test runs the service's main routine on a thread of its own.
  std::uint32_t run(std::string_view, ServiceMain) override {
    platform::setLastError(platform::kErrorNotSupported);
    return platform::kErrorNotSupported;
  }

  std::uint32_t registerControlHandler(std::string_view, ControlHandler handler) override {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
    return platform::kErrorSuccess;
  }

  bool setServiceStatus(const platform::ServiceStatus& status) override {
    std::lock_guard lock(mutex_);
    if (refuse && refuse(status)) {
      ++refused_;
      platform::setLastError(refusalCode);
      return false;
    }
    reports_.push_back(status);
    changed_.notify_all();
    return true;
  }

  // Calls the handler as the dispatcher's main thread would.
  void control(std::uint32_t code) {
    ControlHandler handler;
    {
      std::lock_guard lock(mutex_);
      handler = handler_;
    }
    if (handler) handler(code);
  }

  std::vector<platform::ServiceStatus> reports() {
    std::lock_guard lock(mutex_);
    return reports_;
  }

  int refusedReports() {
    std::lock_guard lock(mutex_);
    return refused_;
  }

  // Waits until a report in `state` was accepted; false after `timeout`.
  bool waitForState(std::uint32_t state, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
      for (const auto& report : reports_)
        if (report.dwCurrentState == state) return true;
      return false;
    });
  }

  // Set before the service starts: which reports to refuse, and with what code.
  std::function<bool(const platform::ServiceStatus&)> refuse;
  std::uint32_t refusalCode = platform::kErrorInvalidHandle;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  ControlHandler handler_;
  std::vector<platform::ServiceStatus> reports_;
  int refused_ = 0;
};

}  // namespace vorn::fakes
