// The service control manager on Windows, as the service's own program sees
// it: StartServiceCtrlDispatcherA, RegisterServiceCtrlHandlerA,
// SetServiceStatus.
//
// The manager calls the service's main routine and control handler through
// plain function pointers without an argument, so they reach the one
// dispatcher of the process through systemServiceDispatcher().
#include "platform/service_dispatcher.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/win32/service_status.h"

namespace vorn::platform {
namespace {

class Win32ServiceDispatcher final : public ServiceDispatcher {
 public:
  std::uint32_t run(std::string_view serviceName, ServiceMain main) override {
    name_.assign(serviceName);
    main_ = std::move(main);
    const SERVICE_TABLE_ENTRYA table[] = {{name_.data(), &Win32ServiceDispatcher::serviceMain}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherA(table)) return kErrorSuccess;
    const DWORD code = ::GetLastError();
    ::SetLastError(code);
    return code;
  }

  std::uint32_t registerControlHandler(std::string_view serviceName, ControlHandler handler) override {
    const std::string name(serviceName);
    {
      std::lock_guard guard(lock_);
      handler_ = std::move(handler);
    }
    const SERVICE_STATUS_HANDLE status = ::RegisterServiceCtrlHandlerA(name.c_str(), &Win32ServiceDispatcher::control);
    if (status == nullptr) {
      const DWORD code = ::GetLastError();
      ::SetLastError(code);
      return code;
    }
    status_.store(status);
    return kErrorSuccess;
  }

  bool setServiceStatus(const ServiceStatus& status) override {
    const SERVICE_STATUS_HANDLE handle = status_.load();
    if (handle == nullptr) {
      ::SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    SERVICE_STATUS reported = win32::toWin32(status);
    return ::SetServiceStatus(handle, &reported) != FALSE;
  }

 private:
  static void WINAPI serviceMain(DWORD argc, LPSTR* argv);
  static void WINAPI control(DWORD code);

  std::string name_;
  ServiceMain main_;
  std::mutex lock_;
  ControlHandler handler_;  // guarded by lock_
  std::atomic<SERVICE_STATUS_HANDLE> status_{nullptr};
};

Win32ServiceDispatcher& dispatcher() {
  static Win32ServiceDispatcher instance;  // the process holds one service
  return instance;
}

void WINAPI Win32ServiceDispatcher::serviceMain(DWORD argc, LPSTR* argv) {
  std::vector<std::string> arguments;
  for (DWORD i = 0; i < argc && argv != nullptr; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
  dispatcher().main_(arguments);
}

void WINAPI Win32ServiceDispatcher::control(DWORD code) {
  ControlHandler handler;
  {
    std::lock_guard guard(dispatcher().lock_);
    handler = dispatcher().handler_;
  }
  if (handler) handler(code);
}

}  // namespace

ServiceDispatcher& systemServiceDispatcher() { return dispatcher(); }

}  // namespace vorn::platform
